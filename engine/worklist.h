#pragma once
// Sorted listing of a work folder, written as the archiver's response file.
#include "base/converter_context.h"
#include <string>
#include <vector>

// Writes "name" CR LF per file below workFolder, sorted by compareNames, into
// a new temporary file (prefix "~veltrx") and stores its full path in
// listPath (260 bytes). Links are never entered. False when no file was
// written, also when a name has no ANSI form or a path does not fit.
bool writeListFile(ConverterContext& ctx, const char* workFolder, char* listPath);

// Appends the names of all files below `folder` (links not entered),
// relative to the first baseLength bytes, to `table`; returns the new count.
size_t collectFiles(ConverterContext& ctx, const std::string& folder, size_t baseLength,
                    std::vector<std::string>& table);

// lstrcmpiA order, as a "less than" for sorting.
int compareNames(const char* a, const char* b);
