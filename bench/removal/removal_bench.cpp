// Times the removal of work folders of growing size, per file, beside a bare
// FindFirstFileW walk of the same tree (all in one run, so only the ratios
// mean anything on a loaded machine):
//   walk     FindFirstFileW/FindNextFileW over the tree, nothing deleted
//   remove   removeWorkTree, as the driver removes a work folder
//            (FindFirstFileExW with basic information and large fetch,
//            attributes cleared only on read-only entries)
//   plain    FindFirstFileW with the attributes of every entry cleared
//            before it is deleted (the removal before that change)
//   serial   making the next tree, then removing this one
//   overlap  the same two on two threads at once
//   host     as serial and overlap, with the next tree extracted by tar on
//            the host (as the host-backed archiver DLLs do)
#include <windows.h>
#include "bench/clock.h"
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include "base/handles.h"
#include "engine/worktree.h"
#include "support/host.h"

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
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

void plainRemove(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    FindHandle find(FindFirstFileW((folder + L"*").c_str(), &entry));
    if (!find) return;
    do {
        if (isDots(entry.cFileName)) continue;
        std::wstring path = folder + entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            plainRemove(path + L"\\");
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_ARCHIVE);
            RemoveDirectoryW(path.c_str());
        } else {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_ARCHIVE);
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

DWORD WINAPI removeThread(LPVOID parameter) {
    removeWorkTree(static_cast<const std::string*>(parameter)->c_str());
    return 0;
}

// Seconds for: tar on the host extracting `archive` into `into` while (or
// before) tree `old` is removed here.
double hostExtractAndRemove(const std::string& archive, const std::string& into, std::string old, bool overlap) {
    std::string command = "mkdir -p " + shellQuote(unixPath(into)) + " && tar -xf " + shellQuote(archive) + " -C " +
                          shellQuote(unixPath(into));
    double t0 = seconds();
    HANDLE thread = overlap ? CreateThread(nullptr, 0, removeThread, &old, 0, nullptr) : nullptr;
    runHostShell(command, 600000);
    if (thread) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    } else {
        removeWorkTree(old.c_str());
    }
    return seconds() - t0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<size_t> counts;
    for (int i = 1; i < argc; ++i) counts.push_back(strtoul(argv[i], nullptr, 10));
    if (counts.empty()) counts = {1000, 10000, 100000};
    char temp[MAX_PATH + 1];
    GetTempPathA(sizeof temp, temp);
    printf("%8s %9s %9s %9s %9s %9s %9s %9s | %8s %8s %8s %8s\n", "files", "walk us/f", "remove", "plain", "serial",
           "overlap", "h-serial", "h-overlap", "rm/walk", "rm/plain", "ovl/ser", "h-o/h-s");
    for (size_t files : counts) {
        std::string a = std::string(temp) + "removal_bench_a\\", b = std::string(temp) + "removal_bench_b\\";
        removeWorkTree(a.c_str());
        removeWorkTree(b.c_str());
        makeTree(a, files);
        std::wstring wideA = longPathOf(a.c_str());
        // Median of three alternating runs each (one at 100,000 files).
        std::vector<double> walks, removes, plains;
        size_t walked = 0;
        bool removed = true, plainGone = true;
        for (int run = 0; run < (files >= 100000 ? 1 : 3); ++run) {
            if (run) makeTree(a, files);
            double t0 = seconds();
            walked = walk(wideA);
            walks.push_back(seconds() - t0);
            t0 = seconds();
            removed = removeWorkTree(a.c_str()) && removed;
            removes.push_back(seconds() - t0);
            makeTree(a, files);
            t0 = seconds();
            plainRemove(wideA);
            RemoveDirectoryW(wideA.substr(0, wideA.size() - 1).c_str());
            plains.push_back(seconds() - t0);
            plainGone = GetFileAttributesA(a.c_str()) == INVALID_FILE_ATTRIBUTES && plainGone;
        }
        double walkTime = median(walks), removeTime = median(removes), plainTime = median(plains);
        double t0;
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
        // The same with the next tree extracted by tar on the host.
        makeTree(a, files);
        std::string archive = unixPath(std::string(temp)) + "/removal_bench.tar";
        runHostShell("tar -cf " + shellQuote(archive) + " -C " + shellQuote(unixPath(a)) + " .", 600000);
        double hostSerial = hostExtractAndRemove(archive, b, a, false);
        std::swap(a, b);
        double hostOverlap = hostExtractAndRemove(archive, b, a, true);
        removeWorkTree(b.c_str());
        runHostShell("rm -f " + shellQuote(archive));
        if (walked != files || !removed || !plainGone) {
            fprintf(stderr, "failed: walked %zu of %zu, removed %d, plain %d\n", walked, files, removed, plainGone);
            return 1;
        }
        double f = static_cast<double>(files) / 1e6;
        printf("%8zu %9.1f %9.1f %9.1f %9.1f %9.1f %9.1f %9.1f | %8.2f %8.2f %8.2f %8.2f\n", files, walkTime / f,
               removeTime / f, plainTime / f, serial / f, overlap / f, hostSerial / f, hostOverlap / f,
               removeTime / walkTime, removeTime / plainTime, overlap / serial, hostOverlap / hostSerial);
        fflush(stdout);
    }
    return 0;
}
