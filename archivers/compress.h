#pragma once
#include "base/converter_context.h"
#include <cstddef>

// Packs the contents of workFolder into archivePath in the target format.
// When ctx.sfxMode is set the archive becomes a self-extracting executable
// and archivePath (buffer of archivePathSize bytes) is changed to its name.
// listPath (null or "": none) names a response file listing the folder's
// files; the archiver is given it instead of recursing itself (old yz1.dll
// takes no list). With listRequired the folder is packed only through that
// list: without a usable one nothing is packed and listRefused (if given) is
// set, so the archiver's own recursion never runs on the folder. The list
// file stays; it belongs to the caller.
bool compressFolder(ConverterContext& ctx, char* archivePath, size_t archivePathSize,
                    const char* workFolder, ArchiveFormat format, const char* listPath,
                    bool listRequired = false, bool* listRefused = nullptr);
