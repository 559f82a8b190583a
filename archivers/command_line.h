#pragma once
// Helpers shared by the extraction, compression and self-extractor command
// composition: the module that serves a format, export checks, file tests.
#include "base/converter_context.h"
#include <string>

// The loaded module of the DLL serving `format` (the context's handle field),
// null for formats without one.
HMODULE archiverModule(const ConverterContext& ctx, ArchiveFormat format);

// True when `module` is loaded and exports `exportName`.
bool hasExport(HMODULE module, const char* exportName);

// True when `path` names an existing file (not a folder).
bool fileExists(const char* path);

// `text` followed by a blank-separated, double-quoted argument: ` "arg"`
// without the leading blank when text is empty or already ends in one.
void appendQuoted(std::string& text, const std::string& argument);

// The archive path with its extension (from the last dot of the file name)
// replaced by ".exe". False when the file name has no dot.
bool executableName(const char* archivePath, std::string& exeName);

// Decimal text of a number.
std::string decimal(long long value);
