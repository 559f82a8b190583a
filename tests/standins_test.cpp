// The stand-in archiver DLLs themselves: exports, behaviour settings, the log
// and the archive round trip that every conversion test relies on.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstdio>
#include "archivers/binding.h"
#include "archivers/compress.h"
#include "archivers/extract.h"
#include "base/converter_context.h"
#include "engine/worklist.h"
#include "support/drop_context.h"
#include "support/scratch_folder.h"
#include "support/standins.h"
#include "support/text.h"

namespace {
typedef int(WINAPI* CommandProc)(HWND, LPCSTR, LPSTR, DWORD);
typedef WORD(WINAPI* VersionProc)(void);

int call(HMODULE module, const char* exportName, const std::string& commandLine) {
    CommandProc proc = reinterpret_cast<CommandProc>(GetProcAddress(module, exportName));
    if (!proc) return -1;
    static char output[32768];
    output[0] = 0;
    return proc(nullptr, commandLine.c_str(), output, sizeof output);
}

std::string inQuotes(const std::string& s) { return "\"" + s + "\""; }
}  // namespace

TEST(Standins, EveryDllHasItsExportsAndTheVariantsLackTheVersion) {
    const char* commands[] = {"Unlha", "UnZip", "Zip", "Cab", "Unarj", "Tar", "Unrar", "Bga", "UnGCA", "Yz1", "SevenZip"};
    for (int i = 0; i < 11; ++i) {
        std::string dll = STANDIN_ARCHIVER_DLLS[i];
        StandinFolder folder({dll.c_str()});
        HMODULE module = LoadLibraryA(dll.c_str());
        ASSERT_NE(module, nullptr) << dll;
        EXPECT_NE(GetProcAddress(module, commands[i]), nullptr) << dll;
        EXPECT_NE(GetProcAddress(module, (std::string(commands[i]) + "GetVersion").c_str()), nullptr) << dll;
        FreeLibrary(module);
        folder.remove(dll);
        folder.add(dll, StandinSet::NoVersion);
        module = LoadLibraryA(dll.c_str());
        ASSERT_NE(module, nullptr) << dll;
        EXPECT_NE(GetProcAddress(module, commands[i]), nullptr) << dll;
        EXPECT_EQ(GetProcAddress(module, (std::string(commands[i]) + "GetVersion").c_str()), nullptr) << dll;
        FreeLibrary(module);
    }
}

TEST(Standins, VersionComesFromTheEnvironmentAtEveryCall) {
    StandinFolder folder({"tar32.dll"});
    HMODULE module = LoadLibraryA("tar32.dll");
    ASSERT_NE(module, nullptr);
    VersionProc version = reinterpret_cast<VersionProc>(GetProcAddress(module, "TarGetVersion"));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version(), 250);
    setStandinVersion("tar32.dll", 51);
    EXPECT_EQ(version(), 51);
    FreeLibrary(module);
    std::vector<StandinCall> log = readStandinLog(folder.logPath());
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].exportName, "TarGetVersion");
    EXPECT_EQ(log[1].result, 51);
}

TEST(Standins, CompressWithListKeepsOrderAndExtractRecreatesTree) {
    StandinFolder folder({"unlha32.dll"});
    ScratchFolder workFolder("work");
    std::string work = workFolder.path();
    std::string japanese = toAnsi("表示");   // its second byte is 0x5C
    CreateDirectoryA((work + "sub").c_str(), nullptr);
    CreateDirectoryA((work + japanese).c_str(), nullptr);
    writeWholeFile(work + "b.txt", "bee");
    writeWholeFile(work + "a.txt", "ay");
    writeWholeFile(work + japanese + "\\" + japanese + ".txt", "jp");
    std::string list = folder.path() + "list.txt";
    writeWholeFile(list, "\"b.txt\"\r\n\"" + japanese + "\\" + japanese + ".txt\"\r\n\"a.txt\"\r\n");
    std::string archive = folder.path() + "out.lzh";

    HMODULE module = LoadLibraryA("unlha32.dll");
    ASSERT_NE(module, nullptr);
    char saved[MAX_PATH];
    GetCurrentDirectoryA(sizeof saved, saved);
    SetCurrentDirectoryA(work.c_str());
    EXPECT_EQ(call(module, "Unlha", "a -x -a1 -jm2 " + inQuotes(archive) + " " + inQuotes(work) + " " + inQuotes("@" + list)), 0);

    StandinArchive packed;
    ASSERT_TRUE(readStandinArchive(archive, packed));
    EXPECT_EQ(packed.madeBy, "unlha32.dll");
    std::vector<std::string> expected = {"F b.txt=bee", "F " + japanese + "\\" + japanese + ".txt=jp", "F a.txt=ay"};
    EXPECT_EQ(describeStandinArchive(packed), expected);

    ScratchFolder destFolder("dest");
    std::string dest = destFolder.path() + "~out\\";
    EXPECT_EQ(call(module, "Unlha", "e -x1r2 -jf0 -y -c -a1 " + inQuotes(archive) + " " + inQuotes(dest)), 0);
    std::string bytes;
    EXPECT_TRUE(readWholeFile(dest + japanese + "\\" + japanese + ".txt", bytes));
    EXPECT_EQ(bytes, "jp");

    std::vector<StandinCall> log = readStandinCommands(folder.logPath());
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].exportName, "Unlha");
    EXPECT_EQ(log[0].currentFolder + "\\", work);
    EXPECT_EQ(log[0].bufferSize, 32768);
    EXPECT_EQ(log[0].outputFirstByte, 0);
    EXPECT_EQ(log[0].listLines.size(), 3u);
    EXPECT_EQ(log[0].listLines[1], "\"" + japanese + "\\" + japanese + ".txt\"");
    SetCurrentDirectoryA(saved);
    FreeLibrary(module);
}

TEST(Standins, WildcardPacksEverythingAndSfxWrapsTheArchive) {
    StandinFolder folder({"tar32.dll", "bga32.dll"});
    ScratchFolder workFolder("work");
    std::string work = workFolder.path();
    CreateDirectoryA((work + "empty").c_str(), nullptr);
    writeWholeFile(work + "x.bin", std::string("\0\n\r", 3));
    HMODULE tar = LoadLibraryA("tar32.dll");
    HMODULE bga = LoadLibraryA("bga32.dll");
    ASSERT_TRUE(tar && bga);
    std::string archive = folder.path() + "out.tgz";
    EXPECT_EQ(call(tar, "Tar", "--display-dialog=1 -cvfz6 " + inQuotes(archive) + " " + inQuotes(work) + " *.*"), 0);
    StandinArchive packed;
    ASSERT_TRUE(readStandinArchive(archive, packed));
    EXPECT_EQ(packed.entries.size(), 2u);
    EXPECT_EQ(packed.entries.size() == 2 ? packed.entries[0].folder + packed.entries[1].folder : 0, 1);

    std::string bza = folder.path() + "out.bza";
    EXPECT_EQ(call(bga, "Bga", "a -a -d -l5 -m1 " + inQuotes(bza) + " " + inQuotes(work) + " *.*"), 0);
    EXPECT_EQ(call(bga, "Bga", "s " + inQuotes(bza) + " " + inQuotes(folder.path())), 0);
    std::string exe;
    ASSERT_TRUE(readWholeFile(folder.path() + "out.exe", exe));
    EXPECT_EQ(exe.compare(0, 2, "MZ"), 0);
    ASSERT_TRUE(decodeStandinArchive(exe, packed));
    EXPECT_EQ(packed.madeBy, "bga32.dll");

    setStandinResult("tar32.dll", 0x8020);
    DeleteFileA(archive.c_str());
    EXPECT_EQ(call(tar, "Tar", "-cvf " + inQuotes(archive) + " " + inQuotes(work) + " *.*"), 0x8020);
    EXPECT_EQ(GetFileAttributesA(archive.c_str()), INVALID_FILE_ATTRIBUTES);
    clearStandinBehaviour();
    EXPECT_EQ(call(tar, "Tar", "-xvf " + inQuotes(folder.path() + "missing.tar") + " " + inQuotes(work)), 0x8010);
    EXPECT_EQ(call(tar, "Tar", "--version"), 0x8001);
    FreeLibrary(tar);
    FreeLibrary(bga);
}

TEST(Standins, LoadLibraryDuringTheCallIsLogged) {
    StandinFolder folder({"cab32.dll", "bz2lib.dll"});
    setStandinLoadLibrary("cab32.dll", "bz2lib.dll");
    setStandinAction("cab32.dll", "none");
    HMODULE cab = LoadLibraryA("cab32.dll");
    ASSERT_NE(cab, nullptr);
    EXPECT_EQ(call(cab, "Cab", "-x -r -o \"a.cab\" \"b\\\""), 0);
    FreeLibrary(cab);
    std::vector<StandinCall> log = readStandinCommands(folder.logPath());
    ASSERT_EQ(log.size(), 1u);
    ASSERT_EQ(log[0].loads.size(), 1u);
    EXPECT_EQ(log[0].loads[0], "bz2lib.dll\t" + folder.path() + "bz2lib.dll");
}

// The product's own extraction and compression command lines, as the
// stand-ins must understand them: every target format packs a work folder
// (with and without the sorted list file) and its source format unpacks the
// result again.
TEST(Standins, UnderstandTheConvertersCommandLines) {
    struct Case { ArchiveFormat target; ArchiveFormat source; const char* extension; const char* dll; };
    const Case cases[] = {
        {FMT_LZH, FMT_LZH, ".lzh", "unlha32.dll"},   {FMT_ZIP, FMT_UNZIP, ".zip", "zip32j.dll"},
        {FMT_CAB, FMT_CAB, ".cab", "cab32.dll"},     {FMT_TAR, FMT_TAR, ".tar", "tar32.dll"},
        {FMT_TARGZ, FMT_TARGZ, ".tgz", "tar32.dll"}, {FMT_TARBZ2, FMT_TARBZ2, ".tar.bz2", "tar32.dll"},
        {FMT_BZA, FMT_BZA, ".bza", "bga32.dll"},     {FMT_GZA, FMT_GZA, ".gza", "bga32.dll"},
        {FMT_YZ1, FMT_YZ1, ".yz1", "yz1.dll"},       {FMT_7Z, FMT_7Z, ".7z", "7-zip32.dll"},
    };
    const std::vector<std::string> tree = {"b.txt", "a.txt", "sub\\c.txt", toAnsi("表示\\表示.txt"), "empty\\"};
    StandinFolder folder;
    for (const char* dll : STANDIN_ARCHIVER_DLLS) folder.add(dll);
    folder.add("zip32.dll");
    zip32jVersion = 1000;
    DropContext ctx;
    ctx.lhType = 1013;
    ctx.zipLevel = 5;
    ctx.tarLevel = 6;
    ctx.bgaLevel = 5;
    ctx.sevenZipOptions = 1;
    for (int sort = 0; sort <= 1; ++sort) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.dll) + " " + c.extension + (sort ? " with list" : ""));
            ctx.sort = sort;
            ScratchFolder work("w"), out("o"), again("e");
            makeTree(work.path(), tree);
            char archive[MAX_PATH];
            snprintf(archive, sizeof archive, "%sout%s", out.path().c_str(), c.extension);
            ASSERT_NE(loadArchiver(ctx, c.target, false), nullptr);
            clearStandinLog(folder.logPath());
            ASSERT_TRUE(packFolder(ctx, archive, sizeof archive, work.path().c_str(), c.target));
            StandinArchive packed;
            ASSERT_TRUE(readStandinArchive(archive, packed));
            EXPECT_EQ(packed.madeBy, c.dll);
            std::vector<std::string> files;
            for (const StandinEntry& e : packed.entries)
                if (!e.folder) files.push_back(e.name);
            if (sort) {
                // Exactly the list file's entries, in its order.
                std::vector<StandinCall> calls = readStandinCommands(folder.logPath());
                ASSERT_EQ(calls.size(), 1u);
                std::vector<std::string> listed;
                for (const std::string& line : calls[0].listLines) listed.push_back(line.substr(1, line.size() - 2));
                EXPECT_EQ(files, listed);
            }
            EXPECT_EQ(files.size(), 4u);

            std::string dest = again.path() + "~out\\";
            ASSERT_NE(loadArchiver(ctx, c.source, false), nullptr);
            ASSERT_TRUE(extractArchive(ctx, archive, dest.c_str(), c.source));
            for (const std::string& name : tree) {
                std::string bytes;
                // The list file names files only, so an empty folder travels
                // only without it.
                if (name.back() == '\\' && sort) continue;
                if (name.back() == '\\') EXPECT_NE(GetFileAttributesA((dest + name).c_str()), INVALID_FILE_ATTRIBUTES) << name;
                else EXPECT_TRUE(readWholeFile(dest + name, bytes) && bytes == name) << name;
            }
        }
    }

    // Self-extracting archives made by the DLLs themselves.
    const ArchiveFormat sfxTargets[] = {FMT_LZH, FMT_ZIP, FMT_CAB, FMT_BZA, FMT_GZA, FMT_YZ1};
    ctx.sfxMode = 1;
    ctx.lhSfxMode = 1019;
    for (ArchiveFormat target : sfxTargets) {
        SCOPED_TRACE(target);
        ScratchFolder work("w"), out("o");
        makeTree(work.path(), tree);
        setFolderField(ctx.destFolder, out.path());
        char archive[MAX_PATH];
        snprintf(archive, sizeof archive, "%sout.arc", out.path().c_str());
        ASSERT_NE(loadArchiver(ctx, target, false), nullptr);
        ASSERT_TRUE(packFolder(ctx, archive, sizeof archive, work.path().c_str(), target));
        EXPECT_EQ(std::string(archive), out.path() + "out.exe");
        StandinArchive packed;
        EXPECT_TRUE(readStandinArchive(archive, packed));
        EXPECT_EQ(GetFileAttributesA((out.path() + "out.arc").c_str()), INVALID_FILE_ATTRIBUTES);
    }
    unloadArchivers(ctx);
    zip32jVersion = 1000;
}
