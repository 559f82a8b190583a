#pragma once
// Work folders through the wide API: preparing, listing, comparing and
// removing the trees that archiver DLLs extract. Links (reparse points) are
// never entered, names are checked for an exact code page 932 form, and paths
// longer than the ANSI limit are still reached (through the "\\?\" form).
#include <cstdint>
#include <string>
#include <vector>

struct WorkEntry {
    std::wstring name;      // relative to the folder, backslash separated
    std::string ansiName;   // the same name in the ANSI code page; "?" per character that has no form
    bool folder = false;
    uint64_t size = 0;
};

struct WorkScan {
    std::vector<WorkEntry> entries;   // files and folders in find order; links left out
    bool hasLinks = false;            // a junction or symbolic link was met (and not entered)
    bool hasEmptyFolder = false;
    bool unconvertibleName = false;   // a name without an exact ANSI form
    bool tooLong = false;             // a full ANSI path of MAX_PATH bytes or more
    bool unlistable = false;          // a folder that could not be listed
};

// Lists everything below `folder` (ANSI, any trailing backslash). False when
// the folder itself cannot be listed or is a link (then hasLinks is set).
bool scanWorkFolder(const char* folder, WorkScan& scan);

// Makes sure nothing exists at `folder`: a link there is only unlinked, never
// entered; a leftover folder is removed; a file of that name is deleted.
// False when something is still there afterwards.
bool prepareWorkFolder(const char* folder);

// Deletes a folder with everything below it, never following a link; a folder
// that is itself a link is only unlinked. False when it is still there.
bool removeWorkTree(const char* folder);

// True when both trees hold the same relative names (compared without regard
// to case), the same folders (empty ones too), and files of the same sizes
// and bytes, and neither holds a link or an entry it cannot reach.
bool sameWorkTrees(const char* expected, const char* actual);

// The "\\?\" form of an ANSI absolute path, as UTF-16.
std::wstring longPathOf(const char* path);
