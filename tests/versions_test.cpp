// Version queries: archiver version exports per format, the companions'
// version functions, version resources of files.
#include <gtest/gtest.h>
#include <windows.h>
#include "archivers/binding.h"
#include "archivers/versions.h"
#include "base/wide_text.h"
#include "base/converter_context.h"
#include "support/drop_context.h"
#include "support/dialog_driver.h"
#include "support/standins.h"

TEST(ArchiverVersion, EachFormatAsksItsDllsExport) {
    struct Case { ArchiveFormat format; unsigned expected; };
    // Defaults of the stand-ins; the TAR-GZ/TAR-BZ2 codes and ACE have no
    // version export of their own.
    const Case cases[] = {
        {FMT_LZH, 267}, {FMT_UNZIP, 553}, {FMT_ZIP, 296}, {FMT_CAB, 98},  {FMT_ARJ, 103},
        {FMT_TAR, 250}, {FMT_TARGZ, 0},   {FMT_TARBZ2, 0}, {FMT_RAR, 17}, {FMT_BZA, 40},
        {FMT_GZA, 40},  {FMT_GCA, 8},     {FMT_YZ1, 75},  {FMT_7Z, 920},  {FMT_ACE, 0},
        {0, 0},         {FMT_LZH | FMT_CAB, 0},
    };
    zip32jVersion = 1000;
    StandinFolder folder;
    for (const char* dll : STANDIN_ARCHIVER_DLLS) folder.add(dll);
    DropContext ctx;
    DialogDriver quiet([](DialogDriver&) {}, 500);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(getArchiverVersion(ctx, c.format), c.expected);
    }
    EXPECT_TRUE(quiet.finish());
    // The DLLs asked stay loaded; TAR-GZ loaded tar32.dll before finding no export.
    EXPECT_NE(ctx.hTar32, nullptr);
    EXPECT_NE(ctx.hYz1, nullptr);
    // Nothing is cached: the DLL is asked again at every call.
    setStandinVersion("tar32.dll", 22);
    EXPECT_EQ(getArchiverVersion(ctx, FMT_TAR), 22);
    setStandinVersion("yz1.dll", 65535);
    EXPECT_EQ(getArchiverVersion(ctx, FMT_YZ1), 65535);
    unloadArchivers(ctx);
    zip32jVersion = 1000;
}

TEST(ArchiverVersion, MissingExportOrDllGivesZeroSilently) {
    StandinFolder folder({"tar32.dll", "unlha32.dll"}, StandinSet::NoVersion);
    DropContext ctx;
    DialogDriver quiet([](DialogDriver&) {}, 500);
    EXPECT_EQ(getArchiverVersion(ctx, FMT_TAR), 0);
    EXPECT_EQ(getArchiverVersion(ctx, FMT_LZH), 0);
    EXPECT_EQ(getArchiverVersion(ctx, FMT_CAB), 0);   // not installed
    EXPECT_TRUE(quiet.finish());
    EXPECT_NE(ctx.hUnlha32, nullptr);
    EXPECT_EQ(ctx.hCab32, nullptr);
    unloadArchivers(ctx);
}

TEST(CompanionVersion, Zip32RecordDigitsAreJoined) {
    struct Case { unsigned char b56, b57, b58; unsigned expected; };
    const Case cases[] = {{2, 3, 0, 230}, {2, 31, 0, 2310}, {0, 0, 0, 0}, {3, 0, 1, 301}};
    StandinFolder folder({"zip32.dll"});
    for (const Case& c : cases) {
        setZip32Record(c.b56, c.b57, c.b58);
        EXPECT_EQ(getZip32Version(), c.expected);
    }
    EXPECT_EQ(GetModuleHandleA("zip32.dll"), nullptr);
    folder.remove("zip32.dll");
    EXPECT_EQ(getZip32Version(), 0);
    folder.add("zip32.dll", StandinSet::NoVersion);
    EXPECT_EQ(getZip32Version(), 0);
    EXPECT_EQ(GetModuleHandleA("zip32.dll"), nullptr);
}

TEST(CompanionVersion, UnrarIsLoadedOnlyForTheQuery) {
    StandinFolder folder;
    EXPECT_EQ(getUnrarVersion(), 0);
    folder.add("unrar.dll");
    setUnrarVersion(29);
    EXPECT_EQ(getUnrarVersion(), 29);
    EXPECT_EQ(GetModuleHandleA("unrar.dll"), nullptr);
    folder.remove("unrar.dll");
    folder.add("unrar.dll", StandinSet::NoVersion);
    EXPECT_EQ(getUnrarVersion(), 0);
    EXPECT_EQ(GetModuleHandleA("unrar.dll"), nullptr);
}

TEST(FileVersion, TextAndTypeFromTheVersionResource) {
    StandinFolder folder({"unlha32.dll", "versioned_app.exe"});
    folder.addFile("plain.txt", "no version resource here");
    struct Case { const char* name; bool hasVersion; const char* text; DWORD type; };
    const Case cases[] = {
        {"unlha32.dll", true, "2.67.0.2", VFT_DLL},
        {"versioned_app.exe", true, "1.2.3.4", VFT_APP},
        {"plain.txt", false, "", 0},
        {"missing.dll", false, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = folder.path() + c.name;
        char text[24];
        memset(text, 'x', sizeof text);
        EXPECT_EQ(getFileVersionText(path.c_str(), text, sizeof text), c.hasVersion);
        EXPECT_STREQ(text, c.text);
        EXPECT_EQ(getFileType(wideFromAnsi(path)), c.type);
    }
}

TEST(Platform, WineReportsTheNtFamily) { EXPECT_TRUE(isNtPlatform()); }
