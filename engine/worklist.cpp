#include "engine/worklist.h"

#include "archivers/compress.h"

#include "base/handles.h"
#include "base/paths.h"
#include "base/wide_text.h"
#include "engine/worktree.h"

#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <numeric>

namespace {

// Numbering of response file names; continues across calls for the life of
// the process.
unsigned int listFileCounter = 0;
const unsigned int MAX_NAME_TRIES = 32767;

bool isFolder(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Folders tried for the response file, in order: %TMP% when it names an
// existing folder, the root of the current drive, the current folder.
std::vector<std::string> listFileFolders() {
    std::vector<std::string> folders;
    DWORD needed = GetEnvironmentVariableA("TMP", nullptr, 0);
    if (needed > 0) {
        std::string tmp(needed, '\0');
        DWORD got = GetEnvironmentVariableA("TMP", &tmp[0], needed);
        tmp.resize(got < needed ? got : 0);
        if (!tmp.empty() && isFolder(tmp)) folders.push_back(tmp);
    }
    DWORD currentSize = GetCurrentDirectoryA(0, nullptr);
    if (currentSize > 0) {
        std::string current(currentSize, '\0');
        DWORD got = GetCurrentDirectoryA(currentSize, &current[0]);
        current.resize(got < currentSize ? got : 0);
        if (current.size() >= 2 && current[1] == ':') folders.push_back(current.substr(0, 2) + "\\");
        if (!current.empty()) folders.push_back(current);
    }
    return folders;
}

// Creates a new, empty response file "~veltrx<n>" in the first usable folder.
// CREATE_NEW claims the name atomically, so a file that appears between the
// existence check and the creation is never overwritten.
bool createListFile(std::string& path, FileHandle& file) {
    for (std::string folder : listFileFolders()) {
        addTrailingBackslash(folder);
        for (unsigned int tries = 0; tries < MAX_NAME_TRIES; ++tries) {
            ++listFileCounter;
            char number[16];
            snprintf(number, sizeof number, "%u", listFileCounter);
            std::string candidate = folder + "~veltrx" + number;
            if (candidate.size() >= MAX_PATH) break;
            HANDLE h = CreateFileA(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h != INVALID_HANDLE_VALUE) {
                file.reset(h);
                path = candidate;
                return true;
            }
            DWORD error = GetLastError();
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;  // folder unusable
        }
    }
    return false;
}

// Sort order of the names: the comparison lstrcmpiA makes, done on UTF-16
// forms converted once per name instead of once per comparison.
// lstrcmpiA is CompareStringA(thread locale, NORM_IGNORECASE) on the text
// converted with that locale's ANSI code page, so the result is the same.
// `wide` holds the UTF-16 forms when the caller has them (else it is filled);
// both tables come back in the sorted order.
void sortNames(std::vector<std::string>& names, std::vector<std::wstring>& wide) {
    LCID locale = GetThreadLocale();
    UINT codePage = CP_ACP;
    DWORD localeCodePage = 0;
    if (GetLocaleInfoA(locale, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                       reinterpret_cast<LPSTR>(&localeCodePage), sizeof localeCodePage / sizeof(char)) &&
        localeCodePage != 0) {
        codePage = localeCodePage;
    }
    bool given = wide.size() == names.size();
    wide.resize(names.size());
    for (size_t i = 0; i < names.size() && !given; ++i) {
        const std::string& name = names[i];
        int length = MultiByteToWideChar(codePage, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
        wide[i].resize(length > 0 ? length : 0);
        if (length > 0)
            MultiByteToWideChar(codePage, 0, name.data(), static_cast<int>(name.size()), &wide[i][0], length);
    }
    std::vector<size_t> order(names.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return CompareStringW(locale, NORM_IGNORECASE, wide[a].c_str(), static_cast<int>(wide[a].size()),
                              wide[b].c_str(), static_cast<int>(wide[b].size())) == CSTR_LESS_THAN;
    });
    std::vector<std::string> sorted;
    std::vector<std::wstring> sortedWide;
    sorted.reserve(names.size());
    sortedWide.reserve(names.size());
    for (size_t index : order) {
        sorted.push_back(std::move(names[index]));
        sortedWide.push_back(std::move(wide[index]));
    }
    names.swap(sorted);
    wide.swap(sortedWide);
}

// Files of a scan (links and folders left out), relative to the first
// baseLength bytes of `folder`; their UTF-16 forms into `wide` when given.
void appendFileNames(const WorkScan& scan, const std::string& folder, size_t baseLength,
                     std::vector<std::string>& table, std::vector<std::wstring>* wide = nullptr) {
    std::string base = folder;
    addTrailingBackslash(base);
    std::string prefix = base.size() > baseLength ? base.substr(baseLength) : std::string();
    for (const WorkEntry& entry : scan.entries) {
        if (entry.folder) continue;
        table.push_back(prefix + entry.ansiName);
        if (wide) wide->push_back(wideFromAnsi(prefix) + entry.name);
    }
}

}  // namespace

int compareNames(const char* a, const char* b) { return lstrcmpiA(a, b); }

size_t collectFiles(ConverterContext&, const std::string& folder, size_t baseLength,
                    std::vector<std::string>& table) {
    WorkScan scan;
    scanWorkFolder(folder.c_str(), scan);
    appendFileNames(scan, folder, baseLength, table);
    return table.size();
}

bool writeListFile(ConverterContext&, const char* workFolder, char* listPath, const WorkScan* givenScan,
                   ListText textForm) {
    listPath[0] = '\0';
    std::string folder = workFolder;
    addTrailingBackslash(folder);
    // The table grows as needed: a work folder may hold any number of files.
    std::vector<std::string> names;
    WorkScan ownScan;
    if (!givenScan) scanWorkFolder(folder.c_str(), ownScan);
    const WorkScan& scan = givenScan ? *givenScan : ownScan;
    // A name the list cannot carry would silently leave a file out; without
    // a list the archiver takes the whole folder instead. UTF-8 carries every
    // name.
    bool utf8 = textForm == ListText::utf8;
    if ((scan.unconvertibleName && !utf8) || scan.tooLong || scan.unlistable) return false;
    std::vector<std::wstring> wide;
    appendFileNames(scan, folder, folder.size(), names, utf8 ? &wide : nullptr);
    sortNames(names, wide);

    std::string path;
    FileHandle file;
    if (!createListFile(path, file)) return false;
    if (!copyBounded(listPath, MAX_PATH, path.c_str())) {
        file.reset();
        DeleteFileA(path.c_str());
        return false;
    }

    // One line "name" CR LF per file, written in blocks.
    const size_t BLOCK = 64 * 1024;
    std::string text;
    text.reserve(BLOCK + MAX_PATH + 4);
    bool written = true;
    for (size_t i = 0; i <= names.size() && written; ++i) {
        if (i < names.size()) {
            text += '"';
            text += utf8 ? utf8FromWide(wide[i]) : names[i];
            text += "\"\r\n";
        }
        if ((text.size() >= BLOCK || i == names.size()) && !text.empty()) {
            DWORD done = 0;
            written = WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &done, nullptr) &&
                      done == text.size();
            text.clear();
        }
    }
    written = CloseHandle(file.release()) && written;
    if (!written) {
        // An incomplete list would silently leave files out of the archive;
        // without a list the archiver takes the whole folder instead.
        DeleteFileA(path.c_str());
        listPath[0] = '\0';
        return false;
    }
    return true;
}

bool packFolder(ConverterContext& ctx, char* archivePath, size_t archivePathSize, const char* workFolder,
                ArchiveFormat format, bool listRequired, bool* listRefused, const WorkScan* scan) {
    char listPath[MAX_PATH] = "";
    bool listWritten = (ctx.sort || listRequired) &&
                       writeListFile(ctx, workFolder, listPath, scan, ctx.unicodeNames ? ListText::utf8 : ListText::ansi);
    bool packed = compressFolder(ctx, archivePath, archivePathSize, workFolder, format,
                                 listWritten ? listPath : nullptr, listRequired, listRefused);
    if (listWritten) DeleteFileA(listPath);
    return packed;
}
