// UTF-16 names and the forms archiver DLLs get of them: exact ANSI text or
// none, UTF-8, short paths and the converter's own ASCII stand-in names.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "base/ansi_path.h"
#include "base/wide_text.h"
#include "support/scratch_folder.h"
#include "support/text.h"

namespace {

struct TextCase {
    const wchar_t* wide;
    bool hasAnsi;
};

std::string readAnsi(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<unreadable>";
    char buffer[64];
    DWORD got = 0;
    ReadFile(file, buffer, sizeof buffer, &got, nullptr);
    CloseHandle(file);
    return std::string(buffer, got);
}

bool writeWide(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return written == bytes.size();
}

bool existsW(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Names in the folder that are stand-ins of the converter.
size_t standInsIn(const std::wstring& folder) { return filesIn(folder, L"~vlt*").size(); }

// A scratch folder holding "Müller\", which has no ANSI form.
struct WideFolder {
    ScratchFolder scratch{"wp"};
    std::wstring top = wideFromAnsi(scratch.path());
    std::wstring muller = top + L"M\u00fcller\\";
    WideFolder() { CreateDirectoryW(muller.c_str(), nullptr); }
};

}  // namespace

TEST(WideText, ExactAnsiFormOrNone) {
    const TextCase cases[] = {
        {L"plain.zip", true},
        {L"\u8868\u30bd\u80fd.lzh", true},   // 表ソ能: trail bytes 0x5C
        {L"\uff5e", true},                   // fullwidth tilde
        {L"caf\u00e9.zip", false},           // é would best-fit to e
        {L"\u00a5", false},                  // yen sign would become a backslash
        {L"\u301c", false},                  // wave dash shares the tilde's bytes
        {L"\ud55c\uae00.txt", false},
        {L"\U0001f600.png", false},
    };
    for (const TextCase& c : cases) {
        std::string ansi = "stale";
        EXPECT_EQ(exactAnsiForm(c.wide, ansi), c.hasAnsi) << fromWide(c.wide);
        EXPECT_EQ(wideFromAnsi(ansi), c.hasAnsi ? c.wide : L"");
    }
    std::wstring wide;
    std::string mixed = utf8FromWide(L"\ud55c\uae00 \u00fc \U0001f600");
    EXPECT_EQ(mixed, "\xed\x95\x9c\xea\xb8\x80 \xc3\xbc \xf0\x9f\x98\x80");
    EXPECT_TRUE(wideFromUtf8(mixed, wide));
    EXPECT_EQ(wide, L"\ud55c\uae00 \u00fc \U0001f600");
    EXPECT_FALSE(wideFromUtf8("ab\xc3(", wide));
    EXPECT_EQ(wide, L"");
}

TEST(AnsiPath, ExistingPathsAsTheyAreOrShort) {
    WideFolder folder;
    std::wstring cp932 = folder.top + L"\u8868.lzh", cafe = folder.muller + L"caf\u00e9.tar.gz";
    ASSERT_TRUE(writeWide(cp932, "cp932"));
    ASSERT_TRUE(writeWide(cafe, "cafe"));
    std::string ansi;
    ASSERT_TRUE(ansiPathOf(cp932, ansi));
    EXPECT_EQ(ansi, folder.scratch.path() + "\x95\x5c.lzh");  // byte for byte as before
    // Wine and NTFS volumes give every long name an 8.3 form.
    ASSERT_TRUE(ansiPathOf(cafe, ansi));
    EXPECT_TRUE(hasExactAnsiForm(wideFromAnsi(ansi)));
    EXPECT_EQ(readAnsi(ansi), "cafe");
    ASSERT_TRUE(ansiPathOf(folder.muller, ansi));
    EXPECT_EQ(GetFileAttributesA(ansi.c_str()) & FILE_ATTRIBUTE_DIRECTORY, (DWORD)FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(ansiPathOf(folder.muller + L"missing\u00e9.zip", ansi));
}

TEST(AnsiPath, StandInOfASourceGoesWithItAndLeavesTheSource) {
    WideFolder folder;
    for (DWORD attributes : {DWORD(FILE_ATTRIBUTE_NORMAL), DWORD(FILE_ATTRIBUTE_READONLY)}) {
        SCOPED_TRACE(attributes);
        std::wstring source = folder.muller + L"\ud55c.tar.gz";
        ASSERT_TRUE(writeWide(source, "data"));
        SetFileAttributesW(source.c_str(), attributes);
        {
            AnsiSource standIn;
            ASSERT_TRUE(makeAnsiStandIn(source, folder.top, standIn));
            EXPECT_EQ(standIn.ansi.substr(standIn.ansi.size() - 7), ".tar.gz");
            EXPECT_EQ(readAnsi(standIn.ansi), "data");
            EXPECT_EQ(standInsIn(folder.top), 1u);
        }
        EXPECT_EQ(standInsIn(folder.top), 0u);
        EXPECT_EQ(GetFileAttributesW(source.c_str()) & FILE_ATTRIBUTE_READONLY, attributes & FILE_ATTRIBUTE_READONLY);
        SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_NORMAL);
        ASSERT_TRUE(DeleteFileW(source.c_str()));
    }
}

TEST(AnsiPath, NewFileUnderAStandInNameMovesToItsRealName) {
    WideFolder folder;
    for (bool commit : {true, false}) {
        SCOPED_TRACE(commit);
        std::wstring path = folder.muller + L"caf\u00e9.7z";
        {
            AnsiTarget target;
            ASSERT_TRUE(prepareAnsiTarget(path, folder.top, target));
            EXPECT_TRUE(hasExactAnsiForm(wideFromAnsi(target.ansi)));
            EXPECT_FALSE(commitAnsiTarget(target));  // the DLL wrote nothing yet
            HANDLE file = CreateFileA(target.ansi.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
            ASSERT_NE(file, INVALID_HANDLE_VALUE) << target.ansi;
            DWORD written = 0;
            WriteFile(file, "7z", 2, &written, nullptr);
            CloseHandle(file);
            if (commit) {
                EXPECT_TRUE(commitAnsiTarget(target));
            }
        }
        EXPECT_EQ(standInsIn(folder.muller), 0u);
        EXPECT_EQ(existsW(path), commit);
        DeleteFileW(path.c_str());
    }
    // A name with an ANSI form is written as it is.
    AnsiTarget plain;
    ASSERT_TRUE(prepareAnsiTarget(folder.top + L"\u8868.7z", folder.top, plain));
    EXPECT_EQ(plain.ansi, folder.scratch.path() + "\x95\x5c.7z");
    EXPECT_TRUE(plain.standIn.empty());
    EXPECT_TRUE(commitAnsiTarget(plain));
}
