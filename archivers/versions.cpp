// Version queries: archiver version exports, the companion DLLs' own version
// functions, version resources of files, and the operating-system family.
#include "archivers/versions.h"

#include "archivers/binding.h"
#include "base/handles.h"
#include "base/wide_text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The version export of a format; TAR-GZ, TAR-BZ2 and ACE have none (TAR is
// asked as FMT_TAR).
const char* versionExportName(ArchiveFormat format) {
    switch (format) {
    case FMT_LZH: return "UnlhaGetVersion";
    case FMT_UNZIP: return "UnZipGetVersion";
    case FMT_ZIP: return "ZipGetVersion";
    case FMT_CAB: return "CabGetVersion";
    case FMT_ARJ: return "UnarjGetVersion";
    case FMT_TAR: return "TarGetVersion";
    case FMT_RAR: return "UnrarGetVersion";
    case FMT_BZA:
    case FMT_GZA: return "BgaGetVersion";
    case FMT_GCA: return "UnGCAGetVersion";
    case FMT_YZ1: return "Yz1GetVersion";
    case FMT_7Z: return "SevenZipGetVersion";
    default: return nullptr;
    }
}

typedef int(WINAPI* RarDllVersionProc)(void);
typedef void(WINAPI* ZpVersionProc)(unsigned char* record);

const size_t ZP_VERSION_RECORD_SIZE = 64;

// The fixed file information of a file's version resource, copied out of
// the block. False when the file has none or it cannot be read; `size` is
// the size of the version information (0 when there is none). A bare DLL
// name means the file the archiver search finds (what a load would load), not
// what the process's own, possibly narrowed, search finds.
bool readFixedFileInfo(const std::wstring& path, VS_FIXEDFILEINFO& info, DWORD& size) {
    size = 0;
    DWORD ignored = 0;
    size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return false;
    std::vector<char> block(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data()) ||
        !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed ||
        length < sizeof(VS_FIXEDFILEINFO)) {
        return false;
    }
    info = *fixed;
    return true;
}

bool readFixedFileInfo(const char* fileName, VS_FIXEDFILEINFO& info, DWORD& size) {
    size = 0;
    if (std::strpbrk(fileName, "\\/:") != nullptr) return readFixedFileInfo(wideFromAnsi(fileName), info, size);
    std::wstring path = archiverPath(fileName);
    return !path.empty() && readFixedFileInfo(path, info, size);
}

}  // namespace

uint16_t getArchiverVersion(ConverterContext& ctx, ArchiveFormat format) {
    HMODULE module = loadArchiver(ctx, format, false);
    if (!module) return 0;
    const char* exportName = versionExportName(format);
    if (!exportName) return 0;
    ArchiverVersionProc version = reinterpret_cast<ArchiverVersionProc>(GetProcAddress(module, exportName));
    if (!version) return 0;
    ArchiverCallScope scope(module);
    return version();
}

int getUnrarVersion() {
    Module unrar(loadArchiverLibrary("unrar.dll"));
    if (!unrar) return 0;
    RarDllVersionProc version = reinterpret_cast<RarDllVersionProc>(GetProcAddress(unrar.get(), "RARGetDllVersion"));
    if (!version) return 0;
    ArchiverCallScope scope(unrar.get());
    return version();
}

uint16_t getZip32Version() {
    Module zip32(loadArchiverLibrary("zip32.dll"));
    if (!zip32) return 0;
    ZpVersionProc version = reinterpret_cast<ZpVersionProc>(GetProcAddress(zip32.get(), "ZpVersion"));
    if (!version) return 0;
    // Zeroed, so that a DLL filling less than the record never yields stray digits.
    unsigned char record[ZP_VERSION_RECORD_SIZE] = {};
    {
        ArchiverCallScope scope(zip32.get());
        version(record);
    }
    char digits[16];
    std::snprintf(digits, sizeof digits, "%u%u%u", record[56], record[57], record[58]);
    return static_cast<uint16_t>(std::strtoul(digits, nullptr, 10));
}

bool getFileVersionText(const char* fileName, char* text, size_t textSize) {
    if (textSize == 0) return false;
    text[0] = 0;
    VS_FIXEDFILEINFO info;
    DWORD size = 0;
    if (!readFixedFileInfo(fileName, info, size)) return false;
    std::snprintf(text, textSize, "%d.%d.%d.%d", HIWORD(info.dwFileVersionMS), LOWORD(info.dwFileVersionMS),
                  HIWORD(info.dwFileVersionLS), LOWORD(info.dwFileVersionLS));
    return true;
}

DWORD getFileType(const std::wstring& path) {
    VS_FIXEDFILEINFO info;
    DWORD size = 0;
    if (readFixedFileInfo(path, info, size)) return info.dwFileType;
    return size;   // 0 without version information, the (non-zero) size when it is unreadable
}

bool isNtPlatform() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

const ComponentVersions archiverComponentVersions = {getArchiverVersion, getZip32Version, getUnrarVersion,
                                                    getFileVersionText};
