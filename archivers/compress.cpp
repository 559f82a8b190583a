#include "archivers/compress.h"

#include "archivers/binding.h"
#include "archivers/command_line.h"
#include "archivers/sfx.h"
#include "archivers/versions.h"
#include "base/handles.h"
#include "base/paths.h"

#include <windows.h>
#include <cstring>
#include <string>

namespace {

const char* lzhMethodSwitch(int lhType) {
    switch (lhType) {
    case 1012: return "-jm0 ";
    case 1014: return "-jm3 ";
    case 1015: return "-jm4 ";
    default: return "-jm2 ";   // 1013 (lh5) and anything unknown
    }
}

// Display switch of tar32.dll for compression, by its version.
std::string tarCompressDisplaySwitch(ConverterContext& ctx) {
    uint16_t version = getArchiverVersion(ctx, FMT_TAR);
    if (version < 22) return "";
    if (version == 22) return "--display-window=0 ";
    if (version <= 40) return "--display-dialog=0 ";
    return "--display-dialog=1 ";
}

std::string sevenZipOptionSwitches(uint32_t options) {
    std::string switches;
    uint32_t level = options & 0xFFFF;
    if (level == 0) switches += "-m0=Copy ";
    else if (level == 2) switches += "-mx ";
    if (!(options & 0x20000)) switches += "-ms=off ";
    if (!(options & 0x10000)) switches += "-mhc=off ";
    return switches;
}

const char* zipThrough7zMethodSwitch(int zipLevel) {
    if (zipLevel == 0) return "-mm=Copy ";
    if (zipLevel == 9) return "-mm=deflate -mx=9 ";
    return "-mm=deflate -mx=5 ";
}

bool hasZipExtension(const char* archivePath) {
    size_t dot = findLastDot(archivePath);
    return dot != NO_POSITION && lstrcmpiA(archivePath + dot, ".zip") == 0;
}

// Switch text of the compression command; false for formats that are never
// targets. yz1Version is asked only for YZ1.
bool compressSwitches(ConverterContext& ctx, ArchiveFormat format, bool withList, const char* archivePath,
                      uint16_t yz1Version, std::string& s) {
    switch (format) {
    case FMT_LZH:
        s = withList ? "a -x -a1 " : "a -x1r2 -p -a1 ";
        s += lzhMethodSwitch(ctx.lhType);
        return true;
    case FMT_ZIP:
        s = "-S -" + decimal(ctx.zipLevel) + " ";
        if (!withList) s += "-r ";
        return true;
    case FMT_CAB:
        s = withList ? "-a " : "-a -r ";
        s += ctx.cabMode == 0 ? std::string("-mz ") : "-ml:" + decimal(ctx.cabLevel) + " ";
        return true;
    case FMT_TAR: s = "-cvf "; return true;
    case FMT_TARGZ: s = tarCompressDisplaySwitch(ctx) + "-cvfz" + decimal(ctx.tarLevel) + " "; return true;
    case FMT_TARBZ2: s = tarCompressDisplaySwitch(ctx) + "-cvfB" + decimal(ctx.tarLevel) + " "; return true;
    case FMT_BZA:
    case FMT_GZA:
        s = (withList ? "a -a -d -l" : "a -r -a -d -l") + decimal(ctx.bgaLevel) + " ";
        s += format == FMT_BZA ? "-m1 " : "-m2 ";
        return true;
    case FMT_YZ1:
        s = "c ";
        if (yz1Version >= 20) s += withList ? "-x -y2 -i0 " : "-x1 -r2 -y2 -i0 ";
        return true;
    case FMT_7Z:
        if (hasZipExtension(archivePath)) {
            s = std::string("a -tzip ") + (withList ? "--r " : "-r0 ") + zipThrough7zMethodSwitch(ctx.zipLevel);
        } else {
            s = std::string("a -t7z ") + (withList ? "--r " : "-r0 ") + sevenZipOptionSwitches(ctx.sevenZipOptions);
        }
        return true;
    default:
        return false;
    }
}

// The temporary folder, with its trailing backslash.
std::string temporaryFolder() {
    char buffer[MAX_PATH + 1];
    DWORD length = GetTempPathA(sizeof buffer, buffer);
    if (length == 0 || length >= sizeof buffer) return "";
    std::string folder(buffer, length);
    addTrailingBackslash(folder);
    return folder;
}

// zip32j.dll leaves izip32j.dll loaded after each compression; release it
// once, after a compression zip32j.dll performed and no other (a reference
// zip32j.dll holds itself must stay).
void releaseIzip32j(const ConverterContext& ctx, ArchiveFormat format) {
    if (format != FMT_ZIP || !ctx.hZip32j) return;
    HMODULE izip = GetModuleHandleA("izip32j.dll");
    if (izip) FreeLibrary(izip);
}

// Deletes what a failed step left under `path`, unless a file of that name
// was there before the step: a partial archive must not look like a
// finished conversion, and nothing of the user's is touched.
void removePartialOutput(const char* path, bool existedBefore) {
    if (existedBefore || !fileExists(path)) return;
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path);
}

}  // namespace

bool compressFolder(ConverterContext& ctx, char* archivePath, size_t archivePathSize,
                    const char* workFolder, ArchiveFormat format, const char* listPath, bool listRequired,
                    bool* listRefused) {
    if (listRefused) *listRefused = false;
    bool withList = listPath && listPath[0];

    uint16_t yz1Version = format == FMT_YZ1 ? getArchiverVersion(ctx, FMT_YZ1) : 0;
    // Old yz1.dll takes the folder by name and never reads a list.
    bool listUsed = withList && !(format == FMT_YZ1 && yz1Version < 20);
    if (listRequired && !listUsed) {
        if (listRefused) *listRefused = true;
        return false;
    }
    std::string command;
    if (!compressSwitches(ctx, format, withList, archivePath, yz1Version, command)) return false;
    const char* exportName = commandExportName(format);
    HMODULE module = archiverModule(ctx, format);
    if (!hasExport(module, exportName)) return false;

    CurrentDirectoryRestore savedDirectory;
    std::string callDirectory;
    appendQuoted(command, archivePath);
    if (format == FMT_YZ1 && yz1Version < 20) {
        // Old yz1.dll is run from the temporary folder and given the work
        // folder by its name relative to it.
        std::string tempFolder = temporaryFolder();
        size_t workLength = strlen(workFolder);
        if (tempFolder.empty() || workLength <= tempFolder.size() ||
            strncmp(workFolder, tempFolder.c_str(), tempFolder.size()) != 0) {
            return false;
        }
        appendQuoted(command, tempFolder);
        appendQuoted(command, std::string(workFolder + tempFolder.size(), workLength - tempFolder.size() - 1));
        callDirectory = tempFolder;
    } else if (withList) {
        appendQuoted(command, workFolder);
        appendQuoted(command, std::string("@") + listPath);
        callDirectory = workFolder;
    } else {
        appendQuoted(command, workFolder);
        command += (format == FMT_7Z || format == FMT_YZ1) ? " *" : " *.*";
        callDirectory = workFolder;
    }

    // The archiver resolves relative names against the current folder; if it
    // cannot be set, the archive would be built from the wrong folder.
    if (!SetCurrentDirectoryA(callDirectory.c_str())) return false;
    bool archiveExisted = fileExists(archivePath);
    bool succeeded = runArchiverCommand(ctx, module, exportName, command);
    savedDirectory.restore();
    releaseIzip32j(ctx, format);
    if (!succeeded) {
        removePartialOutput(archivePath, archiveExisted);
        return false;
    }

    if (ctx.sfxMode != 0 && fileExists(archivePath)) {
        std::string exeName;
        if (!executableName(archivePath, exeName) || exeName.size() + 1 > archivePathSize) return false;
        // A ZIP packed by 7-zip32.dll gets the ZIP self-extractor; the 7z
        // modules cannot unpack ZIP data.
        ArchiveFormat sfxFormat = format == FMT_7Z && hasZipExtension(archivePath) ? FMT_ZIP : format;
        bool exeExisted = fileExists(exeName.c_str());
        if (!makeSelfExtracting(ctx, archivePath, sfxFormat)) {
            // The plain archive is complete and stays under its own name.
            removePartialOutput(exeName.c_str(), exeExisted);
            return false;
        }
        DeleteFileA(archivePath);
        memcpy(archivePath, exeName.c_str(), exeName.size() + 1);
    }
    return true;
}
