#include "archivers/sfx.h"

#include "archivers/binding.h"
#include "archivers/command_line.h"
#include "archivers/unicode_mode.h"
#include "base/handles.h"
#include "base/module.h"
#include "base/paths.h"

#include <windows.h>
#include <string>
#include <vector>

namespace {

const char* lzhSfxSwitch(int lhSfxMode) {
    switch (lhSfxMode) {
    case 1016: return "-i0 ";        // DOSSFX
    case 1017: return "-jw -i0 ";    // WINSFX
    case 1018: return "-jw3 -i0 ";   // WINSFXM
    case 1021: return "-gw3 ";       // WINSFX32M
    default: return "-gw ";          // WINSFX32, and anything unknown
    }
}

void showSfxError(const char* text) {
    MessageBoxA(nullptr, text, MESSAGE_CAPTION, MB_OK | MB_ICONERROR);
}

// zip32j.dll makes self-extracting archives from version 0.24 on; the
// version is asked afresh for every request. A ZIP packed by 7-zip32.dll
// loads zip32j.dll for this step when it is installed.
bool zipCanMakeSfx(ConverterContext& ctx) {
    if (!ctx.hZip32j) loadArchiver(ctx, FMT_ZIP, false);
    if (!ctx.hZip32j) return false;
    ArchiverVersionProc getVersion =
        reinterpret_cast<ArchiverVersionProc>(GetProcAddress(ctx.hZip32j, "ZipGetVersion"));
    if (!getVersion) return false;
    uint16_t version;
    {
        ArchiverCallScope scope(ctx.hZip32j);
        version = static_cast<uint16_t>(getVersion());
    }
    if (version < 24) {
        showSfxError("ZIP 版自己解凍書庫の作成には IZIP32J.DLL v0.24 以上が必要です。");
        return false;
    }
    return true;
}

// The 7z self-extractor: the module found on the search path, followed by
// the archive's bytes.
bool make7zSelfExtracting(const ConverterContext& ctx, const char* archivePath) {
    const char* moduleName = nullptr;
    switch (ctx.sfxMode) {
    case 1: moduleName = "7zCon.sfx"; break;
    case 2: moduleName = "7z.sfx"; break;
    case 3: moduleName = "7zC.sfx"; break;
    }
    char modulePath[MAX_PATH];
    DWORD found = moduleName ? SearchPathA(nullptr, moduleName, nullptr, MAX_PATH, modulePath, nullptr) : 0;
    if (found == 0 || found >= MAX_PATH) {
        showSfxError("SFX モジュールが見つかりません。");
        return false;
    }
    std::string exeName;
    if (!executableName(archivePath, exeName)) return false;
    return joinFiles(exeName.c_str(), archivePath, modulePath);
}

}  // namespace

bool makeSelfExtracting(ConverterContext& ctx, const char* archivePath, ArchiveFormat format) {
    std::string command;
    switch (format) {
    case FMT_LZH: command = std::string("s -x -c ") + lzhSfxSwitch(ctx.lhSfxMode); break;
    case FMT_ZIP:
        if (!zipCanMakeSfx(ctx)) return false;
        command = "--sfx ";
        break;
    case FMT_CAB: command = "-f "; break;
    case FMT_BZA:
    case FMT_GZA:
    case FMT_YZ1: command = "s "; break;
    case FMT_7Z: return make7zSelfExtracting(ctx, archivePath);
    default: return false;
    }

    const char* exportName = commandExportName(format);
    HMODULE module = archiverModule(ctx, format);
    if (!hasExport(module, exportName)) return false;
    // The command names only the archive and its folder, in their ANSI forms:
    // a DLL without a Unicode mode (zip32j.dll) takes it as it is, also for
    // an archive whose entries needed that mode.
    struct UnicodeRestore {
        ConverterContext& ctx;
        int32_t saved;
        ~UnicodeRestore() { ctx.unicodeNames = saved; }
    } restore{ctx, ctx.unicodeNames};
    if (!findUnicodeMode(module, exportName)) ctx.unicodeNames = 0;
    appendQuoted(command, archivePath);
    // The executable is written beside the archive: the destination folder,
    // in the form the archive's own path gives it.
    size_t slash = findLastBackslash(archivePath);
    appendQuoted(command, slash == NO_POSITION ? std::string() : std::string(archivePath, slash + 1));
    if (!runArchiverCommand(ctx, module, exportName, command)) return false;

    std::string exeName;
    return executableName(archivePath, exeName) && fileExists(exeName.c_str());
}

bool joinFiles(const char* outputPath, const char* secondFile, const char* firstFile) {
    FileHandle output(CreateFileA(outputPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!output) return false;
    bool joined = appendFileContents(output.get(), firstFile) && appendFileContents(output.get(), secondFile);
    joined = CloseHandle(output.release()) && joined;
    // A truncated executable must not be left where the user would run it.
    if (!joined) DeleteFileA(outputPath);
    return joined;
}

bool appendFileContents(HANDLE output, const char* sourcePath) {
    FileHandle source(CreateFileA(sourcePath, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!source) return false;
    std::vector<char> block(64 * 1024);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(source.get(), block.data(), static_cast<DWORD>(block.size()), &got, nullptr)) return false;
        if (got == 0) return true;
        DWORD written = 0;
        if (!WriteFile(output, block.data(), got, &written, nullptr) || written != got) return false;
    }
}
