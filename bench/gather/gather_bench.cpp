// Times gatherInputs on a dropped folder tree of N files (one in ten an
// archive by its name, one in twenty a text file, the rest binary files
// without a signature that are scanned to their end) and compares it with a
// bare recursive FindFirstFile walk that opens every file and reads the same
// bytes. Time per file should not grow with N.
#include <windows.h>
#include "bench/clock.h"
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include "base/converter_context.h"
#include "engine/driver.h"
#include "engine/gather.h"

namespace {

const size_t BINARY_SIZE = 4096;   // scanned completely: header plus one short block
const size_t FILES_PER_FOLDER = 100;
const size_t FOLDERS_PER_GROUP = 50;
const size_t SCAN_BYTES = 80 + 3 * 65536;

void writeFile(const std::string& path, const std::string& bytes) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "cannot write %s\n", path.c_str());
        exit(1);
    }
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
}

// root\gNN\dNNN\fNNNNNN.ext: groups of folders of 100 files, so that the
// search recurses two levels.
void makeTree(const std::string& root, size_t count) {
    std::string binary(BINARY_SIZE, '\0');
    for (size_t i = 0; i < BINARY_SIZE; i += 7) binary[i] = static_cast<char>('a' + i % 26);
    const std::string text(600, 't');
    CreateDirectoryA(root.c_str(), nullptr);
    std::string folder;
    for (size_t i = 0; i < count; ++i) {
        if (i % FILES_PER_FOLDER == 0) {
            size_t index = i / FILES_PER_FOLDER;
            char group[32], sub[32];
            snprintf(group, sizeof group, "g%02zu\\", index / FOLDERS_PER_GROUP);
            snprintf(sub, sizeof sub, "d%03zu\\", index % FOLDERS_PER_GROUP);
            CreateDirectoryA((root + group).c_str(), nullptr);
            folder = root + group + sub;
            CreateDirectoryA(folder.c_str(), nullptr);
        }
        char name[32];
        if (i % 10 == 0) {
            snprintf(name, sizeof name, "f%06zu.lzh", i);
            writeFile(folder + name, "");
        } else if (i % 20 == 1) {
            snprintf(name, sizeof name, "f%06zu.txt", i);
            writeFile(folder + name, text);
        } else {
            snprintf(name, sizeof name, "f%06zu.dat", i);
            writeFile(folder + name, binary);
        }
    }
}

// The baseline: every file opened and read as far as identification would.
size_t walkAndRead(const std::string& folder, std::vector<char>& buffer) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return 0;
    size_t count = 0;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (strcmp(entry.cFileName, ".") && strcmp(entry.cFileName, ".."))
                count += walkAndRead(folder + entry.cFileName + "\\", buffer);
            continue;
        }
        ++count;
        HANDLE file = CreateFileA((folder + entry.cFileName).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (file == INVALID_HANDLE_VALUE) continue;
        DWORD got = 0;
        size_t total = 0;
        while (total < SCAN_BYTES && ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) &&
               got > 0)
            total += got;
        CloseHandle(file);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return count;
}

void removeTree(const std::string& folder) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) removeTree(folder + name + "\\");
            else DeleteFileA((folder + name).c_str());
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
}

double timeGather(const std::string& root, size_t& listed) {
    ConverterContext ctx;
    prepareDropContext(ctx);
    ctx.formats = FMT_LZH;      // as if an archiver DLL had been found
    ctx.folderSearch = 2;       // the folder question answered: with subfolders
    std::vector<DroppedItem> items = {makeDroppedItem(std::wstring(root.begin(), root.end() - 1))};
    double start = seconds();
    const wchar_t* list = gatherInputs(ctx, items);
    double elapsed = seconds() - start;
    listed = 0;
    for (const wchar_t* p = list; p && *p; p += wcslen(p) + 1) ++listed;
    return elapsed;
}

}  // namespace

// Arguments: file counts; "--rounds R" (default 3); "--root FOLDER\\" to time a
// tree made beforehand by make_tree.sh (much faster than making it here).
int main(int argc, char** argv) {
    std::vector<size_t> counts;
    int rounds = 3;
    std::string givenRoot;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--rounds" && i + 1 < argc) rounds = atoi(argv[++i]);
        else if (arg == "--root" && i + 1 < argc) givenRoot = argv[++i];
        else counts.push_back(strtoul(argv[i], nullptr, 10));
    }
    if (counts.empty()) counts = {1000, 10000, 100000};
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::vector<char> buffer(65536);
    printf("%8s %8s %10s %10s %12s %12s %6s\n", "files", "listed", "gather s", "walk s", "gather us/f",
           "walk us/f", "ratio");
    for (size_t count : counts) {
        std::string root = givenRoot.empty() ? std::string(temp) + "gather_bench\\" : givenRoot;
        if (givenRoot.empty()) {
            removeTree(root);
            makeTree(root, count);
        }
        // Best of three of each, alternating, so both see a warm cache.
        double gatherBest = 1e30, walkBest = 1e30;
        size_t listed = 0, walked = 0;
        for (int round = 0; round < rounds; ++round) {
            double start = seconds();
            walked = walkAndRead(root, buffer);
            double walk = seconds() - start;
            if (walk < walkBest) walkBest = walk;
            double gather = timeGather(root, listed);
            if (gather < gatherBest) gatherBest = gather;
        }
        printf("%8zu %8zu %10.3f %10.3f %12.1f %12.1f %6.2f\n", walked, listed, gatherBest, walkBest,
               gatherBest * 1e6 / count, walkBest * 1e6 / count, gatherBest / walkBest);
        fflush(stdout);
        if (givenRoot.empty()) removeTree(root);
    }
    return 0;
}
