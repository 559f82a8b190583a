#pragma once
// The per-archive conversion driver.
#include "base/converter_context.h"
#include <cstddef>

// Converts every archive of the input list; always reports success.
bool convertAll(ConverterContext& ctx, const char* inputList);

// Deletes a folder (path ending in a backslash) with everything below it,
// never following junctions or symbolic links.
bool removeTree(const char* folder);

// Sends every path of a double-NUL-terminated ANSI list to the Recycle Bin
// in one shell operation; byteCount covers the list with its final NUL.
bool moveToRecycleBin(const char* list, size_t byteCount);
