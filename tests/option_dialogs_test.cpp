// The compression option dialogs as a user meets them: what each shows for
// the current settings, and what its OK (or Cancel) leaves in the context and
// the registry.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>
#include "support/drop_context.h"
#include "support/dialog_driver.h"
#include "support/text.h"
#include "ui/option_dialogs.h"
#include "base/settings.h"
#include "ui/resources/resource.h"
#include "ui_context.h"

namespace {

const bool fontReady = (useProportionalJapaneseFont(), true);

const int UNSET = -12345;

int stored(const char* name) {
    return readDword("option", name, UNSET);
}

int trackbarPosition(const SeenWindow& w) {
    return static_cast<int>(SendMessageW(GetDlgItem(w.hwnd, IDC_LEVEL_SLIDER), TBM_GETPOS, 0, 0));
}

int trackbarMax(const SeenWindow& w) {
    return static_cast<int>(SendMessageW(GetDlgItem(w.hwnd, IDC_LEVEL_SLIDER), TBM_GETRANGEMAX, 0, 0));
}

int trackbarMin(const SeenWindow& w) {
    return static_cast<int>(SendMessageW(GetDlgItem(w.hwnd, IDC_LEVEL_SLIDER), TBM_GETRANGEMIN, 0, 0));
}

std::string comboItem(const SeenWindow& w, int id, int index) {
    wchar_t text[64] = {};
    SendMessageW(GetDlgItem(w.hwnd, id), CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    return fromWide(text);
}

class OptionDialogs : public testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Kesta\\Veltrox");
        prepareContext(ctx, FMT_LZH);
    }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Kesta\\Veltrox"); }
    DropContext ctx;
};

}  // namespace

TEST_F(OptionDialogs, LevelDialogFollowsTheTargetFormat) {
    const struct {
        ArchiveFormat target;
        int ConverterContext::*field;
        int start;
        const char* caption;
        int maximum;
        int startPosition;
        const char* lowLabel;
        bool noticeEnabled;
        int moveTo;          // -1: OK without moving
        const char* valueName;
        int storedValue;
        const char* shot;
    } cases[] = {
        {FMT_ZIP, &ConverterContext::zipLevel, 0, "ZIP圧縮レベルの指定", 9, 0, "0", true, -1, "Zip-Level", 0, "option_level_zip"},
        {FMT_ZIP, &ConverterContext::zipLevel, 6, "ZIP圧縮レベルの指定", 9, 6, "0", true, 9, "Zip-Level", 9, nullptr},
        {FMT_TARGZ, &ConverterContext::tarLevel, 9, "GZIP圧縮レベルの指定", 8, 8, "1", false, -1, "Tar-Level", 9, "option_level_targz"},
        {FMT_TARBZ2, &ConverterContext::tarLevel, 3, "BZIP2圧縮レベルの指定", 8, 2, "1", false, 0, "Tar-Level", 1, "option_level_tarbz2"},
        {FMT_BZA, &ConverterContext::bgaLevel, 9, "BGA 圧縮レベルの指定", 8, 8, "1", false, 4, "Bga-Level", 5, "option_level_bga"},
        {FMT_GZA, &ConverterContext::bgaLevel, 2, "BGA 圧縮レベルの指定", 8, 1, "1", false, -1, "Bga-Level", 2, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Kesta\\Veltrox");
        ctx.formats = c.target;
        ctx.*c.field = c.start;
        SeenWindow shown;
        int position = -1, minimum = -1, maximum = -1;
        DialogDriver driver([&](DialogDriver& d) {
            shown = d.waitFor(c.caption);
            position = trackbarPosition(shown);
            minimum = trackbarMin(shown);
            maximum = trackbarMax(shown);
            if (c.shot) d.screenshot(c.shot);
            if (c.moveTo >= 0) d.setTrackbar(shown, IDC_LEVEL_SLIDER, c.moveTo);
            d.click(shown, IDOK);
        });
        EXPECT_EQ(showLevelOptions(nullptr), 0);
        ASSERT_TRUE(driver.finish());
        EXPECT_EQ(position, c.startPosition);
        EXPECT_EQ(minimum, 0);
        EXPECT_EQ(maximum, c.maximum);
        ASSERT_NE(shown.control(IDC_LEVEL_LOW), nullptr);
        EXPECT_EQ(shown.control(IDC_LEVEL_LOW)->text, c.lowLabel);
        EXPECT_EQ(shown.control(IDC_LEVEL_HIGH)->text, "9");
        EXPECT_EQ(shown.control(IDC_LEVEL_7ZIP_NOTICE)->enabled, c.noticeEnabled);
        EXPECT_EQ(shown.control(IDC_LEVEL_7ZIP_NOTICE)->text,
                  "※7-zip32.dll を利用した圧縮の場合は、\n   0=無圧縮、1-8=標準、9=最高圧縮率");
        EXPECT_NE(shown.controlByText("スピード重視"), nullptr);
        EXPECT_NE(shown.controlByText("圧縮率重視"), nullptr);
        EXPECT_EQ(ctx.*c.field, c.storedValue);
        EXPECT_EQ(stored(c.valueName), c.storedValue);
    }
}

TEST_F(OptionDialogs, CancelWritesNothing) {
    ctx.formats = FMT_ZIP;
    ctx.zipLevel = 6;
    DialogDriver driver([&](DialogDriver& d) {
        SeenWindow w = d.waitFor("ZIP圧縮レベルの指定");
        d.setTrackbar(w, IDC_LEVEL_SLIDER, 2);
        d.click(w, IDCANCEL);
    });
    EXPECT_EQ(showLevelOptions(nullptr), -1);
    ASSERT_TRUE(driver.finish());
    EXPECT_EQ(ctx.zipLevel, 6);
    EXPECT_EQ(stored("Zip-Level"), UNSET);
}

TEST_F(OptionDialogs, LzhDialogShowsAndStoresMethodAndSelfExtractor) {
    ctx.lhType = 1015;
    ctx.lhSfxMode = 1021;
    SeenWindow shown;
    DialogDriver driver([&](DialogDriver& d) {
        shown = d.waitFor("LZH書庫の圧縮時設定");
        d.screenshot("option_lzh");
        d.setCheck(shown, IDC_LZH_LH0, true);
        d.setCheck(shown, IDC_LZH_WINSFX, true);
        d.click(shown, IDOK);
    });
    EXPECT_EQ(showLzhOptions(nullptr), 0);
    ASSERT_TRUE(driver.finish());
    const std::pair<int, const char*> radios[] = {
        {1012, "lh&0 (無圧縮)"}, {1013, "lh&5"},     {1014, "lh&6"},      {1015, "lh&7"},      {1016, "&DOSSFX"},
        {1017, "&WINSFX"},       {1018, "WIN&SFXM"}, {1019, "WINSFX&32"}, {1021, "WINSFX32&M"},
    };
    for (const auto& r : radios) {
        ASSERT_NE(shown.control(r.first), nullptr) << r.first;
        EXPECT_EQ(shown.control(r.first)->text, r.second);
        EXPECT_EQ(shown.control(r.first)->checked, r.first == 1015 || r.first == 1021) << r.first;
    }
    EXPECT_NE(shown.controlByText("圧縮形式(&T)"), nullptr);
    EXPECT_NE(shown.controlByText("自己解凍書庫形式(&F)"), nullptr);
    EXPECT_EQ(shown.buttons().back(), "キャンセル");
    EXPECT_EQ(ctx.lhType, 1012);
    EXPECT_EQ(ctx.lhSfxMode, 1017);
    EXPECT_EQ(stored("lh-type"), 1012);
    EXPECT_EQ(stored("lhSFX-Mode"), 1017);
}

TEST_F(OptionDialogs, CabMethodChangesAtOnceAndCancelKeepsIt) {
    const int levelControls[] = {IDC_CAB_SPEED, IDC_CAB_RATIO, IDC_CAB_LOW, IDC_CAB_HIGH, IDC_LEVEL_SLIDER};
    SeenWindow before, after;
    DialogDriver driver([&](DialogDriver& d) {
        before = d.waitFor("CAB圧縮形式(レベル)の指定");
        d.screenshot("option_cab_mszip");
        d.setCheck(before, IDC_CAB_LZX, true);
        after = d.read(before.hwnd);
        d.screenshot("option_cab_lzx");
        d.click(before, IDCANCEL);
    });
    EXPECT_EQ(showCabOptions(nullptr), -1);
    ASSERT_TRUE(driver.finish());
    EXPECT_EQ(before.control(IDC_CAB_MSZIP)->checked, BST_CHECKED);
    for (int id : levelControls) {
        EXPECT_FALSE(before.control(id)->enabled) << id;
        EXPECT_TRUE(after.control(id)->enabled) << id;
    }
    EXPECT_EQ(before.control(IDC_CAB_LOW)->text, "15");
    EXPECT_EQ(before.control(IDC_CAB_HIGH)->text, "21");
    EXPECT_EQ(ctx.cabMode, 1);              // this run uses LZX
    EXPECT_EQ(stored("Cab-Mode"), UNSET);   // the next run does not

    // Opened again: LZX is on, the slider runs 15..21; OK stores level and method.
    int position = 0, minimum = 0, maximum = 0;
    DialogDriver again([&](DialogDriver& d) {
        SeenWindow w = d.waitFor("CAB圧縮形式(レベル)の指定");
        position = trackbarPosition(w);
        minimum = trackbarMin(w);
        maximum = trackbarMax(w);
        d.setTrackbar(w, IDC_LEVEL_SLIDER, 18);
        d.click(w, IDOK);
    });
    EXPECT_EQ(showCabOptions(nullptr), 0);
    ASSERT_TRUE(again.finish());
    EXPECT_EQ(position, 15);
    EXPECT_EQ(minimum, 15);
    EXPECT_EQ(maximum, 21);
    EXPECT_EQ(stored("Cab-Level"), 18);
    EXPECT_EQ(stored("Cab-Mode"), 1);
    EXPECT_EQ(ctx.cabLevel, 18);
}

TEST_F(OptionDialogs, SevenZipAllOffAndStoreOnly) {
    SeenWindow shown;
    std::vector<std::string> levels;
    int selected = -1;
    DialogDriver driver([&](DialogDriver& d) {
        shown = d.waitFor("7Z 圧縮時デフォルトの設定");
        for (int i = 0; i < 3; ++i) levels.push_back(comboItem(shown, IDC_7Z_LEVEL, i));
        selected = static_cast<int>(SendMessageW(GetDlgItem(shown.hwnd, IDC_7Z_LEVEL), CB_GETCURSEL, 0, 0));
        d.screenshot("option_7z");
        d.setCheck(shown, IDC_7Z_SOLID, false);
        d.setCheck(shown, IDC_7Z_HEADER, false);
        d.selectComboItem(shown, IDC_7Z_LEVEL, 0);
        d.setCheck(shown, IDC_7Z_SFX_CONSOLE, true);
        d.click(shown, IDOK);
    });
    EXPECT_EQ(show7zOptions(nullptr), 0);
    ASSERT_TRUE(driver.finish());
    EXPECT_EQ(levels, (std::vector<std::string>{"無圧縮", "標準", "最高圧縮率"}));
    EXPECT_EQ(selected, 1);
    EXPECT_EQ(shown.control(IDC_7Z_SOLID)->checked, BST_CHECKED);
    EXPECT_EQ(shown.control(IDC_7Z_HEADER)->checked, BST_CHECKED);
    EXPECT_EQ(shown.control(IDC_7Z_SFX_WINDOWS)->checked, BST_CHECKED);   // "7Zip-SfxMode" default 2
    EXPECT_EQ(shown.control(IDC_7Z_SFX_UPX)->text, "Windows版 (UPX圧縮済み)");
    EXPECT_EQ(shown.buttons().back(), "キャンセル(&C)");
    EXPECT_EQ(ctx.sevenZipOptions, 0u);
    EXPECT_EQ(stored("7Zip-Level"), 0);
    EXPECT_EQ(stored("7Zip-HeadComp"), 0);
    EXPECT_EQ(stored("7Zip-SolidMode"), 0);
    EXPECT_EQ(stored("7Zip-SfxMode"), 1);
}

// Values that name nothing in a dialog (set in the context without going
// through the load) show the defaults, and OK stores what was shown.
TEST_F(OptionDialogs, OutOfRangeValuesShowAndStoreTheDefaults) {
    ctx.sevenZipOptions = 7;   // level index outside the list, both flags off
    ctx.lhType = 1020;
    ctx.lhSfxMode = 1020;
    writeDword("option", "7Zip-SfxMode", 9);
    SeenWindow sevenZip, lzh;
    int selected = 0;
    DialogDriver driver([&](DialogDriver& d) {
        sevenZip = d.waitFor("7Z 圧縮時デフォルトの設定");
        selected = static_cast<int>(SendMessageW(GetDlgItem(sevenZip.hwnd, IDC_7Z_LEVEL), CB_GETCURSEL, 0, 0));
        d.click(sevenZip, IDOK);
        lzh = d.waitFor("LZH書庫の圧縮時設定");
        d.click(lzh, IDOK);
    });
    EXPECT_EQ(show7zOptions(nullptr), 0);
    EXPECT_EQ(showLzhOptions(nullptr), 0);
    ASSERT_TRUE(driver.finish());
    EXPECT_EQ(selected, 1);
    const std::pair<const SeenWindow*, int> checked[] = {
        {&sevenZip, IDC_7Z_SFX_WINDOWS}, {&lzh, IDC_LZH_LH5}, {&lzh, IDC_LZH_WINSFX32}};
    for (const auto& c : checked) EXPECT_EQ(c.first->control(c.second)->checked, BST_CHECKED) << c.second;
    EXPECT_EQ(sevenZip.control(IDC_7Z_SOLID)->checked, BST_UNCHECKED);
    EXPECT_EQ(ctx.sevenZipOptions, 1u);
    const std::pair<const char*, int> values[] = {
        {"7Zip-Level", 1}, {"7Zip-SfxMode", 2}, {"lh-type", 1013}, {"lhSFX-Mode", 1019}};
    for (const auto& v : values) EXPECT_EQ(stored(v.first), v.second) << v.first;
}
