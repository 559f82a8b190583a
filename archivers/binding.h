#pragma once
// Binding of archive formats to archiver DLLs: loading on first use, the
// version gate on zip32j.dll, calling command exports, releasing everything.
#include "base/converter_context.h"
#include "base/handles.h"
#include <cstdint>
#include <string>

// Archiver DLL convention: command export and 16-bit version export.
typedef int (WINAPI* ArchiverCommandProc)(HWND owner, LPCSTR commandLine, LPSTR output, DWORD outputSize);
typedef WORD (WINAPI* ArchiverVersionProc)(void);

// Process-wide answer of zip32j.dll's ZipGetVersion; 1000 = not asked yet.
extern uint16_t zip32jVersion;

// Full path of the DLL `dllName` (a bare ASCII file name) as LoadLibraryA
// would find it in a process that has not narrowed its DLL search: the
// folders it searches, in its order; "" when there is none. Nothing is loaded.
std::wstring archiverPath(const char* dllName);

// Whether archiverPath finds the DLL.
bool archiverOnLoadPath(const char* dllName);

// Loads the DLL that archiverPath finds, by that full path; null when there is
// none or it does not load. The current directory is kept.
HMODULE loadArchiverLibrary(const char* dllName);

// What every call into an archiver DLL runs inside: the process's current
// directory is put back when it ends (a DLL may move it), and the DLL's own
// folder is on the process's DLL search meanwhile, for companions it loads by
// bare name after another DLL narrowed that search.
class ArchiverCallScope {
public:
    explicit ArchiverCallScope(HMODULE module);
    explicit ArchiverCallScope(const std::wstring& dllPath);
    ~ArchiverCallScope();
    ArchiverCallScope(const ArchiverCallScope&) = delete;
    ArchiverCallScope& operator=(const ArchiverCallScope&) = delete;

private:
    void addFolderOf(const std::wstring& dllPath);
    CurrentDirectoryRestore directory_;
    void* cookie_;
};

// Module handle of the DLL serving `format`, loaded on first use; null on
// failure (after the load message when showErrors is set).
HMODULE loadArchiver(ConverterContext& ctx, ArchiveFormat format, bool showErrors);

// Releases every loaded archiver DLL in table order and nulls its handle.
void unloadArchivers(ConverterContext& ctx);

// The availability probe of a context made for a drop: ORs the capability
// bits of every archiver DLL that a load would find into ctx.formats (and the
// 7-zip32.dll routing into fUse7ZipLib). Only tar32.dll is loaded, to ask its
// version, and released again.
void probeArchivers(ConverterContext& ctx);

// Resolves `exportName` on `module` (at every call, never cached), clears
// outputBuffer and calls it with ownerWindow, the command line and the
// 32768-byte buffer. True only when the export exists and returned 0; what
// it returned is kept in ctx.lastArchiverResult. With ctx.unicodeNames the
// call is made in the DLL's Unicode mode, the command line (built as ANSI
// text) converted to UTF-8; a DLL without that mode is not called (false).
bool runArchiverCommand(ConverterContext& ctx, HMODULE module, const char* exportName,
                        const std::string& commandLine);

// What the last command wrote into ctx.outputBuffer, as UTF-16: UTF-8 from
// a call in the Unicode mode (ctx.unicodeNames), ANSI otherwise. A DLL may
// fill the whole buffer without a terminator.
std::wstring archiverOutputText(const ConverterContext& ctx);

// The command export name of the DLL serving `format` ("Unlha", "Tar", ...),
// or null for formats without one (ACE, combinations).
const char* commandExportName(ArchiveFormat format);

// The file name of the DLL serving `format` ("tar32.dll", ...), or null for
// combinations and unknown values.
const char* archiverDllName(ArchiveFormat format);
