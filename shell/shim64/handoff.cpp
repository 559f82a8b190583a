#include "shell/shim64/handoff.h"
#include "shell/host/list_file.h"
#include "base/handles.h"
#include "shell/module_folder.h"
#include <shellapi.h>
#include <vector>

HINSTANCE shimInstance = nullptr;

namespace {

const wchar_t hostFileName[] = L"VeltroxHost.exe";

// All paths of the CF_HDROP data, in the order the shell gave them.
std::vector<std::wstring> readDroppedPaths(IDataObject* dataObject) {
    std::vector<std::wstring> paths;
    if (!dataObject) return paths;
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    if (FAILED(dataObject->GetData(&format, &medium))) return paths;
    if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
        HDROP drop = static_cast<HDROP>(medium.hGlobal);
        UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        paths.reserve(count);
        for (UINT i = 0; i < count; ++i) {
            UINT length = DragQueryFileW(drop, i, nullptr, 0);
            std::wstring path(length + 1, L'\0');
            UINT got = DragQueryFileW(drop, i, &path[0], length + 1);
            path.resize(got);
            if (!path.empty()) paths.push_back(path);
        }
    }
    ReleaseStgMedium(&medium);
    return paths;
}

// Starts the host suspended so that it may take the foreground before its
// first instruction runs, then lets it go.
bool startHost(const std::wstring& listFile) {
    std::wstring folder = moduleFolder(shimInstance);
    if (folder.empty()) return false;
    std::wstring host = folder + hostFileName;
    std::wstring commandLine = L"\"" + host + L"\" \"" + listFile + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(host.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                        nullptr, nullptr, &startup, &process))
        return false;
    KernelHandle processHandle(process.hProcess);
    KernelHandle threadHandle(process.hThread);
    AllowSetForegroundWindow(process.dwProcessId);
    if (ResumeThread(process.hThread) == static_cast<DWORD>(-1)) {
        TerminateProcess(process.hProcess, 1);
        return false;
    }
    return true;
}

}  // namespace

void handOffDrop(IDataObject* dataObject, const std::wstring& markerPath) {
    DropList list;
    list.paths = readDroppedPaths(dataObject);
    if (list.paths.empty()) return;
    HWND foreground = GetForegroundWindow();
    list.ownerWindow = windowToNumber(foreground);
    list.markerPath = markerPath;

    std::wstring listFile = createDropListFile();
    bool started = !listFile.empty() && writeDropList(listFile, list) && startHost(listFile);
    if (started) return;
    if (!listFile.empty()) DeleteFileW(listFile.c_str());
    reportHandOffFailure(foreground);
}
