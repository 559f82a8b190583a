// Times writeListFile (listing, sorting, writing the response file) on work
// folders of growing size and compares it with a bare recursive
// FindFirstFile walk of the same tree, and with writing the list from a
// scan already made (as the driver does, having scanned the folder itself).
#include <windows.h>
#include "bench/clock.h"
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <string>
#include <vector>
#include "base/converter_context.h"
#include "engine/driver.h"
#include "engine/worklist.h"
#include "engine/worktree.h"
#include "support/scratch_folder.h"

namespace {

size_t walk(const std::string& folder) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return 0;
    size_t count = 0;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (strcmp(entry.cFileName, ".") && strcmp(entry.cFileName, ".."))
                count += walk(folder + entry.cFileName + "\\");
        } else {
            ++count;
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return count;
}

// Tree of `files` files: 100 files per folder, folders nested three deep,
// names in mixed case, every fourth with double-byte characters (表 ends in
// the byte 0x5C in code page 932).
void makeTree(const std::string& root, size_t files) {
    const char* kanji[] = {"\x95\x5c", "\x83\x5c\x83\x74\x83\x67", "\x8e\x9a"};   // 表, ソフト, 字
    CreateDirectoryA(root.c_str(), nullptr);
    const size_t PER_FOLDER = 100;
    for (size_t folder = 0; folder * PER_FOLDER < files; ++folder) {
        char path[MAX_PATH];
        snprintf(path, sizeof path, "%s%s%02zu\\", root.c_str(), folder % 2 ? "Top" : "top", folder / 100);
        CreateDirectoryA(path, nullptr);
        snprintf(path + strlen(path), sizeof path - strlen(path), "%s%zu\\", folder % 3 ? "mid" : "MID",
                 folder % 10);
        CreateDirectoryA(path, nullptr);
        snprintf(path + strlen(path), sizeof path - strlen(path), "leaf%s%zu\\", kanji[folder % 3], folder);
        CreateDirectoryA(path, nullptr);
        for (size_t i = 0; i < PER_FOLDER && folder * PER_FOLDER + i < files; ++i) {
            char name[MAX_PATH];
            size_t n = (i * 37) % PER_FOLDER;
            if (n % 4 == 0) snprintf(name, sizeof name, "%s%s%03zu.txt", path, kanji[n % 3], n);
            else snprintf(name, sizeof name, n % 2 ? "%sFile%03zu.TXT" : "%sfile%03zu.txt", path, n);
            HANDLE h = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<size_t> counts;
    for (int i = 1; i < argc; ++i) counts.push_back(strtoul(argv[i], nullptr, 10));
    if (counts.empty()) counts = {10000, 100000};
    char temp[MAX_PATH + 1];
    GetTempPathA(sizeof temp, temp);
    ConverterContext ctx;
    printf("%10s %10s %10s %12s %12s %12s %8s %14s %12s\n", "files", "create s", "walk s", "list s", "walk us/f",
           "list us/f", "ratio", "lstrcmpi sort s", "scanned s");
    for (size_t files : counts) {
        char root[MAX_PATH];
        snprintf(root, sizeof root, "%sworklist_bench_%zu\\", temp, files);
        removeTree(root);
        double t0 = seconds();
        makeTree(root, files);
        double t1 = seconds();
        // Best of three runs each, alternating, so that neither side profits
        // from a cache the other one warmed.
        double walkTime = 1e30, listTime = 1e30, scannedTime = 1e30;
        size_t walked = 0;
        bool ok = true;
        for (int run = 0; run < 3 && ok; ++run) {
            double w0 = seconds();
            walked = walk(root);
            double w1 = seconds();
            char listPath[MAX_PATH] = "";
            ok = writeListFile(ctx, root, listPath);
            double w2 = seconds();
            if (ok) DeleteFileA(listPath);
            WorkScan scan;
            scanWorkFolder(root, scan);
            double w3 = seconds();
            ok = ok && writeListFile(ctx, root, listPath, &scan);
            double w4 = seconds();
            if (ok) DeleteFileA(listPath);
            walkTime = std::min(walkTime, w1 - w0);
            listTime = std::min(listTime, w2 - w1);
            scannedTime = std::min(scannedTime, w4 - w3);
        }
        if (!ok || walked != files) {
            fprintf(stderr, "failed: walked %zu of %zu files, list %s\n", walked, files, ok ? "written" : "not written");
            return 1;
        }
        // For comparison: the same names sorted by calling lstrcmpiA in every
        // comparison (what writeListFile avoids by converting each name once).
        std::vector<std::string> names;
        collectFiles(ctx, root, strlen(root), names);
        double s0 = seconds();
        std::sort(names.begin(), names.end(),
                  [](const std::string& a, const std::string& b) { return compareNames(a.c_str(), b.c_str()) < 0; });
        double plainSort = seconds() - s0;
        printf("%10zu %10.2f %10.3f %12.3f %12.2f %12.2f %8.2f %14.3f %12.3f\n", files, t1 - t0, walkTime, listTime,
               walkTime * 1e6 / files, listTime * 1e6 / files, listTime / walkTime, plainSort, scannedTime);
        fflush(stdout);
        removeTree(root);
    }
    return 0;
}
