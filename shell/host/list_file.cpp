#include "shell/host/list_file.h"
#include "base/handles.h"
#include "base/module.h"
#include <cwchar>

namespace {

const wchar_t listTag[] = L"VeltroxDropList1";
const wchar_t listPrefix[] = L"vlx";
const wchar_t byteOrderMark = 0xFEFF;

// The full, long form of a path (short 8.3 components expanded where the
// file system knows them); "" when it cannot be formed.
std::wstring longFullPath(const std::wstring& path) {
    DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) return std::wstring();
    std::wstring full(length, L'\0');
    DWORD got = GetFullPathNameW(path.c_str(), length, &full[0], nullptr);
    if (got == 0 || got >= length) return std::wstring();
    full.resize(got);
    length = GetLongPathNameW(full.c_str(), nullptr, 0);
    if (length == 0) return full;
    std::wstring longer(length, L'\0');
    got = GetLongPathNameW(full.c_str(), &longer[0], length);
    if (got == 0 || got >= length) return full;
    longer.resize(got);
    return longer;
}

bool isHexDigit(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

// "vlx" + one to four hexadecimal digits + ".tmp", the form GetTempFileNameW
// gives the list file's name.
bool isListFileName(const std::wstring& name) {
    const size_t prefix = 3, suffix = 4;
    if (name.size() < prefix + 1 + suffix || name.size() > prefix + 4 + suffix) return false;
    if (_wcsnicmp(name.c_str(), listPrefix, prefix) != 0) return false;
    if (_wcsicmp(name.c_str() + name.size() - suffix, L".tmp") != 0) return false;
    for (size_t i = prefix; i < name.size() - suffix; ++i)
        if (!isHexDigit(name[i])) return false;
    return true;
}

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
    if (GetTempFileNameW(folder, listPrefix, 0, name) == 0) return std::wstring();
    return name;
}

bool isHandOffListFile(const std::wstring& fileName) {
    std::wstring path = longFullPath(fileName);
    size_t slash = path.find_last_of(L'\\');
    if (path.empty() || slash == std::wstring::npos) return false;
    if (!isListFileName(path.substr(slash + 1))) return false;
    wchar_t temp[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH) return false;
    std::wstring tempFolder = longFullPath(temp);
    if (tempFolder.empty()) return false;
    if (tempFolder.back() != L'\\') tempFolder += L'\\';
    std::wstring folder = path.substr(0, slash + 1);
    if (_wcsicmp(folder.c_str(), tempFolder.c_str()) != 0) return false;
    // A plain file only: never a folder, a device or a link to elsewhere.
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE));
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

void reportHandOffFailure(HWND owner) {
    MessageBoxW(owner, L"Veltrox の変換処理を開始できません。", MESSAGE_CAPTION_W, MB_OK | MB_ICONERROR);
}
