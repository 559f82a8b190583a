// Compression command lines: what each stand-in archiver DLL receives for
// every target format, with and without the sorted list file, the current
// folder it runs in, and what is cleaned up on every way out.
#include <gtest/gtest.h>
#include <windows.h>
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

const int DEFAULT_VERSION = -1;
const int NO_VERSION = -2;

enum Tail { LIST, ANY, ANY_DOT_ANY, OLD_YZ1 };

struct CompressCase {
    const char* title;
    ArchiveFormat format;
    const char* dll;
    int version;
    int sort;
    void (*settings)(ConverterContext&);
    const char* extension;
    const char* switches;
    Tail tail;
};

void defaults(ConverterContext& ctx) {
    ctx.sort = 0;
    ctx.lhType = 1013;
    ctx.lhSfxMode = 1019;
    ctx.zipLevel = 6;
    ctx.cabMode = 0;
    ctx.cabLevel = 21;
    ctx.tarLevel = 6;
    ctx.bgaLevel = 5;
    ctx.sevenZipOptions = 1 | 0x30000;
    ctx.sfxMode = 0;
}

std::string currentFolder() {
    char folder[MAX_PATH * 2];
    DWORD n = GetCurrentDirectoryA(sizeof folder, folder);
    return std::string(folder, n);
}

std::string withoutTrailingBackslash(const std::string& path) { return path.substr(0, path.size() - 1); }

// The work folder of every case: mixed case, a subfolder with 表, an empty
// folder; sorted it reads a.txt, B.txt, sub表\ソ.txt.
const std::vector<std::string> WORK_TREE = {"B.txt", "a.txt", "sub表\\ソ.txt", "empty\\"};
const std::vector<std::string> SORTED_LIST = {"\"a.txt\"", "\"B.txt\"", "\"sub表\\ソ.txt\""};

// A private TMP, so that every list file the call leaves behind is seen.
struct TmpFolder {
    ScratchFolder folder{"tmp"};
    std::string saved;
    bool had;
    TmpFolder() {
        char value[MAX_PATH] = "";
        had = GetEnvironmentVariableA("TMP", value, sizeof value) > 0;
        saved = value;
        SetEnvironmentVariableA("TMP", folder.path().c_str());
    }
    ~TmpFolder() { SetEnvironmentVariableA("TMP", had ? saved.c_str() : nullptr); }
    bool empty() const {
        WIN32_FIND_DATAA entry;
        HANDLE find = FindFirstFileA((folder.path() + "~veltrx*").c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE) return true;
        FindClose(find);
        return false;
    }
};

void checkCompress(const CompressCase& c) {
    SCOPED_TRACE(c.title);
    StandinFolder dlls;
    dlls.add(c.dll, c.version == NO_VERSION ? StandinSet::NoVersion : StandinSet::Full);
    if (c.format == FMT_ZIP) dlls.add("zip32.dll");
    if (c.version >= 0) setStandinVersion(c.dll, c.version);
    setStandinAction(c.dll, "none");
    TmpFolder tmp;
    ScratchFolder work("work 表");
    std::vector<std::string> tree;
    for (const std::string& name : WORK_TREE) tree.push_back(toAnsi(name));
    makeTree(work.path(), tree);
    ScratchFolder dest("dest ソ");
    std::string archive = dest.path() + toAnsi("new 表 ソ") + c.extension;
    std::string before = currentFolder();
    {
        zip32jVersion = 1000;
        DropContext ctx;
        defaults(ctx);
        ctx.sort = c.sort;
        if (c.settings) c.settings(ctx);
        ASSERT_NE(loadArchiver(ctx, c.format, false), nullptr);
        std::vector<char> path(archive.begin(), archive.end());
        path.resize(MAX_PATH, '\0');
        EXPECT_TRUE(packFolder(ctx, path.data(), path.size(), work.path().c_str(), c.format));
        EXPECT_EQ(std::string(path.data()), archive);
        unloadArchivers(ctx);
    }
    EXPECT_EQ(currentFolder(), before);
    EXPECT_TRUE(tmp.empty()) << "list file left behind";

    std::vector<StandinCall> calls = readStandinCommands(dlls.logPath());
    ASSERT_EQ(calls.size(), 1u);
    const StandinCall& call = calls[0];
    std::string expected = c.switches + ("\"" + fromAnsi(archive) + "\" \"");
    std::string line = fromAnsi(call.commandLine);
    std::string temp = withoutTrailingBackslash(tmp.folder.path());   // unused unless OLD_YZ1
    switch (c.tail) {
    case LIST: {
        expected += fromAnsi(work.path()) + "\" \"@" + fromAnsi(tmp.folder.path()) + "~veltrx";
        EXPECT_EQ(line.substr(0, expected.size()), expected);
        EXPECT_EQ(line.back(), '"');
        std::vector<std::string> want;
        for (const std::string& l : SORTED_LIST) want.push_back(toAnsi(l));
        EXPECT_EQ(call.listLines, want);
        EXPECT_EQ(call.currentFolder, withoutTrailingBackslash(work.path()));
        return;
    }
    case ANY: expected += fromAnsi(work.path()) + "\" *"; break;
    case ANY_DOT_ANY: expected += fromAnsi(work.path()) + "\" *.*"; break;
    case OLD_YZ1: {
        char tempPath[MAX_PATH + 1];
        std::string tempFolder(tempPath, GetTempPathA(sizeof tempPath, tempPath));
        std::string relative = withoutTrailingBackslash(work.path().substr(tempFolder.size()));
        expected += fromAnsi(tempFolder) + "\" \"" + fromAnsi(relative) + "\"";
        EXPECT_EQ(call.currentFolder, withoutTrailingBackslash(tempFolder));
        EXPECT_EQ(line, expected);
        return;
    }
    }
    EXPECT_EQ(line, expected);
    EXPECT_EQ(call.currentFolder, withoutTrailingBackslash(work.path()));
    EXPECT_EQ(call.outputFirstByte, 0);
}

}  // namespace

TEST(Compress, CommandLineOfEveryFormat) {
    const CompressCase cases[] = {
        {"LZH list lh5", FMT_LZH, "unlha32.dll", DEFAULT_VERSION, 1, nullptr, ".lzh", "a -x -a1 -jm2 ", LIST},
        {"LZH no list", FMT_LZH, "unlha32.dll", DEFAULT_VERSION, 0, nullptr, ".lzh", "a -x1r2 -p -a1 -jm2 ", ANY_DOT_ANY},
        {"LZH lh0", FMT_LZH, "unlha32.dll", DEFAULT_VERSION, 0, [](ConverterContext& c) { c.lhType = 1012; }, ".lzh", "a -x1r2 -p -a1 -jm0 ", ANY_DOT_ANY},
        {"LZH lh6", FMT_LZH, "unlha32.dll", DEFAULT_VERSION, 0, [](ConverterContext& c) { c.lhType = 1014; }, ".lzh", "a -x1r2 -p -a1 -jm3 ", ANY_DOT_ANY},
        {"LZH lh7", FMT_LZH, "unlha32.dll", DEFAULT_VERSION, 1, [](ConverterContext& c) { c.lhType = 1015; }, ".lzh", "a -x -a1 -jm4 ", LIST},
        {"LZH unknown method", FMT_LZH, "unlha32.dll", DEFAULT_VERSION, 0, [](ConverterContext& c) { c.lhType = 7; }, ".lzh", "a -x1r2 -p -a1 -jm2 ", ANY_DOT_ANY},
        {"ZIP level 0 no list", FMT_ZIP, "zip32j.dll", DEFAULT_VERSION, 0, [](ConverterContext& c) { c.zipLevel = 0; }, ".zip", "-S -0 -r ", ANY_DOT_ANY},
        {"ZIP level 9 list", FMT_ZIP, "zip32j.dll", DEFAULT_VERSION, 1, [](ConverterContext& c) { c.zipLevel = 9; }, ".zip", "-S -9 ", LIST},
        {"CAB MSZIP list", FMT_CAB, "cab32.dll", DEFAULT_VERSION, 1, nullptr, ".cab", "-a -mz ", LIST},
        {"CAB MSZIP no list", FMT_CAB, "cab32.dll", DEFAULT_VERSION, 0, nullptr, ".cab", "-a -r -mz ", ANY_DOT_ANY},
        {"CAB LZX 21 no list", FMT_CAB, "cab32.dll", DEFAULT_VERSION, 0, [](ConverterContext& c) { c.cabMode = 1; }, ".cab", "-a -r -ml:21 ", ANY_DOT_ANY},
        {"CAB LZX 15 list", FMT_CAB, "cab32.dll", DEFAULT_VERSION, 1, [](ConverterContext& c) { c.cabMode = 1; c.cabLevel = 15; }, ".cab", "-a -ml:15 ", LIST},
        {"TAR never gets a display switch", FMT_TAR, "tar32.dll", 250, 1, nullptr, ".tar", "-cvf ", LIST},
        {"TAR no list", FMT_TAR, "tar32.dll", 22, 0, nullptr, ".tar", "-cvf ", ANY_DOT_ANY},
        {"TAR-GZ 41", FMT_TARGZ, "tar32.dll", 41, 0, nullptr, ".tgz", "--display-dialog=1 -cvfz6 ", ANY_DOT_ANY},
        {"TAR-GZ 40", FMT_TARGZ, "tar32.dll", 40, 1, [](ConverterContext& c) { c.tarLevel = 9; }, ".tgz", "--display-dialog=0 -cvfz9 ", LIST},
        {"TAR-GZ 23", FMT_TARGZ, "tar32.dll", 23, 0, nullptr, ".tgz", "--display-dialog=0 -cvfz6 ", ANY_DOT_ANY},
        {"TAR-GZ 22", FMT_TARGZ, "tar32.dll", 22, 0, nullptr, ".tgz", "--display-window=0 -cvfz6 ", ANY_DOT_ANY},
        {"TAR-GZ 21", FMT_TARGZ, "tar32.dll", 21, 0, nullptr, ".tgz", "-cvfz6 ", ANY_DOT_ANY},
        {"TAR-BZ2 without version", FMT_TARBZ2, "tar32.dll", NO_VERSION, 0, [](ConverterContext& c) { c.tarLevel = 1; }, ".tar.bz2", "-cvfB1 ", ANY_DOT_ANY},
        {"TAR-BZ2 250 list", FMT_TARBZ2, "tar32.dll", 250, 1, nullptr, ".tar.bz2", "--display-dialog=1 -cvfB6 ", LIST},
        {"BZA list", FMT_BZA, "bga32.dll", DEFAULT_VERSION, 1, nullptr, ".bza", "a -a -d -l5 -m1 ", LIST},
        {"BZA no list", FMT_BZA, "bga32.dll", DEFAULT_VERSION, 0, nullptr, ".bza", "a -r -a -d -l5 -m1 ", ANY_DOT_ANY},
        {"GZA no list", FMT_GZA, "bga32.dll", DEFAULT_VERSION, 0, [](ConverterContext& c) { c.bgaLevel = 9; }, ".gza", "a -r -a -d -l9 -m2 ", ANY_DOT_ANY},
        {"GZA list", FMT_GZA, "bga32.dll", DEFAULT_VERSION, 1, nullptr, ".gza", "a -a -d -l5 -m2 ", LIST},
        {"YZ1 20 list", FMT_YZ1, "yz1.dll", 20, 1, nullptr, ".yz1", "c -x -y2 -i0 ", LIST},
        {"YZ1 20 no list", FMT_YZ1, "yz1.dll", 20, 0, nullptr, ".yz1", "c -x1 -r2 -y2 -i0 ", ANY},
        {"YZ1 19 (list written, not named)", FMT_YZ1, "yz1.dll", 19, 1, nullptr, ".yz1", "c ", OLD_YZ1},
        {"YZ1 without version", FMT_YZ1, "yz1.dll", NO_VERSION, 0, nullptr, ".yz1", "c ", OLD_YZ1},
        {"7z list, level 1, both bits", FMT_7Z, "7-zip32.dll", DEFAULT_VERSION, 1, nullptr, ".7z", "a -t7z --r ", LIST},
        {"7z copy, bits clear", FMT_7Z, "7-zip32.dll", DEFAULT_VERSION, 0, [](ConverterContext& c) { c.sevenZipOptions = 0; }, ".7z", "a -t7z -r0 -m0=Copy -ms=off -mhc=off ", ANY},
        {"7z ultra, solid only", FMT_7Z, "7-zip32.dll", DEFAULT_VERSION, 0, [](ConverterContext& c) { c.sevenZipOptions = 2 | 0x20000; }, ".7z", "a -t7z -r0 -mx -mhc=off ", ANY},
        {"7z header compression only", FMT_7Z, "7-zip32.dll", DEFAULT_VERSION, 0, [](ConverterContext& c) { c.sevenZipOptions = 1 | 0x10000; }, ".7z", "a -t7z -r0 -ms=off ", ANY},
        {"ZIP by 7-zip32 level 5 list", FMT_7Z, "7-zip32.dll", DEFAULT_VERSION, 1, [](ConverterContext& c) { c.zipLevel = 5; }, ".zip", "a -tzip --r -mm=deflate -mx=5 ", LIST},
        {"ZIP by 7-zip32 level 9", FMT_7Z, "7-zip32.dll", DEFAULT_VERSION, 0, [](ConverterContext& c) { c.zipLevel = 9; }, ".ZIP", "a -tzip -r0 -mm=deflate -mx=9 ", ANY},
        {"ZIP by 7-zip32 level 0", FMT_7Z, "7-zip32.dll", DEFAULT_VERSION, 0, [](ConverterContext& c) { c.zipLevel = 0; }, ".Zip", "a -tzip -r0 -mm=Copy ", ANY},
    };
    for (const CompressCase& c : cases) checkCompress(c);
}

TEST(Compress, CleansUpOnEveryWayOut) {
    struct Failure {
        const char* title;
        ArchiveFormat format;
        int result;        // stand-in answer
        bool calls;        // whether the DLL is called
    };
    const Failure failures[] = {
        {"source-only format", FMT_UNZIP, 0, false},
        {"combination of formats", FMT_LZH | FMT_7Z, 0, false},
        {"DLL fails", FMT_LZH, 0x8010, true},
        {"7-zip32 fails", FMT_7Z, 0x8010, true},
    };
    StandinFolder dlls({"unlha32.dll", "unzip32.dll", "7-zip32.dll"});
    TmpFolder tmp;
    ScratchFolder work("work");
    makeTree(work.path(), {"a.txt"});
    std::string before = currentFolder();
    for (const Failure& f : failures) {
        SCOPED_TRACE(f.title);
        clearStandinLog(dlls.logPath());
        setStandinResult("unlha32.dll", f.result);
        setStandinResult("7-zip32.dll", f.result);
        DropContext ctx;
        defaults(ctx);
        ctx.sort = 1;
        ctx.sfxMode = 1;
        loadArchiver(ctx, FMT_LZH, false);
        loadArchiver(ctx, FMT_UNZIP, false);
        loadArchiver(ctx, FMT_7Z, false);
        char archive[MAX_PATH];
        snprintf(archive, sizeof archive, "%snew.lzh", work.path().c_str());
        EXPECT_FALSE(packFolder(ctx, archive, sizeof archive, work.path().c_str(), f.format));
        unloadArchivers(ctx);
        EXPECT_EQ(readStandinCommands(dlls.logPath()).size(), f.calls ? 1u : 0u);
        EXPECT_EQ(currentFolder(), before);
        EXPECT_TRUE(tmp.empty()) << "list file left behind";
    }
}

// izip32j.dll is released once after each compression zip32j.dll performed
// (it leaves one reference per call) and after no other: a reference held
// for zip32j.dll stays.
TEST(Compress, ReleasesIzip32jOnlyAfterZip32j) {
    StandinFolder dlls({"zip32j.dll", "zip32.dll", "izip32j.dll", "unlha32.dll"});
    ScratchFolder work("work");
    makeTree(work.path(), {"a.txt"});
    zip32jVersion = 1000;
    DropContext ctx;
    defaults(ctx);
    ASSERT_NE(loadArchiver(ctx, FMT_ZIP, false), nullptr);
    ASSERT_NE(loadArchiver(ctx, FMT_LZH, false), nullptr);
    HMODULE held = LoadLibraryA("izip32j.dll");   // as zip32j.dll holds it
    ASSERT_NE(held, nullptr);
    for (ArchiveFormat format : {FMT_ZIP, FMT_LZH, FMT_ZIP}) {
        SCOPED_TRACE(format);
        std::string archive = work.path() + (format == FMT_ZIP ? "..\\out.zip" : "..\\out.lzh");
        std::vector<char> path(archive.begin(), archive.end());
        path.resize(MAX_PATH, '\0');
        EXPECT_TRUE(packFolder(ctx, path.data(), path.size(), work.path().c_str(), format));
        EXPECT_EQ(GetModuleHandleA("izip32j.dll"), held);
        DeleteFileA(archive.c_str());
    }
    FreeLibrary(held);
    EXPECT_EQ(GetModuleHandleA("izip32j.dll"), nullptr);
    unloadArchivers(ctx);
}

// A compression that fails removes what it left under the new archive's
// name, but never a file that was there before; after a failed
// self-extractor step the complete plain archive stays.
TEST(Compress, FailedCompressionLeavesNoPartialArchive) {
    struct Case {
        const char* title;
        const char* name;
        ArchiveFormat format;
        int sfxMode;
        bool existed;        // a file of the archive's name was there before
        bool plainLeft, exeLeft;
    } cases[] = {
        {"DLL fails after writing", "half.lzh", FMT_LZH, 0, false, false, false},
        {"7-zip32 fails after writing", "half.7z", FMT_7Z, 0, false, false, false},
        {"file there before", "old.lzh", FMT_LZH, 0, true, true, false},
        {"self-extractor cannot be made", "plain.zip", FMT_7Z, 1, false, true, false},
    };
    StandinFolder dlls({"unlha32.dll", "7-zip32.dll"});
    ScratchFolder work("work"), dest("dest");
    makeTree(work.path(), {"a.txt", "b\\c.txt"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        bool dllFails = c.sfxMode == 0;
        for (const char* dll : {"unlha32.dll", "7-zip32.dll"}) {
            setStandinResult(dll, dllFails ? 0x8010 : 0);
            setStandinAction(dll, "always");   // writes the archive, then answers
        }
        std::string archive = dest / c.name;
        if (c.existed) writeBytes(archive, "the user's own file");
        DropContext ctx;
        defaults(ctx);
        ctx.sfxMode = c.sfxMode;
        setFolderField(ctx.destFolder, dest.path());
        ASSERT_NE(loadArchiver(ctx, c.format, false), nullptr);
        std::vector<char> path(archive.begin(), archive.end());
        path.resize(MAX_PATH, '\0');
        EXPECT_FALSE(packFolder(ctx, path.data(), path.size(), work.path().c_str(), c.format));
        unloadArchivers(ctx);
        EXPECT_EQ(pathExists(archive), c.plainLeft);
        std::string exe = archive.substr(0, archive.rfind('.')) + ".exe";
        EXPECT_EQ(pathExists(exe), c.exeLeft);
        if (c.sfxMode) {
            StandinArchive plain;
            EXPECT_TRUE(readStandinArchive(archive, plain));
        }
        DeleteFileA(archive.c_str());
    }
}

TEST(Compress, PathsNearTheLimitMakeLongCommandLines) {
    // Destination, work folder and list file together exceed 512 bytes.
    StandinFolder dlls({"unlha32.dll"});
    ScratchFolder base("long");
    std::string dest = base.path() + std::string(240 - base.path().size(), 'd') + "\\";
    std::string work = base.path() + std::string(240 - base.path().size(), 'w') + "\\";
    ASSERT_TRUE(CreateDirectoryA(dest.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(work.c_str(), nullptr));
    makeTree(work, {"b.txt", "A.txt"});
    std::string archive = dest + std::string(250 - dest.size(), 'n') + ".lzh";   // 254 bytes
    DropContext ctx;
    defaults(ctx);
    ctx.sort = 1;
    ASSERT_NE(loadArchiver(ctx, FMT_LZH, false), nullptr);
    std::vector<char> path(archive.begin(), archive.end());
    path.resize(MAX_PATH, '\0');
    EXPECT_TRUE(packFolder(ctx, path.data(), path.size(), work.c_str(), FMT_LZH));
    unloadArchivers(ctx);
    std::vector<StandinCall> calls = readStandinCommands(dlls.logPath());
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_GT(calls[0].commandLine.size(), 512u);
    std::string start = "a -x -a1 -jm2 \"" + archive + "\" \"" + work + "\" \"@";
    EXPECT_EQ(calls[0].commandLine.substr(0, start.size()), start);
    StandinArchive made;
    ASSERT_TRUE(readStandinArchive(archive, made));
    EXPECT_EQ(describeStandinArchive(made), (std::vector<std::string>{"F A.txt=A.txt", "F b.txt=b.txt"}));
}

TEST(Compress, RoundTripKeepsEveryFileInListOrder) {
    // An LZH source converted to 7z: same files, same bytes; with sorting on
    // the new archive takes them in the list file's order.
    StandinFolder dlls({"unlha32.dll", "7-zip32.dll"});
    ScratchFolder place("trip");
    std::string source = place.path() + toAnsi("元 表.lzh");
    StandinArchive original;
    original.entries = {
        {false, "b.txt", "bee"},
        {true, toAnsi("ソ"), ""},
        {false, toAnsi("ソ\\表.dat"), std::string("\x95\x5c\0\r\n", 5)},
        {false, "A.TXT", std::string(3000, 'a')},
        {true, "empty", ""},
    };
    ASSERT_TRUE(writeStandinArchive(source, original));
    for (int sort : {1, 0}) {
        SCOPED_TRACE(sort ? "sorted" : "unsorted");
        std::string work = place.path() + toAnsi("~元 表") + std::to_string(sort) + "\\";
        std::string target = place.path() + toAnsi("元 表") + std::to_string(sort) + ".7z";
        DropContext ctx;
        defaults(ctx);
        ctx.sort = sort;
        ASSERT_NE(loadArchiver(ctx, FMT_LZH, false), nullptr);
        ASSERT_NE(loadArchiver(ctx, FMT_7Z, false), nullptr);
        ASSERT_TRUE(extractArchive(ctx, source.c_str(), work.c_str(), FMT_LZH));
        std::vector<char> path(target.begin(), target.end());
        path.resize(MAX_PATH, '\0');
        ASSERT_TRUE(packFolder(ctx, path.data(), path.size(), work.c_str(), FMT_7Z));
        unloadArchivers(ctx);
        StandinArchive made;
        ASSERT_TRUE(readStandinArchive(target, made));
        std::vector<std::string> files;
        for (const StandinEntry& e : made.entries)
            if (!e.folder) files.push_back(fromAnsi(e.name) + "=" + e.data);
        if (sort) {
            EXPECT_EQ(files, (std::vector<std::string>{"A.TXT=" + std::string(3000, 'a'), "b.txt=bee",
                                                       "ソ\\表.dat=" + std::string("\x95\x5c\0\r\n", 5)}));
        } else {
            std::sort(files.begin(), files.end());
            EXPECT_EQ(files.size(), 3u);
        }
    }
}

// A folder that must go through the list (it holds links the archiver's own
// recursion would follow) is not packed at all when the list cannot be
// written; otherwise the list is used whatever the sort setting.
TEST(Compress, RequiredListThatCannotBeWrittenPacksNothing) {
    StandinFolder dlls({"7-zip32.dll"});
    TmpFolder tmp;
    for (bool listWritable : {false, true}) {
        SCOPED_TRACE(listWritable ? "list written" : "list cannot be written");
        ScratchFolder work("work");
        makeTree(work.path(), {"a.txt"});
        // A name without a code page 932 form cannot go into the list.
        if (!listWritable) {
            HANDLE h = CreateFileW((toWide(fromAnsi(work.path())) + L"\u0101.txt").c_str(), GENERIC_WRITE, 0,
                                   nullptr, CREATE_NEW, 0, nullptr);
            ASSERT_NE(h, INVALID_HANDLE_VALUE);
            CloseHandle(h);
        }
        clearStandinLog(dlls.logPath());
        DropContext ctx;
        defaults(ctx);
        ctx.sort = 0;
        loadArchiver(ctx, FMT_7Z, false);
        char archive[MAX_PATH];
        snprintf(archive, sizeof archive, "%s..\\req.7z", work.path().c_str());
        bool refused = listWritable;
        EXPECT_EQ(packFolder(ctx, archive, sizeof archive, work.path().c_str(), FMT_7Z, true, &refused),
                  listWritable);
        unloadArchivers(ctx);
        EXPECT_EQ(refused, !listWritable);
        std::vector<StandinCall> calls = readStandinCommands(dlls.logPath());
        ASSERT_EQ(calls.size(), listWritable ? 1u : 0u);
        if (listWritable) {
            EXPECT_NE(calls[0].commandLine.find('@'), std::string::npos) << calls[0].commandLine;
        }
        EXPECT_EQ(pathExists(archive), listWritable);
        EXPECT_TRUE(tmp.empty()) << "list file left behind";
        DeleteFileA(archive);
        if (!listWritable) DeleteFileW((toWide(fromAnsi(work.path())) + L"\u0101.txt").c_str());
    }
}
