#include "shell/host/list_file.h"
#include "engine/handles.h"
#include <cwchar>

namespace {

const wchar_t listTag[] = L"VeltroxDropList1";
const wchar_t byteOrderMark = 0xFEFF;

void appendString(std::wstring& out, const std::wstring& text) {
    out += text;
    out += L'\0';
}

}  // namespace

DWORD windowToNumber(HWND window) {
    return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(window));
}

HWND numberToWindow(DWORD number) {
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<LONG>(number)));
}

std::wstring createDropListFile() {
    wchar_t folder[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH) return std::wstring();
    wchar_t name[MAX_PATH];
    if (GetTempFileNameW(folder, L"vlx", 0, name) == 0) return std::wstring();
    return name;
}

bool writeDropList(const std::wstring& fileName, const DropList& list) {
    std::wstring content(1, byteOrderMark);
    appendString(content, listTag);
    wchar_t owner[16];
    swprintf(owner, 16, L"%08lX", static_cast<unsigned long>(list.ownerWindow));
    appendString(content, owner);
    appendString(content, list.markerPath);
    for (const std::wstring& path : list.paths) {
        if (path.empty()) return false;   // an empty string would end the list early
        appendString(content, path);
    }
    content += L'\0';

    FileHandle file(CreateFileW(fileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_TEMPORARY, nullptr));
    if (!file) return false;
    const char* bytes = reinterpret_cast<const char*>(content.data());
    size_t total = content.size() * sizeof(wchar_t);
    while (total > 0) {
        DWORD chunk = total > 0x100000 ? 0x100000 : static_cast<DWORD>(total);
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes, chunk, &written, nullptr) || written != chunk) return false;
        bytes += chunk;
        total -= chunk;
    }
    return true;
}

bool readDropList(const std::wstring& fileName, DropList& list) {
    list = DropList();
    FileHandle file(CreateFileW(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size;
    // 64 MiB of UTF-16 is far beyond any drop the shell can deliver.
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > 64 * 1024 * 1024 || size.QuadPart % 2 != 0)
        return false;
    std::wstring content(static_cast<size_t>(size.QuadPart / 2), L'\0');
    DWORD read = 0;
    DWORD bytes = static_cast<DWORD>(size.QuadPart);
    if (bytes > 0 && (!ReadFile(file.get(), &content[0], bytes, &read, nullptr) || read != bytes))
        return false;

    if (content.empty() || content[0] != byteOrderMark) return false;
    // Split into NUL-terminated strings; the content must end with a NUL.
    std::vector<std::wstring> strings;
    size_t start = 1;
    while (start < content.size()) {
        size_t end = content.find(L'\0', start);
        if (end == std::wstring::npos) return false;
        strings.push_back(content.substr(start, end - start));
        start = end + 1;
    }
    // tag, owner, marker, paths..., "" -- and nothing after the empty string.
    if (strings.size() < 4 || strings[0] != listTag || !strings.back().empty()) return false;
    for (size_t i = 3; i + 1 < strings.size(); ++i)
        if (strings[i].empty()) return false;
    wchar_t* ownerEnd = nullptr;
    unsigned long owner = wcstoul(strings[1].c_str(), &ownerEnd, 16);
    if (strings[1].empty() || *ownerEnd != L'\0') return false;

    list.ownerWindow = static_cast<DWORD>(owner);
    list.markerPath = strings[2];
    list.paths.assign(strings.begin() + 3, strings.end() - 1);
    return true;
}
