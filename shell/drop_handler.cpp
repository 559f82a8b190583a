// The drop handler: IShellExtInit, IPersistFile and IDropTarget on one object
// whose identity is its IShellExtInit pointer. Drop runs a whole conversion.
#include "shell/com_server.h"
#include "shell/drop_handler.h"
#include "shell/drop_data.h"
#include "engine/converter_context.h"
#include "engine/driver.h"
#include <new>
#include <string>
#include <vector>

namespace {

class DropHandler : public IShellExtInit, public IPersistFile, public IDropTarget {
public:
    DropHandler() { ++liveObjectCount; }
    virtual ~DropHandler() {
        forgetDataObject();
        --liveObjectCount;
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
    STDMETHODIMP_(ULONG) AddRef() override { return ++refCount_; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG count = --refCount_;
        if (count == 0) delete this;
        return count;
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

    // IPersistFile: the marker file's path is accepted and not kept.
    STDMETHODIMP GetClassID(CLSID*) override { return E_FAIL; }
    STDMETHODIMP IsDirty() override { return S_FALSE; }
    STDMETHODIMP Load(LPCOLESTR, DWORD) override { return S_OK; }
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
        runDrop(dataObject);
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

    ULONG refCount_ = 0;
    IDataObject* heldDataObject_ = nullptr;
};

// Keeps the current folder out of the DLL search while a drop runs: the work
// folder, full of extracted files, is the current folder during compression.
// The previous setting is put back on every way out.
class DllSearchGuard {
public:
    DllSearchGuard() {
        DWORD length = GetDllDirectoryA(0, nullptr);
        if (length > 1) {
            std::vector<char> buffer(length + 1, '\0');
            DWORD got = GetDllDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
            if (got > 0 && got < buffer.size()) previous_.assign(buffer.data(), got);
        }
        char system[MAX_PATH];
        UINT systemLength = GetSystemDirectoryA(system, sizeof system);
        if (systemLength > 0 && systemLength < sizeof system) SetDllDirectoryA(system);
    }
    ~DllSearchGuard() { SetDllDirectoryA(previous_.empty() ? nullptr : previous_.c_str()); }
    DllSearchGuard(const DllSearchGuard&) = delete;
    DllSearchGuard& operator=(const DllSearchGuard&) = delete;

private:
    std::string previous_;
};

bool dropRunning = false;

class RunningFlag {
public:
    RunningFlag() { dropRunning = true; }
    ~RunningFlag() { dropRunning = false; }
};

void convertDrop(IDataObject* dataObject) {
    ConverterContext ctx;
    const char* inputs = gatherDroppedInputs(ctx, dataObject);
    if (inputs) convertAll(ctx, inputs);
}

}  // namespace

HRESULT createDropHandler(REFIID riid, void** ppv) {
    DropHandler* handler = new (std::nothrow) DropHandler;
    if (!handler) return E_OUTOFMEMORY;
    handler->AddRef();
    HRESULT hr = handler->QueryInterface(riid, ppv);
    handler->Release();
    return hr;
}

void runDrop(IDataObject* dataObject) {
    if (dropRunning) {
        // The shell may deliver another drop while the conversion dialog of
        // the running one is up; the process has room for one conversion.
        MessageBoxA(nullptr, "変換処理の実行中です。終了してから再度実行してください。", "Veltrox.dll",
                    MB_OK | MB_ICONWARNING);
        return;
    }
    try {
        RunningFlag running;
        DllSearchGuard dllSearch;
        convertDrop(dataObject);
    } catch (...) {
        // The context, the flag and the DLL search setting have been restored
        // by their destructors; the shell only ever hears S_OK.
    }
}
