// droptool: does what Explorer does when items are sent to a SendTo marker
// file. It looks up the drop handler registered for the marker's file type,
// creates it, initialises it, loads the marker's path into it and delivers
// DragEnter, DragOver and Drop with the given paths as CF_HDROP data.
//
//   droptool <marker file> <path>...
//
// Exit code: 0 when Drop returned S_OK, 2 on a usage or lookup error, 3 when
// a COM call failed.
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>
#include <shellapi.h>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>
#include "tools/droptool/drop_delivery.h"

namespace {

std::wstring fullPath(const wchar_t* path) {
    wchar_t buffer[32768];
    DWORD length = GetFullPathNameW(path, 32768, buffer, nullptr);
    if (length == 0 || length >= 32768) return path;
    return buffer;
}

std::wstring currentDirectory() {
    wchar_t buffer[32768];
    DWORD length = GetCurrentDirectoryW(32768, buffer);
    return length && length < 32768 ? std::wstring(buffer, length) : std::wstring();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        fwprintf(stderr, L"usage: droptool <marker file> <path>...\n");
        return 2;
    }
    std::wstring marker = fullPath(argv[1]);
    std::vector<std::wstring> paths;
    for (int i = 2; i < argc; ++i) paths.push_back(fullPath(argv[i]));

    if (FAILED(OleInitialize(nullptr))) {
        fwprintf(stderr, L"droptool: OleInitialize failed\n");
        return 3;
    }
    // The drop handler runs in this process, as in Explorer: whatever the
    // archiver DLLs did, the process's current directory must be as before.
    std::wstring before = currentDirectory();
    int status = deliverDrop(marker, paths);
    std::wstring after = currentDirectory();
    if (after != before)
        fwprintf(stderr, L"droptool: the current directory moved from %ls to %ls\n", before.c_str(), after.c_str());
    CoFreeUnusedLibraries();
    OleUninitialize();
    return status;
}
