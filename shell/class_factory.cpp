// DllGetClassObject / DllCanUnloadNow and the class factory of the drop handler.
#include "shell/com_server.h"
#include "shell/drop_handler.h"
#include <new>

const CLSID CLSID_VeltroxDropHandler = {
    0x6f3c2a81, 0x4b7d, 0x4e19, {0x9a, 0x52, 0x3d, 0x8e, 0x1c, 0x07, 0xb4, 0xf6}};

LONG liveObjectCount = 0;

namespace {

class DropHandlerFactory : public IClassFactory {
public:
    DropHandlerFactory() { InterlockedIncrement(&liveObjectCount); }
    virtual ~DropHandlerFactory() { InterlockedDecrement(&liveObjectCount); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refCount_)); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG count = InterlockedDecrement(&refCount_);
        if (count == 0) delete this;
        return static_cast<ULONG>(count);
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return createDropHandler(riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

private:
    LONG refCount_ = 0;
};

}  // namespace

HRESULT getClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (memcmp(&rclsid, &CLSID_VeltroxDropHandler, sizeof(CLSID)) != 0)
        return CLASS_E_CLASSNOTAVAILABLE;
    DropHandlerFactory* factory = new (std::nothrow) DropHandlerFactory;
    if (!factory) return E_OUTOFMEMORY;
    // The first QueryInterface takes the first reference; an object nobody
    // got hold of is freed at once so that the module can still unload.
    factory->AddRef();
    HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

HRESULT canUnloadNow() {
    return InterlockedCompareExchange(&liveObjectCount, 0, 0) == 0 ? S_OK : S_FALSE;
}
