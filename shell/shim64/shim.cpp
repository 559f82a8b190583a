// Veltrox64.dll: the drop handler that a 64-bit shell loads. It has the class
// identifier and the COM behaviour of Veltrox.dll's own drop handler, but
// its Drop only hands the paths to VeltroxHost.exe, the 32-bit program that
// runs Veltrox.dll (the archiver DLLs are 32-bit, so the converter is too).
#include <windows.h>
#include <shlobj.h>
#include <new>
#include <string>
#include "shell/host/class_id.h"
#include "shell/shim64/handoff.h"


// Factories and drop handlers alive in this process.
static LONG liveObjectCount = 0;

namespace {

class DropHandler : public IShellExtInit, public IPersistFile, public IDropTarget {
public:
    DropHandler() { InterlockedIncrement(&liveObjectCount); }
    virtual ~DropHandler() {
        forgetDataObject();
        InterlockedDecrement(&liveObjectCount);
    }

    // IUnknown, shared by the three interfaces; IShellExtInit is the identity.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IShellExtInit) || IsEqualIID(riid, IID_IUnknown))
            *ppv = static_cast<IShellExtInit*>(this);
        else if (IsEqualIID(riid, IID_IPersistFile))
            *ppv = static_cast<IPersistFile*>(this);
        else if (IsEqualIID(riid, IID_IDropTarget))
            *ppv = static_cast<IDropTarget*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refCount_)); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG count = InterlockedDecrement(&refCount_);
        if (count == 0) delete this;
        return static_cast<ULONG>(count);
    }

    // IShellExtInit
    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE, IDataObject* dataObject, HKEY) override {
        forgetDataObject();
        if (dataObject) {
            heldDataObject_ = dataObject;
            dataObject->AddRef();
        }
        return S_OK;
    }

    // IPersistFile: the marker file's path is kept only to be passed on to the
    // host, which loads it into Veltrox.dll's handler as the shell would.
    STDMETHODIMP GetClassID(CLSID*) override { return E_FAIL; }
    STDMETHODIMP IsDirty() override { return S_FALSE; }
    STDMETHODIMP Load(LPCOLESTR fileName, DWORD) override {
        markerPath_ = fileName ? fileName : L"";
        return S_OK;
    }
    STDMETHODIMP Save(LPCOLESTR, BOOL) override { return E_FAIL; }
    STDMETHODIMP SaveCompleted(LPCOLESTR) override { return E_FAIL; }
    STDMETHODIMP GetCurFile(LPOLESTR*) override { return E_FAIL; }

    // IDropTarget: every effect the source offers is accepted unchanged.
    STDMETHODIMP DragEnter(IDataObject*, DWORD, POINTL, DWORD*) override { return S_OK; }
    STDMETHODIMP DragOver(DWORD, POINTL, DWORD*) override { return S_OK; }
    STDMETHODIMP DragLeave() override {
        forgetDataObject();
        return S_OK;
    }
    STDMETHODIMP Drop(IDataObject* dataObject, DWORD, POINTL, DWORD*) override {
        try {
            handOffDrop(dataObject, markerPath_);
        } catch (...) {
            // Only allocation can throw here; the shell hears S_OK regardless.
        }
        return S_OK;
    }

private:
    void forgetDataObject() {
        if (heldDataObject_) {
            IDataObject* held = heldDataObject_;
            heldDataObject_ = nullptr;
            held->Release();
        }
    }

    LONG refCount_ = 0;
    IDataObject* heldDataObject_ = nullptr;
    std::wstring markerPath_;
};

class DropHandlerFactory : public IClassFactory {
public:
    DropHandlerFactory() { InterlockedIncrement(&liveObjectCount); }
    virtual ~DropHandlerFactory() { InterlockedDecrement(&liveObjectCount); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory))
            return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
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
        return queryNew(new (std::nothrow) DropHandler, riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

    // Asks a new object for riid; an object nobody took is freed again, so
    // that liveObjectCount returns to its former value.
    template <typename Object>
    static HRESULT queryNew(Object* object, REFIID riid, void** ppv) {
        if (!object) return E_OUTOFMEMORY;
        object->AddRef();
        HRESULT hr = object->QueryInterface(riid, ppv);
        object->Release();
        return hr;
    }

private:
    LONG refCount_ = 0;
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) shimInstance = instance;
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (memcmp(&rclsid, &dropHandlerClassId, sizeof(CLSID)) != 0) return CLASS_E_CLASSNOTAVAILABLE;
    return DropHandlerFactory::queryNew(new (std::nothrow) DropHandlerFactory, riid, ppv);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() {
    return InterlockedCompareExchange(&liveObjectCount, 0, 0) == 0 ? S_OK : S_FALSE;
}
