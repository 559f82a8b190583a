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
// <Command>SetUnicodeMode: logged with the mode asked for as its result;
// accepts.
BOOL standinSetUnicodeMode(const StandinIdentity& id, BOOL unicode);
