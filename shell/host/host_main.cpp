// VeltroxHost.exe: runs Veltrox.dll for a 64-bit shell, which cannot load
// the 32-bit module itself. Veltrox64.dll starts it with the path of a drop
// list file; the host reads that file (and deletes it once it has read a
// complete list from the temporary folder), loads Veltrox.dll from its
// own folder and delivers the drop to it exactly as the shell would: class
// factory, IShellExtInit::Initialize, IPersistFile::Load of the marker file,
// DragEnter, DragOver and Drop. It ends when Drop returns.
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>
#include <shellapi.h>
#include <string>
#include "base/handles.h"
#include "shell/class_id.h"
#include "shell/host/drop_data.h"
#include "shell/host/list_file.h"
#include "shell/module_folder.h"

namespace {

typedef HRESULT(WINAPI* GetClassObjectFunction)(REFCLSID, REFIID, void**);
typedef HRESULT(WINAPI* CanUnloadNowFunction)();

// Exit codes, for whoever started the host by hand.
enum HostResult { hostDone = 0, hostBadArguments = 2, hostBadList = 3, hostNoConverter = 4 };

// Releases a COM interface pointer when it goes out of scope.
template <typename Interface>
struct ComRef {
    Interface* pointer = nullptr;
    ~ComRef() { if (pointer) pointer->Release(); }
    void** put() { return reinterpret_cast<void**>(&pointer); }
    Interface* operator->() const { return pointer; }
};

// The shell's drop sequence on one drop handler. Returns false when the
// handler could not be reached; what Drop itself does is the converter's
// business (it reports its own problems and always answers S_OK).
bool deliverDrop(GetClassObjectFunction getClassObject, const DropList& list) {
    ComRef<IClassFactory> factory;
    if (FAILED(getClassObject(CLSID_VeltroxDropHandler, IID_IClassFactory, factory.put()))) return false;
    ComRef<IShellExtInit> init;
    if (FAILED(factory->CreateInstance(nullptr, IID_IShellExtInit, init.put()))) return false;
    ComRef<IDataObject> data;
    data.pointer = createDropDataObject(list.paths);
    if (!data.pointer) return false;
    ComRef<IPersistFile> persist;
    ComRef<IDropTarget> target;
    if (FAILED(init->QueryInterface(IID_IPersistFile, persist.put())) ||
        FAILED(init->QueryInterface(IID_IDropTarget, target.put())))
        return false;

    init->Initialize(nullptr, data.pointer, nullptr);
    persist->Load(list.markerPath.c_str(), STGM_READ);
    POINT cursor = {};
    GetCursorPos(&cursor);
    POINTL point = {cursor.x, cursor.y};
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    if (FAILED(target->DragEnter(data.pointer, MK_LBUTTON, point, &effect))) return true;
    target->DragOver(MK_LBUTTON, point, &effect);
    target->Drop(data.pointer, 0, point, &effect);
    return true;
}

int runHost() {
    int argumentCount = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &argumentCount);
    if (!arguments) return hostBadArguments;
    std::wstring listFile = argumentCount == 2 ? arguments[1] : L"";
    LocalFree(arguments);
    if (listFile.empty()) return hostBadArguments;

    // Only a file that reads as a complete list is one of ours, and only a
    // list where the 64-bit entry puts it, under the name it gives it, is
    // removed: the host may be started by hand with any file at all.
    DropList list;
    if (!readDropList(listFile, list)) {
        reportHandOffFailure(nullptr);
        return hostBadList;
    }
    if (isHandOffListFile(listFile)) DeleteFileW(listFile.c_str());
    if (list.paths.empty()) return hostDone;

    // The shell entry let this process take the foreground: give it back to
    // the window that had it at the drop, which then owns the converter's
    // dialogs as it would have inside the shell.
    HWND owner = numberToWindow(list.ownerWindow);
    if (owner && IsWindow(owner)) SetForegroundWindow(owner);
    else owner = nullptr;

    std::wstring converterPath = moduleFolder(nullptr) + L"Veltrox.dll";
    Module converter(LoadLibraryExW(converterPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    GetClassObjectFunction getClassObject = converter ?
        reinterpret_cast<GetClassObjectFunction>(GetProcAddress(converter.get(), "DllGetClassObject")) : nullptr;
    if (!getClassObject || !deliverDrop(getClassObject, list)) {
        reportHandOffFailure(owner);
        return hostNoConverter;
    }
    // Unload as the shell would once nothing of the module is alive.
    CanUnloadNowFunction canUnloadNow =
        reinterpret_cast<CanUnloadNowFunction>(GetProcAddress(converter.get(), "DllCanUnloadNow"));
    if (canUnloadNow && canUnloadNow() != S_OK) converter.release();
    return hostDone;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // The shell runs drop handlers on an apartment-threaded thread with OLE
    // initialised; the converter's folder browser and recycle-bin operation
    // rely on that.
    HRESULT ole = OleInitialize(nullptr);
    int result = runHost();
    if (SUCCEEDED(ole)) OleUninitialize();
    return result;
}
