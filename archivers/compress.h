#pragma once
#include "base/converter_context.h"
#include <cstddef>

// Packs the contents of workFolder into archivePath in the target format.
// When ctx.sfxMode is set the archive becomes a self-extracting executable
// and archivePath (buffer of archivePathSize bytes) is changed to its name.
// With listRequired the folder is packed only through the sorted list file:
// when that cannot be written or used, nothing is packed and listRefused (if
// given) is set, so the archiver's own recursion never runs on the folder.
bool compressFolder(ConverterContext& ctx, char* archivePath, size_t archivePathSize,
                    const char* workFolder, ArchiveFormat format, bool listRequired = false,
                    bool* listRefused = nullptr);
