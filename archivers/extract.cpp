#include "archivers/extract.h"

#include "archivers/ace.h"
#include "archivers/binding.h"
#include "archivers/command_line.h"
#include "archivers/versions.h"

#include <windows.h>
#include <string>

namespace {

// Display switch of tar32.dll for extraction, by its version.
std::string tarExtractDisplaySwitch(ConverterContext& ctx) {
    uint16_t version = getArchiverVersion(ctx, FMT_TAR);
    if (version < 22) return "";
    if (version == 22) return "--display-window=1 ";
    return "--display-dialog=1 ";
}

// Switch text of the extraction command; false for formats without one.
bool extractSwitches(ConverterContext& ctx, ArchiveFormat format, std::string& switches) {
    switch (format) {
    case FMT_LZH: switches = "e -x1r2 -jf0 -y -c -a1 "; return true;
    case FMT_UNZIP: switches = "-x -s -o --j -i "; return true;
    case FMT_CAB: switches = "-x -r -o "; return true;
    case FMT_ARJ: switches = "x -jf0 -y -p1 -c -a1 "; return true;
    case FMT_TAR:
    case FMT_TARBZ2: switches = tarExtractDisplaySwitch(ctx) + "-xvf "; return true;
    case FMT_TARGZ: switches = tarExtractDisplaySwitch(ctx) + "-xvfz "; return true;
    case FMT_RAR: switches = "-x -y -o "; return true;
    case FMT_BZA:
    case FMT_GZA: switches = "-x -r -o -a "; return true;
    case FMT_GCA:
        switches = "e -yx0 ";
        if (getArchiverVersion(ctx, FMT_GCA) >= 8) switches += "-sx1 ";
        return true;
    case FMT_YZ1: switches = "x -y "; return true;
    case FMT_7Z: switches = "x -y "; return true;
    default: return false;
    }
}

}  // namespace

bool extractArchive(ConverterContext& ctx, const char* archivePath, const char* workFolder,
                    ArchiveFormat format) {
    if (format == FMT_ACE) return extractAce(ctx, archivePath, workFolder);

    std::string command;
    if (!extractSwitches(ctx, format, command)) return false;
    const char* exportName = commandExportName(format);
    HMODULE module = archiverModule(ctx, format);
    bool exportFound = hasExport(module, exportName);

    // 7-zip32.dll is given a fresh folder; one left from an earlier attempt
    // would mix old files into the new archive.
    if (format == FMT_7Z && !CreateDirectoryA(workFolder, nullptr)) return false;
    if (!exportFound) return false;

    appendQuoted(command, archivePath);
    appendQuoted(command, workFolder);
    return runArchiverCommand(ctx, module, exportName, command);
}
