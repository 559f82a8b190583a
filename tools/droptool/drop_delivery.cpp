// Delivering a SendTo drop to the registered drop handler (see drop_delivery.h).
#include "tools/droptool/drop_delivery.h"
#include "shell/host/drop_data.h"
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
    IDataObject* data = createDropDataObject(paths);
    if (!data) {
        report(L"droptool: no memory for the paths of %ls", marker);
        init->Release();
        return 3;
    }
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

