#include "support/host.h"
#include "support/text.h"

#include <windows.h>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

typedef char* (CDECL* WineGetUnixFileName)(LPCWSTR);

std::string readWholeFile(const std::string& path) {
    std::ifstream in(toAnsi(path).c_str(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string tempFolderUtf8() {
    wchar_t buffer[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    return fromWide(std::wstring(buffer, n));
}

}  // namespace

std::string unixPath(const std::string& windowsPathUtf8) {
    static WineGetUnixFileName convert = reinterpret_cast<WineGetUnixFileName>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name"));
    if (!convert) return std::string();
    char* result = convert(toWide(windowsPathUtf8).c_str());
    if (!result) return std::string();
    std::string path(result);
    HeapFree(GetProcessHeap(), 0, result);
    return path;
}

std::string shellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') quoted += "'\\''";
        else quoted += c;
    }
    return quoted + "'";
}

int runHostShell(const std::string& command, unsigned timeoutMs, std::string* output) {
    static LONG counter = 0;
    std::string base = tempFolderUtf8() + "hostcmd" + std::to_string(GetCurrentProcessId()) + "_" +
                       std::to_string(InterlockedIncrement(&counter));
    std::string script = base + ".sh", status = base + ".status", log = base + ".log";
    std::string uScript = unixPath(script), uStatus = unixPath(status), uLog = unixPath(log);
    if (uScript.empty()) return -1;
    {
        std::ofstream out(toAnsi(script).c_str(), std::ios::binary);
        out << "#!/bin/sh\n(\n" << command << "\n) >" << shellQuote(uLog) << " 2>&1 </dev/null\n"
            << "echo $? >" << shellQuote(uStatus + ".tmp") << "\n"
            << "mv " << shellQuote(uStatus + ".tmp") << " " << shellQuote(uStatus) << "\n";
    }
    std::wstring commandLine = L"Z:\\bin\\sh " + toWide(uScript);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(L"Z:\\bin\\sh", &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        DeleteFileW(toWide(script).c_str());
        return -1;
    }
    if (pi.hThread) CloseHandle(pi.hThread);
    if (pi.hProcess) CloseHandle(pi.hProcess);

    int result = -1;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        if (GetFileAttributesW(toWide(status).c_str()) != INVALID_FILE_ATTRIBUTES) {
            result = atoi(readWholeFile(status).c_str());
            break;
        }
        Sleep(20);
    }
    if (output) *output = readWholeFile(log);
    DeleteFileW(toWide(script).c_str());
    DeleteFileW(toWide(status).c_str());
    DeleteFileW(toWide(log).c_str());
    return result;
}
