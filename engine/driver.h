#pragma once
// The per-archive conversion driver.
#include "base/converter_context.h"
#include <cstddef>

// Makes a new context ready for a drop: the availability probe of the
// archiver DLLs, and the converter's dialogs for ACE extraction.
void prepareDropContext(ConverterContext& ctx);

// Converts every archive of the input list; always reports success.
bool convertAll(ConverterContext& ctx, const char* inputList);

// Deletes a folder (path ending in a backslash) with everything below it,
// never following junctions or symbolic links.
bool removeTree(const char* folder);

// Sends every path of a double-NUL-terminated ANSI list to the Recycle Bin
// in one shell operation; byteCount covers the list with its final NUL.
bool moveToRecycleBin(const char* list, size_t byteCount);
