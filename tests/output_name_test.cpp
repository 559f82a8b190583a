// Output naming: target extensions, the " (n)" counter, the self-extracting
// name that moves with the archive name, and refusal of names that do not fit.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/identify.h"
#include "support/drop_context.h"
#include "support/scratch_folder.h"
#include "base/wide_text.h"
#include "support/text.h"

namespace {

class OutputName : public ::testing::Test {
protected:
    void SetUp() override {
        setFolderField(ctx_.destFolder, dest_);
    }
    void clear() {
        for (const std::string& name : made_) DeleteFileA((dest_ + name).c_str());
        made_.clear();
    }
    void make(const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            ASSERT_TRUE(writeBytes(dest_ + name, "")) << name;
            made_.push_back(name);
        }
    }
    // The file name part of the result ("" when refused).
    std::string name(const char* stem, ArchiveFormat target, bool sfx) {
        std::wstring output;
        if (!makeOutputName(ctx_, wideFromAnsi(stem), target, sfx, output)) return "";
        std::string full = ansiOfWide(output);
        EXPECT_EQ(full.compare(0, dest_.size(), dest_), 0) << full;
        return full.substr(dest_.size());
    }
    DropContext ctx_;
    ScratchFolder scratch_{"names"};
    std::string dest_ = scratch_.path();
    std::vector<std::string> made_;
};

}  // namespace

TEST_F(OutputName, TargetExtensions) {
    struct Case {
        ArchiveFormat target;
        const char* expected;
    };
    const Case cases[] = {
        {FMT_LZH, "a.lzh"},    {FMT_ZIP, "a.zip"},   {FMT_CAB, "a.cab"},           {FMT_TAR, "a.tar"},
        {FMT_TARGZ, "a.tgz"},  {FMT_TARBZ2, "a.tar.bz2"}, {FMT_BZA, "a.bza"},     {FMT_GZA, "a.gza"},
        {FMT_GCA, "a.gca"},    {FMT_YZ1, "a.yz1"},   {FMT_7Z, "a.7z"},
        // Source-only codes and sets have no extension.
        {FMT_UNZIP, "a"},      {FMT_RAR, "a"},       {FMT_LZH | FMT_ZIP, "a"},     {FORMAT_UNKNOWN, "a"},
    };
    for (const Case& c : cases) EXPECT_EQ(name("a", c.target, false), c.expected) << c.target;
    EXPECT_EQ(targetExtension(FMT_ACE), nullptr);
    // a.tar.gz converted to TAR-GZ: the stem keeps ".tar".
    EXPECT_EQ(name("a.tar", FMT_TARGZ, false), "a.tar.tgz");
}

TEST_F(OutputName, CounterForTakenNames) {
    struct Case {
        std::vector<std::string> existing;
        const char* stem;
        ArchiveFormat target;
        bool sfx;
        const char* expected;
    };
    const Case cases[] = {
        {{"report.tar.bz2"}, "report", FMT_TARBZ2, false, "report (1).tar.bz2"},
        {{"report.tar.bz2", "report (1).tar.bz2"}, "report", FMT_TARBZ2, false, "report (2).tar.bz2"},
        // A gap is used: the counter only counts up from where it is.
        {{"report.lzh", "report (2).lzh"}, "report", FMT_LZH, false, "report (1).lzh"},
        // The executable name moves with the archive name.
        {{"a.exe"}, "a", FMT_LZH, true, "a (1).lzh"},
        {{"a.exe", "a (1).lzh"}, "a", FMT_LZH, true, "a (2).lzh"},
        {{"a.lzh", "a (1).exe"}, "a", FMT_LZH, true, "a (2).lzh"},
        // Without self-extraction an executable of that name is no obstacle.
        {{"a.exe"}, "a", FMT_LZH, false, "a.lzh"},
        // Other extensions do not matter; case does not either.
        {{"a.zip", "A.LZH"}, "a", FMT_LZH, false, "a (1).lzh"},
    };
    for (const Case& c : cases) {
        make(c.existing);
        EXPECT_EQ(name(c.stem, c.target, c.sfx), c.expected) << c.expected;
        clear();
    }
}

TEST_F(OutputName, OnlyTheDestinationFolderIsSearched) {
    // a.lzh in the current folder and in a subfolder of the destination.
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    std::string sub = dest_ + "sub\\";
    CreateDirectoryA(sub.c_str(), nullptr);
    make({"sub\\a.lzh"});
    SetCurrentDirectoryA(sub.c_str());
    EXPECT_EQ(name("a", FMT_LZH, false), "a.lzh");
    SetCurrentDirectoryA(previous);
    clear();
    RemoveDirectoryA(sub.c_str());
}

TEST_F(OutputName, RefusesWhatDoesNotFit) {
    // A destination of 240 bytes (it need not exist for the name to be formed).
    std::string longDest = "C:\\" + std::string(236, 'd') + "\\";
    ASSERT_EQ(longDest.size(), 240u);
    setFolderField(ctx_.destFolder, longDest);
    struct Case {
        size_t stemLength;
        ArchiveFormat target;
        bool sfx;
        bool fits;
    };
    const Case cases[] = {
        {11, FMT_LZH, false, true},     // 240 + 11 + 4 = 255 bytes and the terminator
        {12, FMT_LZH, false, false},
        {12, FMT_7Z, false, true},      // 240 + 12 + 3
        {12, FMT_7Z, true, false},      // ...but the ".exe" beside it would be 256
        {11, FMT_7Z, true, true},
        {400, FMT_LZH, false, false},
    };
    for (const Case& c : cases) {
        std::string stem(c.stemLength, 's');
        std::wstring output;
        bool ok = makeOutputName(ctx_, wideFromAnsi(stem), c.target, c.sfx, output);
        EXPECT_EQ(ok, c.fits) << c.stemLength << " " << c.target;
        if (ok) EXPECT_EQ(ansiOfWide(output), longDest + stem + targetExtension(c.target));
    }
}
