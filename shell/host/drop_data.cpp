#include "shell/host/drop_data.h"
#include "base/handles.h"
#include <shlobj.h>
#include <cstring>
#include <new>

namespace {

// A DROPFILES block with fWide set, followed by the NUL-terminated paths and
// an empty string. An empty list still ends in two NULs: readers step over
// the first string before they look for the end of the list.
HGLOBAL makeDropFiles(const std::vector<std::wstring>& paths) {
    size_t characters = paths.empty() ? 2 : 1;
    for (const std::wstring& path : paths) characters += path.size() + 1;
    GlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT,
                                    sizeof(DROPFILES) + characters * sizeof(wchar_t)));
    if (!memory) return nullptr;
    void* block = GlobalLock(memory.get());
    if (!block) return nullptr;
    DROPFILES* header = static_cast<DROPFILES*>(block);
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    wchar_t* out = reinterpret_cast<wchar_t*>(static_cast<char*>(block) + sizeof(DROPFILES));
    for (const std::wstring& path : paths) {
        memcpy(out, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
        out += path.size() + 1;
    }
    GlobalUnlock(memory.get());
    return memory.release();
}

bool isDropFormat(const FORMATETC* format) {
    return format && format->cfFormat == CF_HDROP && format->dwAspect == DVASPECT_CONTENT &&
           (format->tymed & TYMED_HGLOBAL) && (format->lindex == -1 || format->lindex == 0);
}

class DropDataObject : public IDataObject {
public:
    explicit DropDataObject(HGLOBAL data) : data_(data) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDataObject)) return E_NOINTERFACE;
        *ppv = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refCount_); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG count = InterlockedDecrement(&refCount_);
        if (count == 0) delete this;
        return count;
    }

    // Every caller gets its own copy of the block and frees it with
    // ReleaseStgMedium.
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (!medium) return E_POINTER;
        if (!isDropFormat(format)) return DV_E_FORMATETC;
        SIZE_T size = GlobalSize(data_.get());
        GlobalMemory copy(GlobalAlloc(GMEM_MOVEABLE, size));
        if (!copy) return E_OUTOFMEMORY;
        void* to = GlobalLock(copy.get());
        void* from = GlobalLock(data_.get());
        if (to && from) memcpy(to, from, size);
        if (from) GlobalUnlock(data_.get());
        if (to) GlobalUnlock(copy.get());
        if (!to || !from) return E_OUTOFMEMORY;
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = copy.release();
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* format) override {
        return isDropFormat(format) ? S_OK : DV_E_FORMATETC;
    }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        if (out) out->ptd = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (direction != DATADIR_GET) return E_NOTIMPL;
        FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        return SHCreateStdEnumFmtEtc(1, &format, out);
    }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    virtual ~DropDataObject() = default;
    LONG refCount_ = 1;
    GlobalMemory data_;
};

}  // namespace

IDataObject* createDropDataObject(const std::vector<std::wstring>& paths) {
    HGLOBAL data = makeDropFiles(paths);
    if (!data) return nullptr;
    DropDataObject* object = new (std::nothrow) DropDataObject(data);
    if (!object) GlobalFree(data);
    return object;
}
