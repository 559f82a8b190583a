#include "base/ansi_path.h"

#include <windows.h>

#include <cwchar>

#include "base/paths.h"
#include "base/wide_text.h"

namespace {

std::wstring withBackslash(std::wstring folder) {
    if (!folder.empty() && folder.back() != L'\\') folder.push_back(L'\\');
    return folder;
}

std::wstring shortPathOf(const std::wstring& path) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetShortPathNameW(path.c_str(), &buffer[0], static_cast<DWORD>(buffer.size()));
        if (length == 0) return std::wstring();
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.assign(length, L'\0');
    }
}

// The extension a stand-in keeps so that a DLL that goes by it still sees
// it: everything after the first dot of the name from which on there are
// only ASCII letters, digits, dots, '-' and '_' (".tar.gz" of "café.tar.gz").
std::wstring asciiSuffix(const std::wstring& path) {
    size_t start = path.find_last_of(L'\\');
    start = start == std::wstring::npos ? 0 : start + 1;
    size_t suffix = std::wstring::npos;
    for (size_t i = path.size(); i-- > start;) {
        wchar_t c = path[i];
        bool plain = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
                     c == L'.' || c == L'-' || c == L'_';
        if (!plain) break;
        if (c == L'.') suffix = i;
    }
    return suffix == std::wstring::npos ? std::wstring() : path.substr(suffix);
}

// A name in `folder` that nothing has: "~vlt<process>_<count><suffix>".
std::wstring freeAsciiName(const std::wstring& folder, const std::wstring& suffix) {
    static volatile LONG counter = 0;
    for (int attempt = 0; attempt < 10000; ++attempt) {
        wchar_t name[48];
        swprintf(name, sizeof name / sizeof name[0], L"~vlt%lx_%lx", static_cast<unsigned long>(GetCurrentProcessId()),
                 static_cast<unsigned long>(InterlockedIncrement(&counter)));
        std::wstring candidate = name + suffix;
        if (GetFileAttributesW((folder + candidate).c_str()) == INVALID_FILE_ATTRIBUTES &&
            GetLastError() == ERROR_FILE_NOT_FOUND)
            return candidate;
    }
    return std::wstring();
}

// A free ASCII name in `folder` for a stand-in of `path` (keeping its ASCII
// suffix): its full UTF-16 path and the ANSI path a DLL is handed. False
// when the folder has no ANSI form or no name is free.
bool standInName(const std::wstring& folder, const std::wstring& path, std::wstring& wide, std::string& ansi) {
    if (!ansiPathOf(folder, ansi)) return false;
    addTrailingBackslash(ansi);
    std::wstring name = freeAsciiName(folder, asciiSuffix(path));
    std::string nameAnsi;
    if (name.empty() || !exactAnsiForm(name, nameAnsi)) return false;
    wide = folder + name;
    ansi += nameAnsi;
    return true;
}

}  // namespace

bool ansiPathOf(const std::wstring& path, std::string& ansi) {
    if (exactAnsiForm(path, ansi)) return true;
    std::wstring shortPath = shortPathOf(path);
    return !shortPath.empty() && exactAnsiForm(shortPath, ansi);
}

AnsiSource::~AnsiSource() {
    if (!standIn.empty()) DeleteFileW(standIn.c_str());
}

bool makeAnsiStandIn(const std::wstring& path, const std::wstring& tempFolder, AnsiSource& source) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    std::wstring standIn;
    std::string ansi;
    if (!standInName(withBackslash(tempFolder), path, standIn, ansi)) return false;
    // A read-only source is copied: a link shares the attribute, and clearing
    // it to delete the link would clear it on the user's file.
    bool made = !(attributes & FILE_ATTRIBUTE_READONLY) && CreateHardLinkW(standIn.c_str(), path.c_str(), nullptr);
    if (!made) {
        made = CopyFileW(path.c_str(), standIn.c_str(), TRUE) != FALSE;
        if (made) SetFileAttributesW(standIn.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    if (!made) return false;
    source.standIn = standIn;
    source.ansi = ansi;
    return true;
}

bool prepareAnsiSource(const std::wstring& path, const std::wstring& tempFolder, AnsiSource& source) {
    if (ansiPathOf(path, source.ansi)) return true;
    return makeAnsiStandIn(path, tempFolder, source);
}

AnsiTarget::~AnsiTarget() {
    if (!standIn.empty()) DeleteFileW(standIn.c_str());
}

bool prepareAnsiTarget(const std::wstring& path, const std::wstring& tempFolder, AnsiTarget& target) {
    target.path = path;
    if (exactAnsiForm(path, target.ansi)) return true;
    // In the new file's own folder the move is a rename on one volume.
    size_t slash = path.find_last_of(L'\\');
    std::wstring folder = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
    return (!folder.empty() && standInName(folder, path, target.standIn, target.ansi)) ||
           standInName(withBackslash(tempFolder), path, target.standIn, target.ansi);
}

bool commitAnsiTarget(AnsiTarget& target) {
    if (target.standIn.empty()) return true;
    if (GetFileAttributesW(target.standIn.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    if (!MoveFileExW(target.standIn.c_str(), target.path.c_str(), MOVEFILE_COPY_ALLOWED)) return false;
    target.standIn.clear();
    return true;
}
