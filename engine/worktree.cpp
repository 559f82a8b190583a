#include "engine/worktree.h"

#include "base/handles.h"
#include "base/wide_text.h"

#include <windows.h>
#include <algorithm>
#include <cstring>

namespace {

bool isDots(const wchar_t* name) { return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0; }

void withBackslash(std::wstring& path) {
    if (!path.empty() && path.back() != L'\\') path += L'\\';
}

// Lists a tree depth first, a folder's entry before its content, with an
// explicit stack of open listings: a tree thousands of levels deep must not
// exhaust the stack of the thread walking it.
void scanTree(const std::wstring& base, size_t ansiBaseLength, WorkScan& scan) {
    struct Level {
        FindHandle find;
        std::wstring relative;
        std::string ansiRelative;
        bool empty = true;
    };
    std::vector<Level> levels;
    auto open = [&](const std::wstring& relative, const std::string& ansiRelative, WIN32_FIND_DATAW& found) {
        FindHandle find(FindFirstFileW((base + relative + L"*").c_str(), &found));
        if (!find) {
            scan.unlistable = true;
            return false;
        }
        levels.push_back(Level{std::move(find), relative, ansiRelative, true});
        return true;
    };
    WIN32_FIND_DATAW found;
    bool haveEntry = open(std::wstring(), std::string(), found);
    while (!levels.empty()) {
        if (!haveEntry) {
            if (levels.back().empty && !levels.back().relative.empty()) scan.hasEmptyFolder = true;
            levels.pop_back();
            haveEntry = !levels.empty() && FindNextFileW(levels.back().find.get(), &found);
            continue;
        }
        Level& level = levels.back();
        if (isDots(found.cFileName)) {
            haveEntry = FindNextFileW(level.find.get(), &found) != FALSE;
            continue;
        }
        level.empty = false;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            scan.hasLinks = true;
            haveEntry = FindNextFileW(level.find.get(), &found) != FALSE;
            continue;
        }
        WorkEntry entry;
        entry.name = level.relative + found.cFileName;
        if (!exactAnsiForm(found.cFileName, entry.ansiName)) {
            // Such a name reaches the DLLs only in their Unicode mode; the
            // path limit still counts it, a byte per character without an
            // ANSI form ("?" can name no file).
            scan.unconvertibleName = true;
            entry.ansiName.assign(ansiByteLength(found.cFileName), '?');
        }
        entry.ansiName = level.ansiRelative + entry.ansiName;
        if (ansiBaseLength + entry.ansiName.size() >= MAX_PATH) scan.tooLong = true;
        entry.folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.size = entry.folder ? 0 : (uint64_t(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        scan.entries.push_back(entry);
        if (entry.folder) {
            // On failure the folder's listing is marked unlistable and the
            // walk goes on with its siblings.
            if (open(entry.name + L"\\", entry.ansiName + "\\", found)) continue;
        }
        haveEntry = FindNextFileW(levels.back().find.get(), &found) != FALSE;
    }
}

// Removes a junction or symbolic link itself. RemoveDirectory does that on
// Windows; where it cannot (Wine with a Unix symbolic link to a folder), the
// link is opened as a reparse point and deleted when its handle closes.
void removeLink(const std::wstring& path) {
    if (RemoveDirectoryW(path.c_str()) || DeleteFileW(path.c_str())) return;
    FileHandle link(CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_DELETE_ON_CLOSE,
                                nullptr));
}

// Lists a folder with the basic information only, fetched in large blocks
// (no short names to look up); where the system does not offer that (before
// Windows 7), with the plain call.
HANDLE findFirstLean(const std::wstring& pattern, WIN32_FIND_DATAW& found) {
    HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER)
        find = FindFirstFileW(pattern.c_str(), &found);
    return find;
}

// Only a read-only entry refuses deletion; every other attribute is left
// alone (each change is one more round trip per file).
void clearReadOnly(const std::wstring& path, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Empties a folder (path with trailing backslash) without entering links,
// depth first with an explicit stack of open listings (no recursion: a tree
// may be thousands of levels deep). Each folder is removed once its content
// is gone.
void removeContent(const std::wstring& base) {
    struct Level {
        FindHandle find;
        std::wstring folder;       // with trailing backslash
        DWORD attributes;          // of the folder itself, for its removal
    };
    std::vector<Level> levels;
    WIN32_FIND_DATAW found;
    FindHandle first(findFirstLean(base + L"*", found));
    if (!first) return;
    levels.push_back(Level{std::move(first), base, 0});
    bool haveEntry = true;
    while (!levels.empty()) {
        if (!haveEntry) {
            Level done = std::move(levels.back());
            levels.pop_back();
            done.find.reset();
            if (!levels.empty()) {
                std::wstring folder = done.folder.substr(0, done.folder.size() - 1);
                clearReadOnly(folder, done.attributes);
                RemoveDirectoryW(folder.c_str());
                haveEntry = FindNextFileW(levels.back().find.get(), &found) != FALSE;
            }
            continue;
        }
        Level& level = levels.back();
        if (!isDots(found.cFileName)) {
            std::wstring path = level.folder + found.cFileName;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                // Never what a link points to: an archive may carry a link to
                // the user's own folders.
                removeLink(path);
            } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DWORD attributes = found.dwFileAttributes;
                FindHandle inner(findFirstLean(path + L"\\*", found));
                if (inner) {
                    levels.push_back(Level{std::move(inner), path + L"\\", attributes});
                    continue;
                }
                clearReadOnly(path, attributes);
                RemoveDirectoryW(path.c_str());
            } else {
                clearReadOnly(path, found.dwFileAttributes);
                DeleteFileW(path.c_str());
            }
        }
        haveEntry = FindNextFileW(levels.back().find.get(), &found) != FALSE;
    }
}

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The path without its trailing backslash (attributes and removal of the
// folder itself, not of its content).
std::wstring folderItself(std::wstring path) {
    while (path.size() > 7 && path.back() == L'\\') path.pop_back();
    return path;
}

std::wstring folded(const std::wstring& name) {
    std::wstring upper = name;
    if (!upper.empty()) CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    return upper;
}

bool sameBytes(const std::wstring& a, const std::wstring& b) {
    FileHandle fa(CreateFileW(a.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    FileHandle fb(CreateFileW(b.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!fa || !fb) return false;
    const DWORD BLOCK = 64 * 1024;
    std::vector<char> bufferA(BLOCK), bufferB(BLOCK);
    for (;;) {
        DWORD readA = 0, readB = 0;
        if (!ReadFile(fa.get(), bufferA.data(), BLOCK, &readA, nullptr) ||
            !ReadFile(fb.get(), bufferB.data(), BLOCK, &readB, nullptr) || readA != readB)
            return false;
        if (readA == 0) return true;
        if (memcmp(bufferA.data(), bufferB.data(), readA) != 0) return false;
    }
}

}  // namespace

std::wstring longPathOf(const char* path) {
    std::wstring wide = wideFromAnsi(path);
    if (wide.compare(0, 4, L"\\\\?\\") == 0) return wide;
    // The "\\?\" form takes the path as it is: make it full first.
    DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed > 0) {
        std::wstring full(needed, L'\0');
        DWORD got = GetFullPathNameW(wide.c_str(), needed, &full[0], nullptr);
        if (got > 0 && got < needed) {
            full.resize(got);
            wide = full;
        }
    }
    if (wide.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + wide.substr(2);
    return L"\\\\?\\" + wide;
}

bool scanWorkFolder(const char* folder, WorkScan& scan) {
    std::wstring base = longPathOf(folder);
    withBackslash(base);
    DWORD attributes = GetFileAttributesW(folderItself(base).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        scan.hasLinks = true;
        return false;
    }
    size_t ansiBaseLength = strlen(folder);
    if (ansiBaseLength && folder[ansiBaseLength - 1] != '\\') ++ansiBaseLength;
    scanTree(base, ansiBaseLength, scan);
    return !scan.unlistable;
}

bool prepareWorkFolder(const char* folder) {
    std::wstring path = folderItself(longPathOf(folder));
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        removeLink(path);
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        return removeWorkTree(folder);
    } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_ARCHIVE);
        DeleteFileW(path.c_str());
    }
    return !exists(path);
}

bool removeWorkTree(const char* folder) {
    std::wstring path = folderItself(longPathOf(folder));
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        removeLink(path);
        return !exists(path);
    }
    removeContent(path + L"\\");
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_ARCHIVE);
    return RemoveDirectoryW(path.c_str()) != FALSE;
}

bool sameWorkTrees(const char* expected, const char* actual) {
    WorkScan a, b;
    if (!scanWorkFolder(expected, a) || !scanWorkFolder(actual, b)) return false;
    if (a.hasLinks || b.hasLinks || a.entries.size() != b.entries.size()) return false;
    typedef std::pair<std::wstring, const WorkEntry*> Keyed;
    auto keyed = [](const WorkScan& scan) {
        std::vector<Keyed> keys;
        keys.reserve(scan.entries.size());
        for (const WorkEntry& e : scan.entries) keys.push_back(Keyed(folded(e.name), &e));
        std::sort(keys.begin(), keys.end(), [](const Keyed& x, const Keyed& y) { return x.first < y.first; });
        return keys;
    };
    std::vector<Keyed> keysA = keyed(a), keysB = keyed(b);
    for (size_t i = 0; i < keysA.size(); ++i) {
        const WorkEntry& x = *keysA[i].second;
        const WorkEntry& y = *keysB[i].second;
        if (keysA[i].first != keysB[i].first || x.folder != y.folder || x.size != y.size) return false;
    }
    std::wstring baseA = longPathOf(expected), baseB = longPathOf(actual);
    withBackslash(baseA);
    withBackslash(baseB);
    for (size_t i = 0; i < keysA.size(); ++i) {
        const WorkEntry& x = *keysA[i].second;
        if (!x.folder && !sameBytes(baseA + x.name, baseB + keysB[i].second->name)) return false;
    }
    return true;
}
