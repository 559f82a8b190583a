// The sorted response file: which names it holds, their order, the exact
// bytes of each line, where the file is made and how it is named.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <set>
#include "base/converter_context.h"
#include "archivers/binding.h"
#include "engine/worklist.h"
#include "engine/worktree.h"
#include "support/drop_context.h"
#include "support/host.h"
#include "support/scratch_folder.h"
#include "support/standins.h"
#include "support/text.h"

namespace {

struct ListCase {
    const char* title;
    std::vector<std::string> tree;       // UTF-8, relative to the work folder
    std::vector<std::string> expected;   // UTF-8 lines without quotes, in order
};

// Builds the tree, writes the list file and returns its lines (ANSI bytes).
std::vector<std::string> listOf(ConverterContext& ctx, const std::vector<std::string>& treeUtf8,
                                std::string* listPathOut = nullptr) {
    ScratchFolder work("wl");
    std::vector<std::string> tree;
    for (const std::string& name : treeUtf8) tree.push_back(toAnsi(name));
    makeTree(work.path(), tree);
    char listPath[MAX_PATH] = "";
    EXPECT_TRUE(writeListFile(ctx, work.path().c_str(), listPath));
    std::string text = readBytes(listPath);
    EXPECT_TRUE(DeleteFileA(listPath)) << listPath;
    if (listPathOut) *listPathOut = listPath;
    return crlfLines(text);
}

std::string quoted(const std::string& utf8) { return "\"" + toAnsi(utf8) + "\""; }

}  // namespace

TEST(WorkList, ListsFilesSortedAsLstrcmpiOrders) {
    const ListCase cases[] = {
        {"case is ignored, subfolders follow", {"B.txt", "a.txt", "sub\\c.txt"}, {"a.txt", "B.txt", "sub\\c.txt"}},
        {"empty folder", {}, {}},
        {"empty subfolders are absent", {"empty\\", "deep\\er\\", "deep\\z.TXT"}, {"deep\\z.TXT"}},
        {"nested names relative to the work folder", {"x\\y\\z\\f.bin", "X1.bin"}, {"x\\y\\z\\f.bin", "X1.bin"}},
        {"blanks", {"my file.txt", "A dir\\b c.txt"}, {"A dir\\b c.txt", "my file.txt"}},
    };
    for (const ListCase& c : cases) {
        SCOPED_TRACE(c.title);
        DropContext ctx;
        std::vector<std::string> expected;
        for (const std::string& name : c.expected) expected.push_back(quoted(name));
        EXPECT_EQ(listOf(ctx, c.tree), expected);
    }
}

TEST(WorkList, DoubleByteNamesAreWrittenByteForByte) {
    // 表 and ソ end in the byte 0x5C in code page 932.
    DropContext ctx;
    std::vector<std::string> tree = {"表.txt", "ソフト\\表計算.xls", "b.txt", "A.txt", "ソ.dat"};
    std::vector<std::string> lines = listOf(ctx, tree);
    ASSERT_EQ(lines.size(), tree.size());
    std::set<std::string> want, got(lines.begin(), lines.end());
    for (const std::string& name : tree) want.insert(quoted(name));
    EXPECT_EQ(got, want);
    EXPECT_EQ(lines[0], quoted("A.txt"));
    EXPECT_EQ(lines[1], quoted("b.txt"));
    for (size_t i = 1; i < lines.size(); ++i) {
        std::string a = lines[i - 1].substr(1, lines[i - 1].size() - 2);
        std::string b = lines[i].substr(1, lines[i].size() - 2);
        EXPECT_LE(compareNames(a.c_str(), b.c_str()), 0) << fromAnsi(a) << " / " << fromAnsi(b);
    }
}

TEST(WorkList, Utf8ListCarriesEveryNameInTheAnsiOrder) {
    DropContext ctx;
    // Names that code page 932 holds: the same lines in the same order.
    for (const std::vector<std::string>& tree :
         {std::vector<std::string>{"表.txt", "ソフト\\表計算.xls", "b.txt", "A.txt", "ソ.dat"},
          std::vector<std::string>{"한글.txt", "sub\\ü.txt", "b.txt", "A.txt", "表.txt", "😀.png"}}) {
        ScratchFolder work("u8");
        std::wstring top = toWide(fromAnsi(work.path()));
        bool allAnsi = true;
        for (const std::string& name : tree) {
            std::wstring wide = toWide(name);
            allAnsi = allAnsi && fromAnsi(toAnsi(name)) == name;
            size_t slash = wide.find(L'\\');
            if (slash != std::wstring::npos) CreateDirectoryW((top + wide.substr(0, slash)).c_str(), nullptr);
            HANDLE file = CreateFileW((top + wide).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
            ASSERT_NE(file, INVALID_HANDLE_VALUE) << name;
            CloseHandle(file);
        }
        char ansiList[MAX_PATH] = "", utf8List[MAX_PATH] = "";
        EXPECT_EQ(writeListFile(ctx, work.path().c_str(), ansiList), allAnsi);
        ASSERT_TRUE(writeListFile(ctx, work.path().c_str(), utf8List, nullptr, ListText::utf8));
        std::vector<std::string> utf8Lines = crlfLines(readBytes(utf8List));
        DeleteFileA(utf8List);
        std::set<std::string> want, got(utf8Lines.begin(), utf8Lines.end());
        for (const std::string& name : tree) want.insert("\"" + name + "\"");
        EXPECT_EQ(got, want);
        if (!allAnsi) continue;
        std::vector<std::string> fromAnsiList;
        for (const std::string& line : crlfLines(readBytes(ansiList))) fromAnsiList.push_back(fromAnsi(line));
        DeleteFileA(ansiList);
        EXPECT_EQ(utf8Lines, fromAnsiList);
    }
}

TEST(WorkList, PackingInUnicodeModeHandsAUtf8List) {
    StandinFolder dlls({"7-zip32.dll"});
    setStandinAction("7-zip32.dll", "none");
    ScratchFolder work("u8p"), dest("u8d");
    std::wstring top = toWide(fromAnsi(work.path()));
    for (const wchar_t* name : {L"\ud55c.txt", L"a.txt"}) {
        HANDLE file = CreateFileW((top + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
    }
    DropContext ctx;
    ctx.unicodeNames = 1;
    ASSERT_NE(loadArchiver(ctx, FMT_7Z, false), nullptr);
    char archive[MAX_PATH];
    snprintf(archive, sizeof archive, "%snew.7z", dest.path().c_str());
    packFolder(ctx, archive, sizeof archive, work.path().c_str(), FMT_7Z);
    unloadArchivers(ctx);
    std::vector<StandinCall> calls = readStandinCommands(dlls.logPath());
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].listLines, (std::vector<std::string>{"\"a.txt\"", "\"\xed\x95\x9c.txt\""}));
}

TEST(WorkList, CompareNamesIsCaseInsensitive) {
    EXPECT_LT(compareNames("a.txt", "B.txt"), 0);
    EXPECT_GT(compareNames("B.txt", "a.txt"), 0);
    EXPECT_EQ(compareNames("ReadMe.TXT", "readme.txt"), 0);
}

TEST(WorkList, ResponseFileIsNamedFromTmpAndNeverReplacesAFile) {
    ScratchFolder tmp("tmp");
    char saved[MAX_PATH] = "";
    DWORD hadTmp = GetEnvironmentVariableA("TMP", saved, sizeof saved);
    SetEnvironmentVariableA("TMP", tmp.path().c_str());

    DropContext ctx;
    std::string first;
    listOf(ctx, {"a.txt"}, &first);
    ASSERT_EQ(first.compare(0, tmp.path().size() + 7, tmp.path() + "~veltrx"), 0) << first;
    unsigned number = 0;
    ASSERT_EQ(sscanf(first.c_str() + tmp.path().size() + 7, "%u", &number), 1);

    // The next names are taken already: they are skipped, not overwritten.
    for (unsigned n = number + 1; n <= number + 3; ++n)
        writeBytes(tmp.path() + "~veltrx" + std::to_string(n), "keep");
    std::string second;
    listOf(ctx, {"a.txt"}, &second);
    EXPECT_EQ(second, tmp.path() + "~veltrx" + std::to_string(number + 4));
    for (unsigned n = number + 1; n <= number + 3; ++n)
        EXPECT_EQ(readBytes(tmp.path() + "~veltrx" + std::to_string(n)), "keep");

    SetEnvironmentVariableA("TMP", hadTmp ? saved : nullptr);
}

TEST(WorkList, SeventyThousandFilesAreAllListedInOrder) {
    // More names than a 65,536-slot table holds. The tree is made on the host:
    // creating 70,000 files through Wine one by one takes minutes.
    const int FOLDERS = 70, PER_FOLDER = 1000;
    ScratchFolder work("big");
    std::string unixWork = unixPath(fromAnsi(work.path()));
    ASSERT_FALSE(unixWork.empty());
    std::string script = "cd " + shellQuote(unixWork) +
        " && for d in $(seq 0 69); do dir=$(printf $([ $((d % 2)) = 1 ] && echo Dir || echo dir)%02d $d);"
        " mkdir $dir && (cd $dir && seq 0 999 | awk '{ printf(($1 % 3) ? \"f%04d.txt\\n\" : \"F%04d.TXT\\n\", $1) }'"
        " | xargs touch) || exit 1; done";
    std::string output;
    ASSERT_EQ(runHostShell(script, 300000, &output), 0) << output;

    DropContext ctx;
    char listPath[MAX_PATH] = "";
    ASSERT_TRUE(writeListFile(ctx, work.path().c_str(), listPath));
    std::vector<std::string> lines = crlfLines(readBytes(listPath));
    DeleteFileA(listPath);
    ASSERT_EQ(lines.size(), size_t(FOLDERS * PER_FOLDER));
    EXPECT_EQ(lines.front(), "\"dir00\\F0000.TXT\"");
    EXPECT_EQ(lines.back(), "\"Dir69\\F0999.TXT\"");
    std::set<std::string> unique(lines.begin(), lines.end());
    EXPECT_EQ(unique.size(), lines.size());
    for (size_t i = 1; i < lines.size(); ++i) {
        if (compareNames(lines[i - 1].c_str(), lines[i].c_str()) > 0) {
            ADD_FAILURE() << "out of order at line " << i << ": " << lines[i - 1] << " / " << lines[i];
            break;
        }
    }
    runHostShell("rm -rf " + shellQuote(unixWork) + "/*");
}

// A name without an ANSI form still counts towards the path limit: a deep
// path under it is refused, not handed to the archiver short of an entry.
TEST(WorkList, PathLimitCountsNamesOutsideTheCodePage) {
    ScratchFolder work("limit");
    std::wstring folder = L"\\\\?\\" + toWide(fromAnsi(work.path())) + std::wstring(100, L'\u00fc');
    std::wstring deeper = folder + L"\\" + std::wstring(120, L'd');
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(deeper.c_str(), nullptr));
    HANDLE file = CreateFileW((deeper + L"\\f.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    WorkScan scan;
    scanWorkFolder(work.path().c_str(), scan);
    EXPECT_TRUE(scan.unconvertibleName);
    EXPECT_TRUE(scan.tooLong);
    DeleteFileW((deeper + L"\\f.txt").c_str());
    RemoveDirectoryW(deeper.c_str());
    RemoveDirectoryW(folder.c_str());
}
