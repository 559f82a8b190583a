#pragma once
// Shared behaviour of the stand-in archiver DLLs. Each DLL is built from
// standin_exports.cpp with its own identity; the exports it offers are chosen
// by its .def file (see CMakeLists.txt). What the behaviour is and how a test
// steers it is described in tests/support/standins.h.
#include <windows.h>

struct StandinIdentity {
    const char* dllName;          // "unlha32.dll"
    const char* key;              // "UNLHA32": the STANDIN_<key>_* variables
    const char* commandName;      // "Unlha" (for the log), or "" for companions
    const char* versionName;      // "UnlhaGetVersion" (for the log), or ""
    unsigned defaultVersion;
};

int standinRunCommand(const StandinIdentity& id, HWND owner, LPCSTR commandLine, LPSTR output,
                      DWORD outputSize);
WORD standinReportVersion(const StandinIdentity& id);
void standinFillZpVersion(const StandinIdentity& id, unsigned char* record);
int standinReportRarVersion(const StandinIdentity& id);
// The listing exports: a handle over the archive's entries (null when the
// archive cannot be read or STANDIN_<KEY>_LISTING is "fail"); FindFirst
// (pattern given) restarts, FindNext continues: 0 an entry, -1 no more.
HANDLE standinOpenListing(const StandinIdentity& id, HWND owner, LPCSTR archive, DWORD mode);
int standinCloseListing(HANDLE listing);
int standinFindEntry(HANDLE listing, LPCSTR pattern, void* record);
// <Command>SetUnicodeMode: logged with the mode asked for as its result;
// accepts.
BOOL standinSetUnicodeMode(const StandinIdentity& id, BOOL unicode);
