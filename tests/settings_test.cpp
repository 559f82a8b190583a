// Settings in HKEY_CURRENT_USER "Software\Kesta\Veltrox": the access routines'
// size rules, the load with its defaults and special rules, the history.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstring>
#include <string>
#include <vector>
#include "base/settings.h"
#include "ui_context.h"
#include "support/drop_context.h"

namespace {

const char OPTION_KEY[] = "Software\\Kesta\\Veltrox\\option";
const char HISTORY_KEY[] = "Software\\Kesta\\Veltrox\\FolderHist";

void setRaw(const char* key, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY h;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(h, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(h);
}

void setDword(const char* name, int32_t value) {
    setRaw(OPTION_KEY, name, REG_DWORD, &value, sizeof value);
}

bool valueExists(const char* key, const char* name) {
    HKEY h;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    bool found = RegQueryValueExA(h, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(h);
    return found;
}

std::string historyValue(int n) {
    char out[SETTINGS_STRING_SIZE];
    readString("FolderHist", std::to_string(n).c_str(), out, "<none>");
    return out;
}

class Settings : public testing::Test {
protected:
    void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Kesta\\Veltrox"); }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Kesta\\Veltrox"); }
};

}  // namespace

TEST_F(Settings, NoKeyGivesTheDefaults) {
    DropContext ctx;
    prepareContext(ctx, FMT_LZH | FMT_7Z, false);
    loadSettings(ctx);
    EXPECT_EQ(ctx.fAfterDel, 0);
    EXPECT_EQ(ctx.fCurrent, 0);
    EXPECT_EQ(ctx.saveConvertType, 0);
    EXPECT_EQ(ctx.askSameConvert, 0);
    EXPECT_EQ(ctx.sameTime, 0);
    EXPECT_EQ(ctx.sort, 1);
    EXPECT_EQ(ctx.lhType, 1013);
    EXPECT_EQ(ctx.lhSfxMode, 1019);
    EXPECT_EQ(ctx.zipLevel, 6);
    EXPECT_EQ(ctx.tarLevel, 6);
    EXPECT_EQ(ctx.cabMode, 0);
    EXPECT_EQ(ctx.cabLevel, 15);
    EXPECT_EQ(ctx.bgaLevel, 9);
    EXPECT_EQ(ctx.notConvSfx, 0);
    EXPECT_EQ(ctx.sevenZipOptions, 0x30001u);
    EXPECT_EQ(readDword("option", "ConvertType", 1), 1);
    EXPECT_EQ(readDword("option", "7Zip-SfxMode", 2), 2);
}

TEST_F(Settings, StoredValuesAreLoaded) {
    const struct {
        const char* name;
        int32_t value;
        int32_t ConverterContext::*field;
    } cases[] = {
        {"fAfterDel", 1, &ConverterContext::fAfterDel},    {"fCurrent", 1, &ConverterContext::fCurrent},
        {"lh-type", 1015, &ConverterContext::lhType},      {"lhSFX-Mode", 1016, &ConverterContext::lhSfxMode},
        {"Tar-Level", 9, &ConverterContext::tarLevel},     {"Zip-Level", 0, &ConverterContext::zipLevel},
        {"Cab-Level", 21, &ConverterContext::cabLevel},    {"Bga-Level", 1, &ConverterContext::bgaLevel},
        {"Cab-Mode", 1, &ConverterContext::cabMode},       {"SaveConvertType", 1, &ConverterContext::saveConvertType},
        {"AskSameConvert", 1, &ConverterContext::askSameConvert}, {"SameTime", 1, &ConverterContext::sameTime},
        {"NotConvSfx", 1, &ConverterContext::notConvSfx}, {"Sort", 0, &ConverterContext::sort},
    };
    for (const auto& c : cases) setDword(c.name, c.value);
    setDword("7Zip-Level", 2);
    setDword("7Zip-HeadComp", 0);
    setDword("7Zip-SolidMode", 1);
    DropContext ctx;
    prepareContext(ctx, FMT_LZH, false);
    loadSettings(ctx);
    for (const auto& c : cases) EXPECT_EQ(ctx.*c.field, c.value) << c.name;
    EXPECT_EQ(ctx.sevenZipOptions, 0x20002u);
}

TEST_F(Settings, OutOfRangeValuesFallBackToTheDefaults) {
    const struct {
        const char* name;
        int32_t value;
        int32_t ConverterContext::*field;   // null: read on demand only
        int32_t expected;
    } cases[] = {
        {"fAfterDel", 2, &ConverterContext::fAfterDel, 0},     {"fCurrent", -1, &ConverterContext::fCurrent, 0},
        {"lh-type", 1016, &ConverterContext::lhType, 1013},    {"lh-type", 1011, &ConverterContext::lhType, 1013},
        {"lhSFX-Mode", 1020, &ConverterContext::lhSfxMode, 1019}, {"lhSFX-Mode", 1022, &ConverterContext::lhSfxMode, 1019},
        {"Tar-Level", 0, &ConverterContext::tarLevel, 6},      {"Zip-Level", 10, &ConverterContext::zipLevel, 6},
        {"Cab-Level", 14, &ConverterContext::cabLevel, 15},    {"Cab-Level", 22, &ConverterContext::cabLevel, 15},
        {"Bga-Level", -9, &ConverterContext::bgaLevel, 9},     {"Cab-Mode", 2, &ConverterContext::cabMode, 0},
        {"Sort", 7, &ConverterContext::sort, 1},               {"SameTime", 3, &ConverterContext::sameTime, 0},
        {"ConvertType", 3, nullptr, 1},  {"ConvertType", 2, nullptr, 1},  {"ConvertType", 0x8000, nullptr, 1},
        {"ConvertType", -1, nullptr, 1}, {"ConvertType", 0x4000, nullptr, 0x4000},
        {"7Zip-SfxMode", 0, nullptr, 2}, {"7Zip-SfxMode", 4, nullptr, 2}, {"7Zip-SfxMode", 3, nullptr, 3},
    };
    for (const auto& c : cases) {
        setDword(c.name, c.value);
        DropContext ctx;
        prepareContext(ctx, FMT_LZH | FMT_7Z, false);
        loadSettings(ctx);
        EXPECT_EQ(c.field ? ctx.*c.field : readOption(c.name), c.expected) << c.name << " = " << c.value;
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Kesta\\Veltrox");
    }
    // The 7z level is a list index; the flags keep their meaning.
    setDword("7Zip-Level", -1);
    setDword("7Zip-HeadComp", 0);
    DropContext ctx;
    prepareContext(ctx, FMT_7Z, false);
    loadSettings(ctx);
    EXPECT_EQ(ctx.sevenZipOptions, 0x20001u);
}

TEST_F(Settings, OnlyFourByteValuesAreNumbers) {
    const int32_t number = 1234;
    setRaw(OPTION_KEY, "binary4", REG_BINARY, &number, 4);
    setRaw(OPTION_KEY, "short", REG_SZ, "ab", 3);
    const int64_t wide = 5;
    setRaw(OPTION_KEY, "qword", REG_QWORD, &wide, 8);
    setRaw(OPTION_KEY, "two", REG_BINARY, &number, 2);
    EXPECT_EQ(readDword("option", "binary4", 7), 1234);
    EXPECT_EQ(readDword("option", "short", 7), 7);
    EXPECT_EQ(readDword("option", "qword", 7), 7);
    EXPECT_EQ(readDword("option", "two", 7), 7);
    EXPECT_EQ(readDword("option", "missing", -3), -3);
    EXPECT_EQ(readDword("nokey", "missing", 9), 9);

    ASSERT_TRUE(writeDword("option", "written", -1));
    EXPECT_EQ(readDword("option", "written", 0), -1);
}

TEST_F(Settings, SevenZipLibraryNeedsSevenZipInstalled) {
    setDword("fUse7ZipLib", 1);
    DropContext without;
    prepareContext(without, FMT_LZH | FMT_ZIP, false);
    without.fUse7ZipLib = 0;
    loadSettings(without);
    EXPECT_EQ(without.fUse7ZipLib, 0u);

    DropContext with;
    prepareContext(with, FMT_7Z | FMT_ZIP | FMT_UNZIP, false);
    with.fUse7ZipLib = 2;   // the probe found no zip32j.dll
    loadSettings(with);
    EXPECT_EQ(with.fUse7ZipLib, 3u);

    setDword("fUse7ZipLib", 0);
    DropContext off;
    prepareContext(off, FMT_7Z, false);
    off.fUse7ZipLib = 1;    // not cleared by the setting
    loadSettings(off);
    EXPECT_EQ(off.fUse7ZipLib, 1u);
}

TEST_F(Settings, SearchedFoldersMakeTheSourceFolderUnavailable) {
    setDword("fCurrent", 1);
    DropContext ctx;
    prepareContext(ctx, FMT_LZH, false);
    ctx.folderSearch = 2;
    loadSettings(ctx);
    EXPECT_EQ(ctx.fCurrent, -1);
    ctx.folderSearch = -1;   // folders skipped: no search happened
    loadSettings(ctx);
    EXPECT_EQ(ctx.fCurrent, 1);
}

TEST_F(Settings, StringsAreReadOnlyWhenTheyFit) {
    const std::string fits(259, 'a');
    const std::string tooLong(260, 'b');
    ASSERT_TRUE(writeString("FolderHist", "fits", fits.c_str()));
    ASSERT_TRUE(writeString("FolderHist", "long", tooLong.c_str()));
    // Stored without a terminating NUL: 259 characters still fit with the
    // NUL added on reading, 260 fill the buffer and cannot.
    setRaw(HISTORY_KEY, "bare259", REG_SZ, fits.data(), 259);
    setRaw(HISTORY_KEY, "bare260", REG_SZ, tooLong.data(), 260);

    struct Guarded {
        char out[SETTINGS_STRING_SIZE];
        char guard[16];
    } g;
    auto read = [&](const char* name, const char* def) {
        memset(&g, 'X', sizeof g);
        bool ok = readString("FolderHist", name, g.out, def);
        EXPECT_EQ(std::string(g.guard, sizeof g.guard), std::string(16, 'X')) << name;
        return ok;
    };
    EXPECT_TRUE(read("fits", "d"));
    EXPECT_EQ(std::string(g.out), fits);
    EXPECT_FALSE(read("long", "dflt"));
    EXPECT_STREQ(g.out, "dflt");
    EXPECT_TRUE(read("bare259", "d"));
    EXPECT_EQ(std::string(g.out), fits);
    EXPECT_FALSE(read("bare260", ""));
    EXPECT_STREQ(g.out, "");
    EXPECT_FALSE(read("missing", "x"));
    EXPECT_STREQ(g.out, "x");
}

TEST_F(Settings, HistoryEndsAtTheFirstGapOrUnreadableEntry) {
    writeString("FolderHist", "1", "C:\\one");
    writeString("FolderHist", "2", "C:\\two");
    writeString("FolderHist", "4", "C:\\four");
    EXPECT_EQ(loadFolderHistory(), (std::vector<std::wstring>{L"C:\\one", L"C:\\two"}));

    writeString("FolderHist", "3", (std::string("C:\\") + std::string(257, 'x')).c_str());   // 260 characters
    EXPECT_EQ(loadFolderHistory().size(), 2u);
    writeString("FolderHist", "3", "");
    EXPECT_EQ(loadFolderHistory().size(), 2u);
}

// An entry counts when it could be a destination: fewer than 260 characters
// and fewer than 260 bytes in its ANSI form, whatever its script.
TEST_F(Settings, HistoryEntriesInAnyScriptWithinTheDestinationBound) {
    const struct {
        std::wstring entry;
        bool counts;
    } cases[] = {
        {L"C:\\" + std::wstring(128, L'\x8868'), true},    // 表: 259 bytes in code page 932
        {L"C:\\" + std::wstring(129, L'\x8868'), false},   // 261 bytes
        {L"C:\\" + std::wstring(256, L'\xD55C'), true},    // 한: 259 characters without an ANSI form
        {L"C:\\\xFC\xD55C\xD83D\xDE00", true},               // ü한😀
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(writeStringWide("FolderHist", "1", c.entry));
        std::vector<std::wstring> expected;
        if (c.counts) expected.push_back(c.entry);
        EXPECT_EQ(loadFolderHistory(), expected) << c.entry.size();
    }
}

TEST_F(Settings, SavingMovesTheAcceptedPathToTheFront) {
    for (int n = 1; n <= 4; ++n) writeString("FolderHist", std::to_string(n).c_str(), ("C:\\d" + std::to_string(n)).c_str());
    writeString("FolderHist", "7", "C:\\stale");

    std::vector<std::wstring> history = loadFolderHistory();
    saveFolderHistory(history, L"c:\\D3");   // present under another case
    EXPECT_EQ(history, (std::vector<std::wstring>{L"c:\\D3", L"C:\\d1", L"C:\\d2", L"C:\\d4"}));
    EXPECT_EQ(loadFolderHistory(), history);

    history = loadFolderHistory();
    saveFolderHistory(history, L"C:\\new");
    EXPECT_EQ(historyValue(1), "C:\\new");
    EXPECT_EQ(historyValue(5), "C:\\d4");
    EXPECT_EQ(historyValue(7), "C:\\stale");   // above the written count: left alone
    EXPECT_FALSE(valueExists(HISTORY_KEY, "6"));
}

TEST_F(Settings, HistoryKeepsTwentyEntries) {
    std::vector<std::wstring> history;
    for (int n = 1; n <= 21; ++n) {
        history = loadFolderHistory();
        saveFolderHistory(history, L"C:\\dest" + std::to_wstring(n));
    }
    history = loadFolderHistory();
    ASSERT_EQ(history.size(), 20u);
    EXPECT_EQ(history.front(), L"C:\\dest21");
    EXPECT_EQ(history.back(), L"C:\\dest2");   // dest1 pushed out
    EXPECT_FALSE(valueExists(HISTORY_KEY, "21"));
}
