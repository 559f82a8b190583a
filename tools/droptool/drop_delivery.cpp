// Delivering a SendTo drop to the registered drop handler (see drop_delivery.h).
#include "tools/droptool/drop_delivery.h"
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>
#include <shellapi.h>
#include <cstdio>
#include <cwchar>

namespace {

void report(const wchar_t* format, const std::wstring& text, HRESULT hr = S_OK) {
    fwprintf(stderr, format, text.c_str(), static_cast<unsigned long>(hr));
    fputwc(L'\n', stderr);
}

// The default value of HKEY_CLASSES_ROOT\<subKey>, or "".
std::wstring classesDefault(const std::wstring& subKey) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::wstring();
    wchar_t value[512] = {0};
    DWORD size = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    LONG result = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::wstring();
    return value;
}

// CF_HDROP data (DROPFILES with wide names) in movable global memory.
HGLOBAL makeDropFiles(const std::vector<std::wstring>& paths) {
    size_t chars = 1;
    for (const std::wstring& p : paths) chars += p.size() + 1;
    SIZE_T bytes = sizeof(DROPFILES) + chars * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    if (!memory) return nullptr;
    DROPFILES* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    wchar_t* out = reinterpret_cast<wchar_t*>(header + 1);
    for (const std::wstring& p : paths) {
        memcpy(out, p.c_str(), (p.size() + 1) * sizeof(wchar_t));
        out += p.size() + 1;
    }
    *out = L'\0';
    GlobalUnlock(memory);
    return memory;
}

// A data object that offers exactly one format: CF_HDROP on an HGLOBAL.
class DropData : public IDataObject {
public:
    explicit DropData(const std::vector<std::wstring>& paths) : paths_(paths) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
            *ppv = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refCount_; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG count = --refCount_;
        if (count == 0) delete this;
        return count;
    }

    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (!format || !medium) return E_INVALIDARG;
        HRESULT hr = QueryGetData(format);
        if (FAILED(hr)) return hr;
        HGLOBAL memory = makeDropFiles(paths_);
        if (!memory) return E_OUTOFMEMORY;
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* format) override {
        if (!format) return E_INVALIDARG;
        if (format->cfFormat != CF_HDROP) return DV_E_FORMATETC;
        if (!(format->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
        return S_OK;
    }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        if (out) out->ptd = nullptr;
        return DATA_S_SAMEFORMATETC;
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
    virtual ~DropData() {}
    ULONG refCount_ = 1;
    std::vector<std::wstring> paths_;
};

}  // namespace

int deliverDrop(const std::wstring& marker, const std::vector<std::wstring>& paths) {
    // The marker's type and the drop handler registered for it.
    size_t dot = marker.find_last_of(L'.');
    size_t slash = marker.find_last_of(L"\\/");
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) {
        report(L"droptool: %ls has no file type", marker);
        return 2;
    }
    std::wstring typeName = classesDefault(marker.substr(dot));
    if (typeName.empty()) {
        report(L"droptool: no file type registered for %ls", marker.substr(dot));
        return 2;
    }
    std::wstring handlerText = classesDefault(typeName + L"\\shellex\\DropHandler");
    CLSID handlerClass;
    if (handlerText.empty() || FAILED(CLSIDFromString(handlerText.c_str(), &handlerClass))) {
        report(L"droptool: no drop handler registered for %ls", typeName);
        return 2;
    }

    IShellExtInit* init = nullptr;
    HRESULT hr = CoCreateInstance(handlerClass, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit,
                                  reinterpret_cast<void**>(&init));
    if (FAILED(hr)) {
        report(L"droptool: CoCreateInstance(%ls) failed: 0x%08lx", handlerText, hr);
        return 3;
    }
    DropData* data = new DropData(paths);
    HKEY typeKey = nullptr;
    RegOpenKeyExW(HKEY_CLASSES_ROOT, typeName.c_str(), 0, KEY_READ, &typeKey);

    int status = 0;
    IPersistFile* persist = nullptr;
    IDropTarget* target = nullptr;
    if (FAILED(hr = init->Initialize(nullptr, data, typeKey))) {
        report(L"droptool: Initialize failed%ls: 0x%08lx", L"", hr);
        status = 3;
    } else if (FAILED(hr = init->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) ||
               FAILED(hr = persist->Load(marker.c_str(), STGM_READ))) {
        report(L"droptool: IPersistFile::Load failed%ls: 0x%08lx", L"", hr);
        status = 3;
    } else if (FAILED(hr = init->QueryInterface(IID_IDropTarget, reinterpret_cast<void**>(&target)))) {
        report(L"droptool: no IDropTarget%ls: 0x%08lx", L"", hr);
        status = 3;
    } else {
        POINTL point = {0, 0};
        DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
        hr = target->DragEnter(data, MK_LBUTTON, point, &effect);
        if (SUCCEEDED(hr)) hr = target->DragOver(MK_LBUTTON, point, &effect);
        if (SUCCEEDED(hr)) hr = target->Drop(data, 0, point, &effect);
        if (hr != S_OK) {
            report(L"droptool: drop failed%ls: 0x%08lx", L"", hr);
            status = 3;
        }
    }
    if (target) target->Release();
    if (persist) persist->Release();
    init->Release();
    data->Release();
    if (typeKey) RegCloseKey(typeKey);
    return status;
}

