#pragma once
// The drop handler's COM object and its class factory, shared by Veltrox.dll
// and Veltrox64.dll. Header only: Veltrox64.dll is built by a project of its
// own. The two modules differ only in what Drop does, which each gives as a
// Server type:
//   struct Server {
//       static LONG& liveObjects();   // factories and handlers alive in the module
//       static void drop(IDataObject* dataObject, const std::wstring& markerPath);
//   };
// drop runs on the shell's thread; the shell hears S_OK whatever it does.
// Counts change only through the Interlocked functions: several shell threads
// may create and release objects at once.
#include <windows.h>
#include <shlobj.h>
#include <new>
#include <string>

namespace comobject {

// Asks a new object for riid; an object nobody took is freed again, so that
// the module's live count returns to its former value. The first
// QueryInterface takes the first reference.
template <typename Object>
HRESULT queryNew(Object* object, REFIID riid, void** ppv) {
    if (!object) return E_OUTOFMEMORY;
    object->AddRef();
    HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

// Takes one reference off `count`; the last one deletes the object.
template <typename Object>
ULONG releaseReference(LONG& count, Object* object) {
    LONG left = InterlockedDecrement(&count);
    if (left == 0) delete object;
    return static_cast<ULONG>(left);
}

// IShellExtInit, IPersistFile and IDropTarget on one object whose identity is
// its IShellExtInit pointer.
template <typename Server>
class DropHandler : public IShellExtInit, public IPersistFile, public IDropTarget {
public:
    DropHandler() { InterlockedIncrement(&Server::liveObjects()); }
    virtual ~DropHandler() {
        forgetDataObject();
        InterlockedDecrement(&Server::liveObjects());
    }

    // IUnknown, shared by the three interfaces (the compiler's thunks adjust
    // the secondary interface pointers back to the start of the object).
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
    STDMETHODIMP_(ULONG) Release() override { return releaseReference(refCount_, this); }

    // IShellExtInit
    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE, IDataObject* dataObject, HKEY) override {
        forgetDataObject();
        if (dataObject) {
            heldDataObject_ = dataObject;
            dataObject->AddRef();
        }
        return S_OK;
    }

    // IPersistFile: the marker file's path is kept for Drop (the 64-bit entry
    // passes it on to the host, which loads it into Veltrox.dll's handler).
    STDMETHODIMP GetClassID(CLSID*) override { return E_FAIL; }
    STDMETHODIMP IsDirty() override { return S_FALSE; }
    STDMETHODIMP Load(LPCOLESTR fileName, DWORD) override {
        try {
            markerPath_ = fileName ? fileName : L"";
        } catch (...) {
            markerPath_.clear();
        }
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
            Server::drop(dataObject, markerPath_);
        } catch (...) {
            // Whatever the drop left behind has been undone by its
            // destructors; the shell only ever hears S_OK.
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

template <typename Server>
class DropHandlerFactory : public IClassFactory {
public:
    DropHandlerFactory() { InterlockedIncrement(&Server::liveObjects()); }
    virtual ~DropHandlerFactory() { InterlockedDecrement(&Server::liveObjects()); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refCount_)); }
    STDMETHODIMP_(ULONG) Release() override { return releaseReference(refCount_, this); }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return queryNew(new (std::nothrow) DropHandler<Server>, riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

private:
    LONG refCount_ = 0;
};

// The bodies of DllGetClassObject and DllCanUnloadNow.
template <typename Server>
HRESULT getClassObject(REFCLSID served, REFCLSID rclsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (memcmp(&rclsid, &served, sizeof(CLSID)) != 0) return CLASS_E_CLASSNOTAVAILABLE;
    return queryNew(new (std::nothrow) DropHandlerFactory<Server>, riid, ppv);
}

template <typename Server>
HRESULT canUnloadNow() {
    return InterlockedCompareExchange(&Server::liveObjects(), 0, 0) == 0 ? S_OK : S_FALSE;
}

}  // namespace comobject
