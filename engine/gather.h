#pragma once
// Turning the dropped paths into the list of input archives.
#include "base/converter_context.h"
#include <string>
#include <vector>

// Characters kept zero after the last path of the input list at every
// moment: room for one more path of up to 259 characters and its terminator.
const size_t INPUT_LIST_SPARE = 260;

// One dropped item as the shell named it (UTF-16). A path is usable when, as
// ANSI text, it fits the 260-byte path buffers the archiver DLLs take (a
// character without an ANSI form counts one byte: such paths reach the DLLs
// under short forms).
struct DroppedItem {
    std::wstring name;     // full path as dropped, shown in messages
    bool tooLong = false;
};
DroppedItem makeDroppedItem(const std::wstring& name);

// The input list being built: NUL-terminated UTF-16 full paths ended by an
// empty string, in one zero-filled block of ctx.listHeap that always has at
// least INPUT_LIST_SPARE zero characters after the last path. The block grows
// geometrically, so appending stays cheap for very long lists.
struct InputList {
    wchar_t* block = nullptr;
    size_t used = 0;        // characters of the paths and their terminators
    size_t capacity = 0;    // characters allocated
    HWND owner = nullptr;   // owner of messages shown while gathering
};
bool appendInput(ConverterContext& ctx, InputList& list, const std::wstring& path);

// Shows "no archiver DLL" and returns false when the capability mask is 0.
bool archiversAvailable(const ConverterContext& ctx);

// Returns the list (owned by ctx.listHeap), or null when nothing is to be
// converted (after its message where there is one). Sets ctx.listHeap and may
// set ctx.folderSearch (asking the folder question once). Files are taken
// unexamined; folders are searched for recognised archives. Items whose path
// is too long are refused with a message each.
const wchar_t* gatherInputs(ConverterContext& ctx, const std::vector<DroppedItem>& items);

// Appends the recognised archives of one folder (and of its subfolders when
// `recursive`, at the point where each is met) to the list. False only when
// memory for the list ran out.
bool searchFolder(ConverterContext& ctx, InputList& list, const std::wstring& folder, bool recursive);
