#pragma once
#include "base/converter_context.h"
#include <windows.h>

// Turns the plain archive just written into a self-extracting executable.
bool makeSelfExtracting(ConverterContext& ctx, const char* archivePath, ArchiveFormat format);
// Creates outputPath holding the bytes of firstFile followed by secondFile.
bool joinFiles(const char* outputPath, const char* secondFile, const char* firstFile);
// Copies all bytes of sourcePath to the end of the open output file.
bool appendFileContents(HANDLE output, const char* sourcePath);
