// Binding of archive formats to archiver DLLs. DLLs are found by the search
// LoadLibraryA would do, loaded by that full path on first use, kept in the
// context's module table and released together.
#include "archivers/binding.h"
#include "archivers/unicode_mode.h"
#include "archivers/versions.h"
#include "base/handles.h"
#include "base/module.h"
#include "base/wide_text.h"
#include <string>
#include <vector>

namespace {

struct ArchiverRow {
    ArchiveFormat formats;               // the codes this DLL serves
    const char* dllName;
    HMODULE ConverterContext::*handle;
    const char* commandExport;           // null: own interface (ACE)
};

// In the order of the context's module fields (the order of release).
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

// tar32.dll newer than 0.50 handles bzip2 itself; older ones need bz2lib.dll.
const uint16_t TAR32_BUILTIN_BZIP2 = 50;

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
    MessageBoxA(owner, text, MESSAGE_CAPTION, MB_ICONERROR | MB_OK);
}

void showLoadError() { showBindingError("アーカイバ DLL がロードできません。"); }

// zip32j.dll is asked its version once per process (unless it answered
// exactly 1000); unsuitable versions refuse ZIP compression.
HMODULE loadZip32j(ConverterContext& ctx, bool showErrors) {
    if (zip32jVersion < ZIP32J_LOWEST) return nullptr;
    if (!ctx.hZip32j) {
        ctx.hZip32j = loadArchiverLibrary("zip32j.dll");
        if (!ctx.hZip32j) {
            if (showErrors) showLoadError();
            return nullptr;
        }
    }
    if (zip32jVersion == ZIP32J_NOT_ASKED) {
        zip32jVersion = 0;
        ArchiverVersionProc version =
            reinterpret_cast<ArchiverVersionProc>(GetProcAddress(ctx.hZip32j, "ZipGetVersion"));
        if (version) {
            ArchiverCallScope scope(ctx.hZip32j);
            zip32jVersion = version();
        }
    }
    if (zip32jVersion < ZIP32J_LOWEST || zip32jVersion > ZIP32J_NOT_ASKED) {
        showBindingError("このバージョンの IZIP32J.DLL では圧縮できません。\n\nv0.23 以上をお使いください。");
        return nullptr;
    }
    return ctx.hZip32j;
}

// A folder reported by one of the Get...Directory functions, or "".
template <typename Query>
std::wstring folderFrom(Query query) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (int attempt = 0; attempt < 2; ++attempt) {
        UINT length = query(buffer.data(), static_cast<UINT>(buffer.size()));
        if (length == 0) return std::wstring();
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        buffer.resize(length + 1);
    }
    return std::wstring();
}

// The full path of a module's file (null: the program's), "" when unknown.
std::wstring moduleFileName(HMODULE module) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (;;) {
        DWORD length = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return std::wstring();
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        if (buffer.size() > 32768) return std::wstring();
        buffer.resize(buffer.size() * 2);
    }
}

// AddDllDirectory, where the system has it (and so can narrow the search).
typedef void*(WINAPI* AddDllDirectoryProc)(PCWSTR);
AddDllDirectoryProc addDllDirectoryProc() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<AddDllDirectoryProc>(GetProcAddress(kernel, "AddDllDirectory")) : nullptr;
}

std::wstring programFolder() {
    std::wstring path = moduleFileName(nullptr);
    size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// The folders LoadLibraryA searches for a bare DLL name, in its order, as
// one semicolon-separated list: the program's folder, the DLL directory when
// one is set (the drop sets the system folder there, which takes the current
// folder out of the search), the system folder, the 16-bit system folder,
// the Windows folder, the current folder when no DLL directory is set, then
// the folders of PATH.
std::wstring loadSearchPath() {
    std::wstring dllDirectory = folderFrom([](wchar_t* b, UINT n) { return static_cast<UINT>(GetDllDirectoryW(n, b)); });
    std::wstring windows = folderFrom([](wchar_t* b, UINT n) { return GetWindowsDirectoryW(b, n); });
    std::vector<std::wstring> folders;
    folders.push_back(programFolder());
    if (!dllDirectory.empty()) folders.push_back(dllDirectory);
    folders.push_back(folderFrom([](wchar_t* b, UINT n) { return GetSystemDirectoryW(b, n); }));
    if (!windows.empty()) folders.push_back(windows + L"\\system");
    folders.push_back(windows);
    if (dllDirectory.empty()) folders.push_back(L".");
    std::wstring path;
    for (const std::wstring& folder : folders) {
        if (folder.empty()) continue;
        path += folder;
        path += L';';
    }
    DWORD length = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    if (length > 1) {
        std::vector<wchar_t> value(length);
        DWORD got = GetEnvironmentVariableW(L"PATH", value.data(), length);
        if (got > 0 && got < length) path.append(value.data(), got);
    }
    return path;
}

}  // namespace

std::wstring archiverPath(const char* dllName) {
    std::wstring name;
    for (const char* c = dllName; *c; ++c) name += static_cast<wchar_t>(static_cast<unsigned char>(*c));
    std::wstring path = loadSearchPath();
    std::vector<wchar_t> found(MAX_PATH);
    for (int attempt = 0; attempt < 2; ++attempt) {
        DWORD length = SearchPathW(path.c_str(), name.c_str(), nullptr, static_cast<DWORD>(found.size()),
                                   found.data(), nullptr);
        if (length == 0) return std::wstring();
        if (length < found.size()) return std::wstring(found.data(), length);
        found.resize(length + 1);
    }
    return std::wstring();
}

bool archiverOnLoadPath(const char* dllName) { return !archiverPath(dllName).empty(); }

ArchiverCallScope::ArchiverCallScope(HMODULE module) : cookie_(nullptr) {
    // A null module would name the program itself.
    if (module) addFolderOf(moduleFileName(module));
}

ArchiverCallScope::ArchiverCallScope(const std::wstring& dllPath) : cookie_(nullptr) { addFolderOf(dllPath); }

// A DLL loads its companions (zip32j.dll its izip32j.dll, unrar32.dll its
// unrar.dll) by bare name while it is called, through the process's DLL
// search, which no flag of our own load reaches. Once a DLL in the process
// has narrowed that search with SetDefaultDllDirectories (7-zip32.dll does so
// on every command), the Windows folder and PATH are out of it, so for the
// length of the call the DLL's own folder is added with AddDllDirectory: the
// narrowed default search includes such folders (LOAD_LIBRARY_SEARCH_USER_DIRS),
// as does a load with LOAD_LIBRARY_SEARCH_DEFAULT_DIRS, on Windows and under
// Wine alike. Without narrowing the standard search already finds the folder
// where ours found the DLL. Systems without AddDllDirectory cannot narrow.
void ArchiverCallScope::addFolderOf(const std::wstring& dllPath) {
    size_t slash = dllPath.find_last_of(L'\\');
    if (slash == std::wstring::npos) return;
    AddDllDirectoryProc add = addDllDirectoryProc();
    if (!add) return;
    std::wstring folder = dllPath.substr(0, slash == 2 ? 3 : slash);
    cookie_ = add(folder.c_str());
}

ArchiverCallScope::~ArchiverCallScope() {
    typedef BOOL(WINAPI * RemoveDllDirectoryProc)(void*);
    if (!cookie_) return;
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    RemoveDllDirectoryProc remove =
        kernel ? reinterpret_cast<RemoveDllDirectoryProc>(GetProcAddress(kernel, "RemoveDllDirectory")) : nullptr;
    if (remove) remove(cookie_);
}

HMODULE loadArchiverLibrary(const char* dllName) {
    std::wstring path = archiverPath(dllName);
    if (path.empty()) return nullptr;
    // Loaded by the full path our search found, so that probe, About box and
    // load always mean the same file, whatever another DLL did to the
    // process's search meanwhile. The DLL's static imports are looked for
    // beside it first. Where the LOAD_LIBRARY_SEARCH_* flags exist
    // (AddDllDirectory is exported), LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR |
    // LOAD_LIBRARY_SEARCH_DEFAULT_DIRS says so exactly: the DLL's folder, the
    // program's folder, added folders, System32, whatever defaults a DLL has
    // set, on Windows and under Wine alike. LOAD_WITH_ALTERED_SEARCH_PATH
    // does it on every Windows, but its search after narrowed defaults is not
    // documented (Wine takes the DLL's folder, then the narrowed defaults);
    // it is taken only where nothing can narrow. Neither flag reaches a
    // companion that the DLL loads by bare name later: ArchiverCallScope does.
    bool searchFlags = addDllDirectoryProc() != nullptr;
    DWORD flags = searchFlags ? (LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS)
                              : LOAD_WITH_ALTERED_SEARCH_PATH;
    ArchiverCallScope scope(path);
    return LoadLibraryExW(path.c_str(), nullptr, flags);
}

uint16_t zip32jVersion = ZIP32J_NOT_ASKED;

HMODULE loadArchiver(ConverterContext& ctx, ArchiveFormat format, bool showErrors) {
    const ArchiverRow* row = findRow(format);
    if (row && format == FMT_ZIP) return loadZip32j(ctx, showErrors);
    if (row) {
        HMODULE& handle = ctx.*(row->handle);
        if (format == FMT_ACE) {
            if (!handle) {
                if (ctx.aceAvailable == -1) ctx.aceAvailable = archiverOnLoadPath(row->dllName) ? 1 : 0;
                if (ctx.aceAvailable) handle = loadArchiverLibrary(row->dllName);
            }
        } else if (!handle) {
            handle = loadArchiverLibrary(row->dllName);
        }
        if (handle) return handle;
    }
    if (showErrors) showLoadError();
    return nullptr;
}

void unloadArchivers(ConverterContext& ctx) { releaseArchiverModules(ctx); }

bool runArchiverCommand(ConverterContext& ctx, HMODULE module, const char* exportName,
                        const std::string& commandLine) {
    if (!module || !exportName) return false;
    ArchiverCommandProc command = reinterpret_cast<ArchiverCommandProc>(GetProcAddress(module, exportName));
    if (!command) return false;
    // Names outside the ANSI code page: the call goes in the DLL's Unicode
    // mode with its command line in UTF-8; a DLL without one cannot carry them.
    ArchiverCallScope scope(module);
    UnicodeModeScope unicode(ctx.unicodeNames ? findUnicodeMode(module, exportName) : nullptr);
    ctx.outputBuffer[0] = 0;
    if (ctx.unicodeNames && !unicode.active()) {
        ctx.lastArchiverResult = -1;   // not called: no result of the DLL's to report
        return false;
    }
    std::string utf8;
    if (unicode.active()) utf8 = utf8FromAnsi(commandLine);
    ctx.lastArchiverResult = command(ctx.ownerWindow, unicode.active() ? utf8.c_str() : commandLine.c_str(),
                                     ctx.outputBuffer, OUTPUT_BUFFER_SIZE);
    return ctx.lastArchiverResult == 0;
}

std::wstring archiverOutputText(const ConverterContext& ctx) {
    std::string text(ctx.outputBuffer, strnlen(ctx.outputBuffer, sizeof ctx.outputBuffer));
    std::wstring wide;
    if (ctx.unicodeNames && wideFromUtf8(text, wide)) return wide;
    return wideFromAnsi(text);
}

const char* commandExportName(ArchiveFormat format) {
    const ArchiverRow* row = findRow(format);
    return row ? row->commandExport : nullptr;
}

const char* archiverDllName(ArchiveFormat format) {
    const ArchiverRow* row = findRow(format);
    return row ? row->dllName : nullptr;
}

void probeArchivers(ConverterContext& ctx) {
    if (archiverOnLoadPath("7-zip32.dll")) ctx.formats |= FMT_7Z;
    if (archiverOnLoadPath("unlha32.dll")) ctx.formats |= FMT_LZH;
    if (archiverOnLoadPath("zip32.dll") && archiverOnLoadPath("zip32j.dll")) {
        ctx.formats |= FMT_ZIP;
    } else if (ctx.formats & FMT_7Z) {
        ctx.formats |= FMT_ZIP;
        ctx.fUse7ZipLib |= 2;
        ctx.sevenZipOnly |= 2;
    }
    if (archiverOnLoadPath("unzip32.dll")) {
        ctx.formats |= FMT_UNZIP;
    } else if (ctx.formats & FMT_7Z) {
        ctx.formats |= FMT_UNZIP;
        ctx.fUse7ZipLib |= 1;
        ctx.sevenZipOnly |= 1;
    }
    if (archiverOnLoadPath("cab32.dll")) ctx.formats |= FMT_CAB;
    if (archiverOnLoadPath("unarj32j.dll")) ctx.formats |= FMT_ARJ;
    if (archiverOnLoadPath("tar32.dll")) {
        uint16_t version = getArchiverVersion(ctx, FMT_TAR);
        ctx.formats |= FMT_TAR;
        if (version > TAR32_BUILTIN_BZIP2) ctx.formats |= FMT_TARBZ2;
        else if (archiverOnLoadPath("bz2lib.dll")) ctx.formats |= FMT_TARBZ2;
        unloadArchivers(ctx);
    }
    if (archiverOnLoadPath("unrar.dll") && archiverOnLoadPath("unrar32.dll")) ctx.formats |= FMT_RAR;
    if (archiverOnLoadPath("bga32.dll")) ctx.formats |= FMT_BZA | FMT_GZA;
    if (archiverOnLoadPath("yz1.dll")) ctx.formats |= FMT_YZ1;
    if (archiverOnLoadPath("unacev2.dll")) ctx.formats |= FMT_ACE;
}
