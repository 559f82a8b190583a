// removeTree on work folders as archives leave them: read-only, hidden and
// system files, dot-named and nested folders, and links to folders outside.
#include <gtest/gtest.h>
#include <windows.h>
#include <malloc.h>
#include <cstring>
#include <string>
#include "base/converter_context.h"
#include "engine/driver.h"
#include "engine/worktree.h"
#include "support/drop_context.h"
#include "support/dialog_driver.h"
#include "support/host.h"
#include "support/scratch_folder.h"
#include "support/text.h"

namespace {

TEST(RemoveTree, RemovesEverythingWhateverItsAttributes) {
    ScratchFolder scratch("rt");
    std::string work = scratch / "~work\\";
    CreateDirectoryA(work.c_str(), nullptr);
    makeTree(work, {"a.txt", ".hidden\\b.txt", ".hidden\\deep\\.c", "empty\\", "sub\\d.bin",
                    toAnsi("日本語フォルダ\\表.txt")});
    const std::pair<const char*, DWORD> marked[] = {
        {"a.txt", FILE_ATTRIBUTE_READONLY},
        {".hidden\\b.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
        {".hidden", FILE_ATTRIBUTE_READONLY},
        {"sub", FILE_ATTRIBUTE_HIDDEN}};
    for (const auto& m : marked) ASSERT_TRUE(SetFileAttributesA((work + m.first).c_str(), m.second)) << m.first;

    EXPECT_TRUE(removeTree(work.c_str()));
    EXPECT_FALSE(pathExists(work));
    EXPECT_TRUE(pathExists(scratch.path()));
}

TEST(RemoveTree, MissingFolderIsLeftAlone) {
    ScratchFolder scratch("rt");
    EXPECT_FALSE(removeTree((scratch / "absent\\").c_str()));
    EXPECT_TRUE(pathExists(scratch.path()));
}

TEST(RemoveTree, NeverFollowsALinkToAFolderOutside) {
    ScratchFolder scratch("rt");
    ScratchFolder outside("out");
    makeTree(outside.path(), {"keep.txt", "nested\\keep2.txt"});
    std::string work = scratch / "~work\\";
    CreateDirectoryA(work.c_str(), nullptr);
    makeTree(work, {"x.txt", "inner\\y.txt"});
    std::string linkTo = unixPath(fromAnsi(outside.path()));
    for (const char* link : {"/link", "/inner/link2"}) {
        std::string output;
        ASSERT_EQ(runHostShell("ln -s " + shellQuote(linkTo) + " " + shellQuote(unixPath(fromAnsi(work)) + link), 120000,
                               &output), 0) << output;
    }
    DWORD attributes = GetFileAttributesA((work + "link").c_str());
    ASSERT_NE(attributes & FILE_ATTRIBUTE_REPARSE_POINT, 0u);

    removeTree(work.c_str());
    EXPECT_EQ(readBytes(outside / "keep.txt"), "keep.txt");
    EXPECT_EQ(readBytes(outside / "nested\\keep2.txt"), "nested\\keep2.txt");
    EXPECT_FALSE(pathExists(work + "x.txt"));
    EXPECT_FALSE(pathExists(work + "inner\\y.txt"));
    runHostShell("rm -f " + shellQuote(unixPath(fromAnsi(work)) + "/link") + " " +
                 shellQuote(unixPath(fromAnsi(work)) + "/inner/link2"));
}

// Stack use of a call, measured on this thread: the stack below is filled
// with a mark first, and what the call overwrote is counted afterwards.
const size_t STACK_PROBE = 768 * 1024;
__attribute__((noinline)) void markStack() {
    char* below = static_cast<char*>(alloca(STACK_PROBE));
    memset(below, 0x5A, STACK_PROBE);
    __asm__ volatile("" : : "r"(below) : "memory");
}
__attribute__((noinline)) size_t stackTouched() {
    volatile char* below = static_cast<char*>(alloca(STACK_PROBE));
    size_t untouched = 0;
    while (untouched < STACK_PROBE && below[untouched] == 0x5A) ++untouched;
    return STACK_PROBE - untouched;
}

// Scanning, comparing and removing a work folder take the same stack at any
// depth: a tree thousands of levels deep must not exhaust the stack of the
// shell's thread or of the removal thread.
TEST(RemoveTree, WalksUseNoStackPerLevel) {
    ScratchFolder scratch("deep");
    size_t used[2] = {};
    const int depths[2] = {10, 300};
    for (int i = 0; i < 2; ++i) {
        std::string work = scratch / ("~w" + std::to_string(i) + "\\");
        std::wstring path = L"\\\\?\\" + toWide(fromAnsi(work));
        CreateDirectoryW(path.c_str(), nullptr);
        for (int level = 0; level < depths[i]; ++level) {
            path += L"d\\";
            ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << level;
        }
        HANDLE leaf = CreateFileW((path + L"x").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(leaf, INVALID_HANDLE_VALUE);
        CloseHandle(leaf);
        markStack();
        WorkScan scan;
        bool listed = scanWorkFolder(work.c_str(), scan);
        bool same = sameWorkTrees(work.c_str(), work.c_str());
        bool removed = removeTree(work.c_str());
        used[i] = stackTouched();
        EXPECT_TRUE(listed);
        EXPECT_EQ(scan.entries.size(), static_cast<size_t>(depths[i]) + 1);
        EXPECT_EQ(scan.tooLong, i == 1);
        EXPECT_TRUE(same);
        EXPECT_TRUE(removed);
        EXPECT_FALSE(pathExists(work));
    }
    EXPECT_LT(used[1], used[0] + 16 * 1024) << used[0] << " bytes at depth 10";
}

// A message whose owner window has closed since the drop is still shown (a
// box owned by a window that is gone would fail and say nothing).
TEST(Driver, MessageOwnerThatHasClosedIsNotUsed) {
    ScratchFolder scratch("own");
    std::string text = scratch / "note.txt";
    writeBytes(text, "just text");
    std::wstring inputs = toWide(fromAnsi(text)) + std::wstring(2, L'\0');
    HWND gone = CreateWindowA("STATIC", "gone", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(gone, nullptr);
    DestroyWindow(gone);
    DropContext ctx;
    ctx.ownerWindow = gone;
    DialogDriver driver([&](DialogDriver& d) { d.click(d.waitFor("Veltrox.dll"), IDOK); });
    convertAll(ctx, inputs.c_str());
    ASSERT_TRUE(driver.finish());
    ASSERT_EQ(driver.seenCount(), 1u);
    EXPECT_EQ(driver.seen(0).text(), fromAnsi(text) + "\n\nは書庫と認識できないか、または未対応の形式です。");
    EXPECT_EQ(driver.seen(0).owner, nullptr);
}

}  // namespace
