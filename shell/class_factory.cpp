// DllGetClassObject / DllCanUnloadNow of Veltrox.dll: the shared COM object
// (shell/com_object.h) whose Drop runs a whole conversion in this process.
#include "shell/com_server.h"
#include "shell/com_object.h"

LONG liveObjectCount = 0;

namespace {

struct ConverterServer {
    static LONG& liveObjects() { return liveObjectCount; }
    static void drop(IDataObject* dataObject, const std::wstring&) { runDrop(dataObject); }
};

}  // namespace

HRESULT getClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    return comobject::getClassObject<ConverterServer>(CLSID_VeltroxDropHandler, rclsid, riid, ppv);
}

HRESULT canUnloadNow() { return comobject::canUnloadNow<ConverterServer>(); }
