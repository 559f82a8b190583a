#include "support/scratch_folder.h"

#include "base/paths.h"
#include "base/wide_text.h"

#include <windows.h>
#include <cstdio>

namespace {
unsigned scratchCounter = 0;
}

ScratchFolder::ScratchFolder(const std::string& tag) {
    char temp[MAX_PATH + 1];
    DWORD length = GetTempPathA(sizeof temp, temp);
    std::string base(temp, length);
    for (;;) {
        char name[64];
        snprintf(name, sizeof name, "vx%s%lu_%u\\", tag.c_str(), GetCurrentProcessId(), ++scratchCounter);
        path_ = base + name;
        if (CreateDirectoryA(path_.c_str(), nullptr)) break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
}

ScratchFolder::~ScratchFolder() { removeTree(path_); }

namespace {

// Wide, so that names without an ANSI form go too.
void removeTreeW(const std::wstring& folder) {
    std::wstring base = folder;
    if (!base.empty() && base.back() != L'\\') base += L'\\';
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((base + L"*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTreeW(base + name);
            } else {
                SetFileAttributesW((base + name).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW((base + name).c_str());
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(base.c_str());
}

}  // namespace

void removeTree(const std::string& folder) { removeTreeW(wideFromAnsi(folder)); }

std::vector<std::wstring> filesIn(const std::wstring& folder, const std::wstring& pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + pattern).c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return names;
}

void makeTree(const std::string& folder, const std::vector<std::string>& relativeNames) {
    for (const std::string& name : relativeNames) {
        // Create each parent folder; positions are found on whole characters
        // so that a 0x5C trail byte is not taken for a separator.
        for (size_t i = 0; i < name.size(); ++i) {
            if (IsDBCSLeadByte(static_cast<BYTE>(name[i]))) { ++i; continue; }
            if (name[i] == '\\') CreateDirectoryA((folder + name.substr(0, i)).c_str(), nullptr);
        }
        if (!name.empty() && name.back() == '\\' && !isTrailByte(name.c_str(), name.size() - 1)) continue;
        writeBytes(folder + name, name);
    }
}

bool writeBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size();
    CloseHandle(file);
    return ok;
}

std::string readBytes(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "";
    std::string bytes;
    char block[65536];
    DWORD got = 0;
    while (ReadFile(file, block, sizeof block, &got, nullptr) && got > 0) bytes.append(block, got);
    CloseHandle(file);
    return bytes;
}

bool pathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::string> crlfLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back("<no CRLF>" + text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}
