// The checks on an archive's listing: which listings refuse the archive, and
// whether an extracted tree holds every listed file.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "engine/listing_check.h"
#include "support/text.h"

namespace {

// "name" a file, "name/" or "name:D" a folder (entries as DLLs report them).
std::vector<ListedEntry> listing(std::initializer_list<const char*> names) {
    std::vector<ListedEntry> entries;
    for (const char* name : names) {
        ListedEntry entry;
        entry.name = toAnsi(name);
        size_t marker = entry.name.rfind(":D");
        if (marker != std::string::npos && marker + 2 == entry.name.size()) {
            entry.name.resize(marker);
            entry.folder = true;
        }
        if (!entry.name.empty() && entry.name.back() == '/') entry.folder = true;
        entry.size = 3;
        entries.push_back(entry);
    }
    return entries;
}

struct Case {
    std::initializer_list<const char*> names;
    ListingVerdict verdict;
};

TEST(ListingCheck, RefusesWhatOneWindowsFolderCannotHold) {
    const ListingVerdict clean = ListingVerdict::clean, clash = ListingVerdict::clashingNames,
                         codePage = ListingVerdict::unconvertibleName;
    const Case cases[] = {
        {{"./", "./d/", "./d/a.txt", "./b.txt"}, clean},          // tar32 style, "./" is the root
        {{"d:D", "d/a.txt", "D/b.txt", "d\\c.txt"}, clean},        // folders may repeat in any case
        {{"表\\ソ.txt", "表/能.txt"}, clean},                      // trail bytes 0x5C are no separators
        {{"icon.d/x.txt", "console.txt", "com0", "lpt10.txt", "a..b"}, clean},
        {{"B.txt", "b.txt"}, clash},
        {{"./a.txt", "a.txt"}, clash},                             // the same file twice
        {{"x", "X/y.txt"}, clash},                                 // a file where a folder must be
        {{"x/", "X"}, clash},
        {{"a:b.txt"}, clash},
        {{"c:/x.txt"}, clash},
        {{"/etc/x"}, clash},
        {{"\\x"}, clash},
        {{"a/../../x"}, clash},
        {{"con.txt"}, clash},
        {{"sub/NUL"}, clash},
        {{"Com1.log"}, clash},
        {{"lpt9"}, clash},
        {{"aux .txt"}, clash},
        {{"name."}, clash},
        {{"name /x"}, clash},
        {{"a<b", "ok"}, clash},
        {{"a|b"}, clash},
        {{"a\"b"}, clash},
        {{"a*b"}, clash},
        {{"a\tb"}, clash},
        {{"a?b.txt"}, codePage},
        {{"B.txt", "b.txt", "x?.txt"}, codePage},
    };
    for (const Case& c : cases) {
        std::vector<ListedEntry> entries = listing(c.names);
        std::vector<ListedFile> files;
        EXPECT_EQ(checkListing(entries, files), c.verdict) << entries[0].name << " (" << entries.size() << " entries)";
    }
}

TEST(ListingCheck, TreeMustHoldEveryListedFileWithItsSize) {
    std::vector<ListedFile> files;
    ASSERT_EQ(checkListing(listing({"./", "./D/", "./D/a.txt", "b.txt", "e/"}), files), ListingVerdict::clean);
    ASSERT_EQ(files.size(), 2u);
    auto tree = [](std::initializer_list<WorkEntry> entries) {
        WorkScan scan;
        scan.entries = entries;
        return scan;
    };
    auto file = [](const wchar_t* name, uint64_t size) { return WorkEntry{name, "", false, size}; };
    auto folder = [](const wchar_t* name) { return WorkEntry{name, "", true, 0}; };
    EXPECT_TRUE(treeHoldsListing(files, tree({folder(L"d"), file(L"d\\A.txt", 3), file(L"B.TXT", 3)})));
    // Sizes of 4 GB and more: the record holds the low 32 bits.
    EXPECT_TRUE(treeHoldsListing(files, tree({file(L"d\\a.txt", 3 + (1ull << 32)), file(L"b.txt", 3)})));
    EXPECT_FALSE(treeHoldsListing(files, tree({file(L"d\\a.txt", 3)})));
    EXPECT_FALSE(treeHoldsListing(files, tree({file(L"d\\a.txt", 3), file(L"b.txt", 2)})));
    EXPECT_FALSE(treeHoldsListing(files, tree({file(L"d\\a.txt", 3), folder(L"b.txt")})));
}

}  // namespace
