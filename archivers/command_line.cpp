#include "archivers/command_line.h"

#include "base/paths.h"

#include <windows.h>
#include <cstdio>

HMODULE archiverModule(const ConverterContext& ctx, ArchiveFormat format) {
    switch (format) {
    case FMT_LZH: return ctx.hUnlha32;
    case FMT_UNZIP: return ctx.hUnzip32;
    case FMT_ZIP: return ctx.hZip32j;
    case FMT_CAB: return ctx.hCab32;
    case FMT_ARJ: return ctx.hUnarj32j;
    case FMT_TAR:
    case FMT_TARGZ:
    case FMT_TARBZ2: return ctx.hTar32;
    case FMT_RAR: return ctx.hUnrar32;
    case FMT_BZA:
    case FMT_GZA: return ctx.hBga32;
    case FMT_GCA: return ctx.hUngca32;
    case FMT_YZ1: return ctx.hYz1;
    case FMT_ACE: return ctx.hUnacev2;
    case FMT_7Z: return ctx.h7zip32;
    default: return nullptr;
    }
}

bool hasExport(HMODULE module, const char* exportName) {
    return module != nullptr && exportName != nullptr && GetProcAddress(module, exportName) != nullptr;
}

bool fileExists(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void appendQuoted(std::string& text, const std::string& argument) {
    if (!text.empty() && text.back() != ' ') text += ' ';
    text += '"';
    text += argument;
    text += '"';
}

bool executableName(const char* archivePath, std::string& exeName) {
    size_t dot = findLastDot(archivePath);
    size_t slash = findLastBackslash(archivePath);
    // A dot in a folder name is not the archive's extension.
    if (dot == NO_POSITION || (slash != NO_POSITION && dot < slash)) return false;
    exeName.assign(archivePath, dot);
    exeName += ".exe";
    return true;
}

std::string decimal(long long value) {
    char text[24];
    snprintf(text, sizeof text, "%lld", value);
    return text;
}
