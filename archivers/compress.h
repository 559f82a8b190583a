#pragma once
#include "engine/converter_context.h"
#include <cstddef>

// Packs the contents of workFolder into archivePath in the target format.
// When ctx.sfxMode is set the archive becomes a self-extracting executable
// and archivePath (buffer of archivePathSize bytes) is changed to its name.
bool compressFolder(ConverterContext& ctx, char* archivePath, size_t archivePathSize,
                    const char* workFolder, ArchiveFormat format);
