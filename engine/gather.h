#pragma once
// Turning the dropped paths into the list of input archives.
#include "base/converter_context.h"
#include <string>
#include <vector>

// Bytes kept zero after the last path of the input list at every moment: room
// for one more path of up to 259 characters and its terminator.
const size_t INPUT_LIST_SPARE = 260;

// One dropped item as the shell named it. The shell hands over UTF-16 names;
// the converter works on ANSI paths, so a name is usable only when it has an
// exact ANSI form that fits a 260-byte path buffer.
enum class NameProblem { none, notAnsi, tooLong };
struct DroppedItem {
    std::wstring name;     // as dropped, shown in messages
    std::string path;      // ANSI full path; empty unless problem == none
    NameProblem problem = NameProblem::none;
};
DroppedItem makeDroppedItem(const std::wstring& name);

// The input list being built: NUL-terminated ANSI full paths ended by an empty
// string, in one zero-filled block of ctx.listHeap that always has at least
// INPUT_LIST_SPARE zero bytes after the last path. The block grows
// geometrically, so appending stays cheap for very long lists.
struct InputList {
    char* block = nullptr;
    size_t used = 0;        // bytes of the paths and their terminators
    size_t capacity = 0;    // bytes allocated
    HWND owner = nullptr;   // owner of messages shown while gathering
};
bool appendInput(ConverterContext& ctx, InputList& list, const char* path);

// Shows "no archiver DLL" and returns false when the capability mask is 0.
bool archiversAvailable(const ConverterContext& ctx);

// Returns the list (owned by ctx.listHeap), or null when nothing is to be
// converted (after its message where there is one). Sets ctx.listHeap and may
// set ctx.folderSearch (asking the folder question once). Files are taken
// unexamined; folders are searched for recognised archives. Items without a
// usable ANSI path are refused with a message each.
const char* gatherInputs(ConverterContext& ctx, const std::vector<DroppedItem>& items);

// Appends the recognised archives of one folder (and of its subfolders when
// `recursive`, at the point where each is met) to the list. False only when
// memory for the list ran out.
bool searchFolder(ConverterContext& ctx, InputList& list, const char* folder, bool recursive);
