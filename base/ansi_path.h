#pragma once
// Paths for archiver DLLs that take ANSI text only. Inside the converter a
// path is UTF-16 and may hold any character; a DLL is handed a form it can
// open: the path itself when it has an exact ANSI form (byte for byte what
// it always was), else the 8.3 short form the volume keeps for an existing
// file or folder, else a name of the converter's own under ASCII letters.
#include <string>

// The ANSI path of an existing file or folder: the path itself, or its short
// form when that is ANSI throughout. False when neither exists.
bool ansiPathOf(const std::wstring& path, std::string& ansi);

// What a DLL reads: `ansi` names the source itself or a stand-in made for it
// (a hard link, else a copy, in the temporary folder), which goes when this
// ends.
struct AnsiSource {
    std::string ansi;
    std::wstring standIn;  // empty when the source is handed as it is
    AnsiSource() = default;
    AnsiSource(const AnsiSource&) = delete;
    AnsiSource& operator=(const AnsiSource&) = delete;
    ~AnsiSource();
};

// Fills `source` for the existing file `path`; `tempFolder` (with or without
// a trailing backslash) takes a stand-in when one is needed. False when no
// form can be given.
bool prepareAnsiSource(const std::wstring& path, const std::wstring& tempFolder, AnsiSource& source);
// The stand-in alone: a hard link or a copy of `path` in `tempFolder`.
bool makeAnsiStandIn(const std::wstring& path, const std::wstring& tempFolder, AnsiSource& source);

// What a DLL writes: `ansi` names the new file itself or a free ASCII name in
// its folder (else in the temporary folder) that commitAnsiTarget moves to
// the real name. Whatever lies under the stand-in name when this ends without
// a commit was left by the DLL and is deleted.
struct AnsiTarget {
    std::string ansi;
    std::wstring path;     // the real name
    std::wstring standIn;  // empty when the DLL writes the real name
    AnsiTarget() = default;
    AnsiTarget(const AnsiTarget&) = delete;
    AnsiTarget& operator=(const AnsiTarget&) = delete;
    ~AnsiTarget();
};

bool prepareAnsiTarget(const std::wstring& path, const std::wstring& tempFolder, AnsiTarget& target);
// Moves what the DLL wrote under the stand-in name to the real name (which
// must be free). True at once when the DLL wrote the real name itself; false
// when the stand-in name holds nothing or cannot be moved.
bool commitAnsiTarget(AnsiTarget& target);
