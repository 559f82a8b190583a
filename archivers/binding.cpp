// Binding of archive formats to archiver DLLs. DLLs are loaded by bare file
// name on first use, kept in the context's module table and released together.
#include "archivers/binding.h"

namespace {

struct ArchiverRow {
    ArchiveFormat formats;               // the codes this DLL serves
    const char* dllName;
    HMODULE ConverterContext::*handle;
    const char* commandExport;           // null: own interface (ACE)
};

// In module-table order, which is also the order of release.
const ArchiverRow archiverRows[] = {
    {FMT_LZH, "unlha32.dll", &ConverterContext::hUnlha32, "Unlha"},
    {FMT_UNZIP, "unzip32.dll", &ConverterContext::hUnzip32, "UnZip"},
    {FMT_ARJ, "unarj32j.dll", &ConverterContext::hUnarj32j, "Unarj"},
    {FMT_CAB, "cab32.dll", &ConverterContext::hCab32, "Cab"},
    {FMT_TAR | FMT_TARGZ | FMT_TARBZ2, "tar32.dll", &ConverterContext::hTar32, "Tar"},
    {FMT_ZIP, "zip32j.dll", &ConverterContext::hZip32j, "Zip"},
    {FMT_RAR, "unrar32.dll", &ConverterContext::hUnrar32, "Unrar"},
    {FMT_BZA | FMT_GZA, "bga32.dll", &ConverterContext::hBga32, "Bga"},
    {FMT_GCA, "ungca32.dll", &ConverterContext::hUngca32, "UnGCA"},
    {FMT_YZ1, "yz1.dll", &ConverterContext::hYz1, "Yz1"},
    {FMT_ACE, "unacev2.dll", &ConverterContext::hUnacev2, nullptr},
    {FMT_7Z, "7-zip32.dll", &ConverterContext::h7zip32, "SevenZip"},
};

const uint16_t ZIP32J_NOT_ASKED = 1000;
const uint16_t ZIP32J_LOWEST = 23;

// The row serving exactly one format code; null for 0, combinations and
// unknown values.
const ArchiverRow* findRow(ArchiveFormat format) {
    if (format == 0 || (format & (format - 1)) != 0) return nullptr;
    for (const ArchiverRow& row : archiverRows)
        if (row.formats & format) return &row;
    return nullptr;
}

void showBindingError(const char* text) {
    HWND owner = currentContext ? currentContext->ownerWindow : nullptr;
    MessageBoxA(owner, text, "Veltrox.dll", MB_ICONERROR | MB_OK);
}

void showLoadError() { showBindingError("アーカイバ DLL がロードできません。"); }

// zip32j.dll is asked its version once per process (unless it answered
// exactly 1000); unsuitable versions refuse ZIP compression.
HMODULE loadZip32j(ConverterContext& ctx, bool showErrors) {
    if (zip32jVersion < ZIP32J_LOWEST) return nullptr;
    if (!ctx.hZip32j) {
        ctx.hZip32j = LoadLibraryA("zip32j.dll");
        if (!ctx.hZip32j) {
            if (showErrors) showLoadError();
            return nullptr;
        }
    }
    if (zip32jVersion == ZIP32J_NOT_ASKED) {
        zip32jVersion = 0;
        ArchiverVersionProc version =
            reinterpret_cast<ArchiverVersionProc>(GetProcAddress(ctx.hZip32j, "ZipGetVersion"));
        if (version) zip32jVersion = version();
    }
    if (zip32jVersion < ZIP32J_LOWEST || zip32jVersion > ZIP32J_NOT_ASKED) {
        showBindingError("このバージョンの IZIP32J.DLL では圧縮できません。\n\nv0.23 以上をお使いください。");
        return nullptr;
    }
    return ctx.hZip32j;
}

}  // namespace

uint16_t zip32jVersion = ZIP32J_NOT_ASKED;

HMODULE loadArchiver(ConverterContext& ctx, ArchiveFormat format, bool showErrors) {
    const ArchiverRow* row = findRow(format);
    if (row && format == FMT_ZIP) return loadZip32j(ctx, showErrors);
    if (row) {
        HMODULE& handle = ctx.*(row->handle);
        if (format == FMT_ACE) {
            if (!handle) {
                if (ctx.aceAvailable == -1) {
                    char found[MAX_PATH];
                    ctx.aceAvailable = SearchPathA(nullptr, row->dllName, nullptr, MAX_PATH, found, nullptr) ? 1 : 0;
                }
                if (ctx.aceAvailable) handle = LoadLibraryA(row->dllName);
            }
        } else if (!handle) {
            handle = LoadLibraryA(row->dllName);
        }
        if (handle) return handle;
    }
    if (showErrors) showLoadError();
    return nullptr;
}

void unloadArchivers(ConverterContext& ctx) {
    for (const ArchiverRow& row : archiverRows) {
        HMODULE& handle = ctx.*(row.handle);
        if (handle) {
            FreeLibrary(handle);
            handle = nullptr;
        }
    }
}

bool runArchiverCommand(ConverterContext& ctx, HMODULE module, const char* exportName,
                        const std::string& commandLine) {
    if (!module || !exportName) return false;
    ArchiverCommandProc command = reinterpret_cast<ArchiverCommandProc>(GetProcAddress(module, exportName));
    if (!command) return false;
    ctx.outputBuffer[0] = 0;
    return command(ctx.ownerWindow, commandLine.c_str(), ctx.outputBuffer, OUTPUT_BUFFER_SIZE) == 0;
}

const char* commandExportName(ArchiveFormat format) {
    const ArchiverRow* row = findRow(format);
    return row ? row->commandExport : nullptr;
}
