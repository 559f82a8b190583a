#pragma once
// Sorted listing of a work folder, written as the archiver's response file,
// and the packing of a work folder through it.
#include "base/converter_context.h"
#include <cstddef>
#include <string>
#include <vector>

struct WorkScan;

// The text of a response file: ANSI, or UTF-8 without a byte-order mark for
// a DLL in Unicode mode.
enum class ListText { ansi, utf8 };

// Writes "name" CR LF per file below workFolder, sorted by compareNames, into
// a new temporary file (prefix "~veltrx") and stores its full path in
// listPath (260 bytes). Links are never entered. False when no file was
// written, also when a path does not fit or (ANSI text) a name has no ANSI
// form. `scan`, when given, is the folder's listing already made
// (scanWorkFolder), so the folder is not walked again.
bool writeListFile(ConverterContext& ctx, const char* workFolder, char* listPath,
                   const WorkScan* scan = nullptr, ListText textForm = ListText::ansi);

// compressFolder with the response file: written when ctx.sort or
// listRequired is set (from `scan` when given; in UTF-8 for calls in Unicode
// mode) and deleted again when the packing is over.
bool packFolder(ConverterContext& ctx, char* archivePath, size_t archivePathSize, const char* workFolder,
                ArchiveFormat format, bool listRequired = false, bool* listRefused = nullptr,
                const WorkScan* scan = nullptr);

// Appends the names of all files below `folder` (links not entered),
// relative to the first baseLength bytes, to `table`; returns the new count.
size_t collectFiles(ConverterContext& ctx, const std::string& folder, size_t baseLength,
                    std::vector<std::string>& table);

// lstrcmpiA order, as a "less than" for sorting.
int compareNames(const char* a, const char* b);
