// Times the removal of work folders of growing size, per file, beside a bare
// FindFirstFileW walk of the same tree (all in one run, so only the ratios
// mean anything on a loaded machine):
//   walk     FindFirstFileW/FindNextFileW over the tree, nothing deleted
//   remove   removeWorkTree, as the driver removes a work folder
//   lean     FindFirstFileExW (basic information, large fetch), attributes
//            cleared only on read-only entries
//   serial   making the next tree, then removing this one
//   overlap  the same two on two threads at once
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include "engine/handles.h"
#include "engine/worktree.h"

namespace {

double seconds() {
    static LARGE_INTEGER frequency = [] { LARGE_INTEGER f; QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool isDots(const wchar_t* name) { return !wcscmp(name, L".") || !wcscmp(name, L".."); }

size_t walk(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    FindHandle find(FindFirstFileW((folder + L"*").c_str(), &entry));
    if (!find) return 0;
    size_t count = 0;
    do {
        if (isDots(entry.cFileName)) continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) count += walk(folder + entry.cFileName + L"\\");
        else ++count;
    } while (FindNextFileW(find.get(), &entry));
    return count;
}

void leanRemove(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    FindHandle find(FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH));
    if (!find) return;
    do {
        if (isDots(entry.cFileName)) continue;
        std::wstring path = folder + entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            leanRemove(path + L"\\");
            RemoveDirectoryW(path.c_str());
        } else {
            DeleteFileW(path.c_str());
        }
    } while (FindNextFileW(find.get(), &entry));
}

// `files` empty files, 100 per folder, two levels of folders.
void makeTree(const std::string& root, size_t files) {
    CreateDirectoryA(root.c_str(), nullptr);
    for (size_t folder = 0; folder * 100 < files; ++folder) {
        char path[MAX_PATH];
        snprintf(path, sizeof path, "%ssub%02zu\\", root.c_str(), folder / 50);
        CreateDirectoryA(path, nullptr);
        snprintf(path + strlen(path), sizeof path - strlen(path), "leaf%zu\\", folder);
        CreateDirectoryA(path, nullptr);
        for (size_t i = 0; i < 100 && folder * 100 + i < files; ++i) {
            char name[MAX_PATH];
            snprintf(name, sizeof name, "%sfile%03zu.txt", path, i);
            HANDLE h = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        }
    }
}

struct MakeJob {
    std::string root;
    size_t files;
};

DWORD WINAPI makeThread(LPVOID parameter) {
    MakeJob* job = static_cast<MakeJob*>(parameter);
    makeTree(job->root, job->files);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<size_t> counts;
    for (int i = 1; i < argc; ++i) counts.push_back(strtoul(argv[i], nullptr, 10));
    if (counts.empty()) counts = {1000, 10000, 100000};
    char temp[MAX_PATH + 1];
    GetTempPathA(sizeof temp, temp);
    printf("%8s %9s %9s %9s %9s %9s | %8s %8s %8s | %8s\n", "files", "walk us/f", "remove", "lean", "serial",
           "overlap", "rm/walk", "lean/rm", "ovl/ser", "make us/f");
    for (size_t files : counts) {
        std::string a = std::string(temp) + "removal_bench_a\\", b = std::string(temp) + "removal_bench_b\\";
        removeWorkTree(a.c_str());
        removeWorkTree(b.c_str());
        double t0 = seconds();
        makeTree(a, files);
        double make = seconds() - t0;
        std::wstring wideA = longPathOf(a.c_str());
        t0 = seconds();
        size_t walked = walk(wideA);
        double walkTime = seconds() - t0;
        t0 = seconds();
        bool removed = removeWorkTree(a.c_str());
        double removeTime = seconds() - t0;
        makeTree(a, files);
        t0 = seconds();
        leanRemove(wideA);
        RemoveDirectoryW(wideA.substr(0, wideA.size() - 1).c_str());
        double leanTime = seconds() - t0;
        bool leanGone = GetFileAttributesA(a.c_str()) == INVALID_FILE_ATTRIBUTES;
        // Removing tree a while tree b is made, one after the other and at once.
        makeTree(a, files);
        t0 = seconds();
        makeTree(b, files);
        removeWorkTree(a.c_str());
        double serial = seconds() - t0;
        removeWorkTree(b.c_str());
        makeTree(a, files);
        MakeJob job{b, files};
        t0 = seconds();
        HANDLE thread = CreateThread(nullptr, 0, makeThread, &job, 0, nullptr);
        removeWorkTree(a.c_str());
        WaitForSingleObject(thread, INFINITE);
        double overlap = seconds() - t0;
        CloseHandle(thread);
        removeWorkTree(b.c_str());
        if (walked != files || !removed || !leanGone) {
            fprintf(stderr, "failed: walked %zu of %zu, removed %d, lean %d\n", walked, files, removed, leanGone);
            return 1;
        }
        double f = static_cast<double>(files) / 1e6;
        printf("%8zu %9.1f %9.1f %9.1f %9.1f %9.1f | %8.2f %8.2f %8.2f | %8.1f\n", files, walkTime / f,
               removeTime / f, leanTime / f, serial / f, overlap / f, removeTime / walkTime, leanTime / removeTime,
               overlap / serial, make / f);
        fflush(stdout);
    }
    return 0;
}
