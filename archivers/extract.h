#pragma once
#include "base/converter_context.h"

// Extracts the whole archive into workFolder (ends in a backslash) with the
// command line of its archiver DLL; ACE goes through extractAce.
bool extractArchive(ConverterContext& ctx, const char* archivePath, const char* workFolder,
                    ArchiveFormat format);
