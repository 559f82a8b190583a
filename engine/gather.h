#pragma once
// Turning the dropped paths into the list of input archives.
#include "engine/converter_context.h"
#include <shellapi.h>

// InputList: NUL-terminated ANSI full paths ended by an empty string, in
// ctx.listHeap, with at least 260 zero bytes after the last path.
// Returns the list, or null when nothing is to be converted (after its
// message). `drop` is the CF_HDROP block of the dropped items.
const char* gatherInputs(ConverterContext& ctx, HDROP drop);

// Appends the recognised archives of one folder (and of its subfolders when
// `recursive`) to the input list.
bool searchFolder(ConverterContext& ctx, const char* folder, bool recursive);
