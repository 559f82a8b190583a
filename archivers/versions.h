#pragma once
// Version queries on archiver DLLs, their companions and version resources.
#include "base/component_versions.h"
#include "base/converter_context.h"
#include <cstdint>
#include <string>

// Version export of the format's DLL (loaded through loadArchiver without
// messages and left loaded); 0 when unavailable. TAR is asked as FMT_TAR.
uint16_t getArchiverVersion(ConverterContext& ctx, ArchiveFormat format);
// RARGetDllVersion of unrar.dll, loaded for this query only; 0 when unavailable.
int getUnrarVersion();
// ZpVersion record bytes 56..58 of zip32.dll joined as decimal digits.
uint16_t getZip32Version();
// "%d.%d.%d.%d" of the file version; false and "" without version information.
// `text` holds at least 24 bytes.
bool getFileVersionText(const char* fileName, char* text, size_t textSize);
// dwFileType of the version resource (1 application, 2 DLL) of the file at
// `path`; 0 without one.
DWORD getFileType(const std::wstring& path);
bool isNtPlatform();

// The queries above, for the About box.
extern const ComponentVersions archiverComponentVersions;
