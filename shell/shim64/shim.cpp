// Veltrox64.dll: the drop handler that a 64-bit shell loads. It is the COM
// object of Veltrox.dll (shell/com_object.h) with the same class identifier,
// but its Drop only hands the paths to VeltroxHost.exe, the 32-bit program
// that runs Veltrox.dll (the archiver DLLs are 32-bit, so the converter is too).
#include <windows.h>
#include "shell/class_id.h"
#include "shell/com_object.h"
#include "shell/shim64/handoff.h"

namespace {

// Factories and drop handlers alive in this process.
LONG liveObjectCount = 0;

struct HandOffServer {
    static LONG& liveObjects() { return liveObjectCount; }
    static void drop(IDataObject* dataObject, const std::wstring& markerPath) {
        handOffDrop(dataObject, markerPath);
    }
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) shimInstance = instance;
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    return comobject::getClassObject<HandOffServer>(CLSID_VeltroxDropHandler, rclsid, riid, ppv);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return comobject::canUnloadNow<HandOffServer>(); }
