// removeTree on work folders as archives leave them: read-only, hidden and
// system files, dot-named and nested folders, and links to folders outside.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "engine/driver.h"
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

}  // namespace
