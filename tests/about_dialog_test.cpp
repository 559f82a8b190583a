// The About dialog: the converter's own version line and one line per
// archiver component, with the version texts and alignment tabs.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "archivers/binding.h"
#include "archivers/versions.h"
#include "support/drop_context.h"
#include "support/dialog_driver.h"
#include "support/standins.h"
#include "ui/about_dialog.h"
#include "ui/resources/resource.h"
#include "ui_context.h"

namespace {

const bool fontReady = (useProportionalJapaneseFont(), true);

const char CAPTION[] = "ﾊﾞｰｼﾞｮﾝ情報";

SeenWindow showAbout(ConverterContext& ctx, const char* shot) {
    SeenWindow shown;
    DialogDriver driver([&](DialogDriver& d) {
        shown = d.waitFor(CAPTION);
        if (shot) d.screenshot(shot);
        d.click(shown, IDOK);
    });
    EXPECT_EQ(showAboutDialog(nullptr, archiverComponentVersions), 0);
    EXPECT_TRUE(driver.finish());
    unloadArchivers(ctx);   // before the stand-in folder goes away
    return shown;
}

std::string line(const SeenWindow& w, int id) {
    const SeenControl* c = w.control(id);
    return c ? c->text : "<missing>";
}

}  // namespace

TEST(AboutDialog, VersionTexts) {
    const std::pair<uint32_t, const char*> cases[] = {
        {0, "not installed."}, {1000, "10.00"}, {5, "0.05"}, {253, "2.53"}, {65535, "655.35"},
    };
    for (const auto& c : cases) EXPECT_EQ(versionNumberText(c.first), c.second) << c.first;
    EXPECT_EQ(fillComponentLine("A\t\t%s\tB", "1.00\t"), "A\t\t1.00\t\tB");
    EXPECT_EQ(fillComponentLine("no marker", "x"), "no marker");
    EXPECT_EQ(fillComponentLine("%s %s", "%s"), "%s %s");   // only the first marker, never reformatted
}

TEST(AboutDialog, NothingInstalled) {
    StandinFolder none;
    DropContext ctx;
    prepareContext(ctx, 0, false);
    SeenWindow shown = showAbout(ctx, "about_nothing_installed");
    EXPECT_EQ(line(shown, IDC_ABOUT_VERSION), "Archive converter Version 1.0.0.0");
    EXPECT_TRUE(shown.hasIcon());
    EXPECT_NE(shown.controlByText("Archiver DLL 情報"), nullptr);
    EXPECT_EQ(line(shown, IDC_ABOUT_README), "&Readme");
    EXPECT_EQ(line(shown, IDOK), "&OK");
    const std::pair<int, const char*> lines[] = {
        {1034, "UNLHA32.DLL\t\tnot installed.\tLZH 書庫"},
        {1035, "UNZIP32.DLL\t\tnot installed.\tZIP 展開"},
        {1036, "ZIP32.DLL\t\tnot installed.\tZIP 圧縮"},
        {1037, "ZIP32J.DLL\t\tnot installed.\tZIP 圧縮"},
        {1038, "SFX32GUI..DAT\t\tnot installed.\tZIP 自己解凍"},
        {1039, "TAR32.DLL\t\tnot installed.\tTAR/GZ/BZ2"},
        {1040, "CAB32.DLL\t\tnot installed.\tCAB 書庫"},
        {1041, "UNRAR32.DLL\t\tnot installed.\tRAR 展開"},
        {1042, "UNRAR.DLL\t\tnot installed.\tRAR 展開"},
        {1043, "UNARJ32J.DLL\tnot installed.\tARJ 展開"},
        {1044, "BGA32.DLL\t\tnot installed.\tBZA/GZA"},
        {1045, "YZ1.DLL\t\tnot installed.\tYZ1 書庫"},
        {1046, "UNACEV2.DLL\t\tnot installed.\tACE 展開"},
        {1047, "7-ZIP32.DLL\t\tnot installed.\t7z/ZIP"},
    };
    for (const auto& l : lines) EXPECT_EQ(line(shown, l.first), l.second) << l.first;
}

TEST(AboutDialog, InstalledComponentsShowTheirVersions) {
    StandinFolder dlls({"unlha32.dll", "7-zip32.dll", "yz1.dll", "tar32.dll", "unrar.dll", "zip32.dll"});
    dlls.addFile("sfx32gui.dat", "x");
    setStandinVersion("7-zip32.dll", 1000);
    setStandinVersion("yz1.dll", 5);
    setUnrarVersion(7);
    setZip32Record(2, 3, 1);
    DropContext ctx;
    prepareContext(ctx, FMT_LZH, false);
    SeenWindow shown = showAbout(ctx, "about_installed");
    // File version text of 8 characters: one tab appended before the template's own.
    EXPECT_EQ(line(shown, 1034), "UNLHA32.DLL\t\t2.67.0.2\t\tLZH 書庫");
    EXPECT_EQ(line(shown, 1047), "7-ZIP32.DLL\t\t10.00\t\t7z/ZIP");
    EXPECT_EQ(line(shown, 1045), "YZ1.DLL\t\t0.05\t\tYZ1 書庫");
    EXPECT_EQ(line(shown, 1039), "TAR32.DLL\t\t2.50\t\tTAR/GZ/BZ2");
    EXPECT_EQ(line(shown, 1042), "UNRAR.DLL\t\t0.07\t\tRAR 展開");
    EXPECT_EQ(line(shown, 1036), "ZIP32.DLL\t\t2.31\t\tZIP 圧縮");
    // "installed." is longer than the limit of its line: no tab appended.
    EXPECT_EQ(line(shown, 1038), "SFX32GUI..DAT\t\tinstalled.\tZIP 自己解凍");
    EXPECT_EQ(line(shown, 1035), "UNZIP32.DLL\t\tnot installed.\tZIP 展開");
}
