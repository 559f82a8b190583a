#pragma once
// The folder a module was loaded from, with its trailing backslash, or "".
// Header only: Veltrox64.dll (a project of its own) and VeltroxHost.exe both
// look for their partner in their own folder.
#include <windows.h>
#include <string>

// `module` null: the program of this process.
inline std::wstring moduleFolder(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(module, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            size_t slash = path.find_last_of(L'\\');
            return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
        }
        path.resize(path.size() * 2);
    }
}
