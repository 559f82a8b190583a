#pragma once
// The per-archive conversion driver.
#include "base/converter_context.h"
#include <cstddef>

// Makes a new context ready for a drop: the availability probe of the
// archiver DLLs, and the converter's dialogs for ACE extraction.
void prepareDropContext(ConverterContext& ctx);

// Converts every archive of the input list (NUL-terminated full paths ended
// by an empty string); always reports success.
bool convertAll(ConverterContext& ctx, const wchar_t* inputList);

// Deletes a folder (path ending in a backslash) with everything below it,
// never following junctions or symbolic links.
bool removeTree(const char* folder);

// Sends every path of a double-NUL-terminated list to the Recycle Bin in one
// shell operation.
bool moveToRecycleBin(const wchar_t* list);
