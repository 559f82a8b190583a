// Records the drop sequence that reaches it into "record.txt" beside itself
// (UTF-8, one event per line), written when Drop returns:
//   pid <process id>
//   GetClassObject <interface> <class id>
//   CreateInstance <interface>
//   Initialize <data|null>         QueryInterface <interface>
//   Load <path>                    DragEnter <effect>   DragOver <effect>
//   Drop wide=<0|1> count=<n>      path <path>  (n lines)
//   end
#include <windows.h>
#include <shlobj.h>
#include <shellapi.h>
#include <string>

namespace {

HINSTANCE instance = nullptr;
std::string record;
LONG liveObjects = 0;

std::string utf8(const wchar_t* text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return std::string();
    std::string out(size - 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, nullptr, nullptr);
    return out;
}

const char* interfaceName(REFIID riid) {
    if (IsEqualIID(riid, IID_IUnknown)) return "IUnknown";
    if (IsEqualIID(riid, IID_IClassFactory)) return "IClassFactory";
    if (IsEqualIID(riid, IID_IShellExtInit)) return "IShellExtInit";
    if (IsEqualIID(riid, IID_IPersistFile)) return "IPersistFile";
    if (IsEqualIID(riid, IID_IDropTarget)) return "IDropTarget";
    return "other";
}

void note(const std::string& line) { record += line + "\n"; }

void saveRecord() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    std::wstring folder(path, length);
    folder.resize(folder.find_last_of(L'\\') + 1);
    std::wstring temporary = folder + L"record.tmp";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    CloseHandle(file);
    // Appears complete or not at all.
    MoveFileExW(temporary.c_str(), (folder + L"record.txt").c_str(), MOVEFILE_REPLACE_EXISTING);
}

void recordPaths(IDataObject* data) {
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    if (!data || FAILED(data->GetData(&format, &medium))) {
        note("Drop no-data");
        return;
    }
    HDROP drop = static_cast<HDROP>(medium.hGlobal);
    DROPFILES* header = static_cast<DROPFILES*>(GlobalLock(medium.hGlobal));
    int wide = header && header->fWide ? 1 : 0;
    if (header) GlobalUnlock(medium.hGlobal);
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    note("Drop wide=" + std::to_string(wide) + " count=" + std::to_string(count));
    for (UINT i = 0; i < count; ++i) {
        std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        DragQueryFileW(drop, i, &path[0], static_cast<UINT>(path.size()));
        note("path " + utf8(path.c_str()));
    }
    ReleaseStgMedium(&medium);
}

// One object plays factory and handler: enough for a recorder.
class Recorder : public IClassFactory, public IShellExtInit, public IPersistFile, public IDropTarget {
public:
    Recorder() { ++liveObjects; }
    virtual ~Recorder() {
        if (held_) held_->Release();
        --liveObjects;
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IShellExtInit))
            *ppv = static_cast<IShellExtInit*>(this);
        else if (IsEqualIID(riid, IID_IClassFactory))
            *ppv = static_cast<IClassFactory*>(this);
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
    STDMETHODIMP CreateInstance(IUnknown*, REFIID riid, void** ppv) override {
        note(std::string("CreateInstance ") + interfaceName(riid));
        Recorder* handler = new Recorder;
        handler->AddRef();
        HRESULT hr = handler->QueryInterface(riid, ppv);
        handler->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY) override {
        note(data ? "Initialize data" : "Initialize null");
        if (held_) held_->Release();
        held_ = data;
        if (held_) held_->AddRef();
        return S_OK;
    }
    STDMETHODIMP GetClassID(CLSID*) override { return E_FAIL; }
    STDMETHODIMP IsDirty() override { return S_FALSE; }
    STDMETHODIMP Load(LPCOLESTR name, DWORD) override {
        note("Load " + utf8(name ? name : L""));
        return S_OK;
    }
    STDMETHODIMP Save(LPCOLESTR, BOOL) override { return E_FAIL; }
    STDMETHODIMP SaveCompleted(LPCOLESTR) override { return E_FAIL; }
    STDMETHODIMP GetCurFile(LPOLESTR*) override { return E_FAIL; }
    STDMETHODIMP DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override {
        note("DragEnter " + std::to_string(effect ? *effect : 0));
        return S_OK;
    }
    STDMETHODIMP DragOver(DWORD, POINTL, DWORD* effect) override {
        note("DragOver " + std::to_string(effect ? *effect : 0));
        return S_OK;
    }
    STDMETHODIMP DragLeave() override { return S_OK; }
    STDMETHODIMP Drop(IDataObject* data, DWORD, POINTL, DWORD*) override {
        recordPaths(data);
        note("end");
        saveRecord();
        return S_OK;
    }

private:
    ULONG refCount_ = 0;
    IDataObject* held_ = nullptr;
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) instance = module;
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    record.clear();
    note("pid " + std::to_string(GetCurrentProcessId()));
    wchar_t classText[40] = {};
    StringFromGUID2(rclsid, classText, 40);
    note(std::string("GetClassObject ") + interfaceName(riid) + " " + utf8(classText));
    Recorder* factory = new Recorder;
    factory->AddRef();
    HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return liveObjects == 0 ? S_OK : S_FALSE; }
