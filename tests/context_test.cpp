// The converter context: the capability mask the probe builds from the
// archiver DLLs on the search path, constructor values and what the
// destructor releases.
#include <gtest/gtest.h>
#include <windows.h>
#include <memory>
#include <string>
#include <vector>
#include "archivers/binding.h"
#include "base/converter_context.h"
#include "support/drop_context.h"
#include "support/dialog_driver.h"
#include "support/standins.h"

namespace {

struct Installed {
    const char* dll;
    StandinSet set;
};

struct ProbeCase {
    const char* name;
    std::vector<Installed> dlls;
    int tarVersion;              // -1: the stand-in's default
    uint32_t formats;
    uint32_t fUse7ZipLib;
};

const StandinSet F = StandinSet::Full;
const StandinSet NV = StandinSet::NoVersion;

const ProbeCase probeCases[] = {
    {"nothing installed", {}, -1, 0, 0},
    {"only 7-zip32", {{"7-zip32.dll", F}}, -1, FMT_7Z | FMT_ZIP | FMT_UNZIP, 3},
    {"zip32j without zip32", {{"zip32j.dll", F}}, -1, 0, 0},
    {"zip32 without zip32j", {{"zip32.dll", F}}, -1, 0, 0},
    {"zip32j with zip32", {{"zip32j.dll", F}, {"zip32.dll", F}}, -1, FMT_ZIP, 0},
    {"zip32j without zip32 but 7-zip32", {{"zip32j.dll", F}, {"7-zip32.dll", F}}, -1,
     FMT_7Z | FMT_ZIP | FMT_UNZIP, 3},
    {"7-zip32 beside the ZIP DLLs",
     {{"7-zip32.dll", F}, {"zip32j.dll", F}, {"zip32.dll", F}, {"unzip32.dll", F}}, -1,
     FMT_7Z | FMT_ZIP | FMT_UNZIP, 0},
    {"7-zip32 and unzip32 only", {{"7-zip32.dll", F}, {"unzip32.dll", F}}, -1, FMT_7Z | FMT_ZIP | FMT_UNZIP, 2},
    {"unrar32 without unrar", {{"unrar32.dll", F}}, -1, 0, 0},
    {"unrar without unrar32", {{"unrar.dll", F}}, -1, 0, 0},
    {"unrar32 with unrar", {{"unrar32.dll", F}, {"unrar.dll", F}}, -1, FMT_RAR, 0},
    {"tar32 50 alone", {{"tar32.dll", F}}, 50, FMT_TAR, 0},
    {"tar32 51 alone", {{"tar32.dll", F}}, 51, FMT_TAR | FMT_TARBZ2, 0},
    {"tar32 50 with bz2lib", {{"tar32.dll", F}, {"bz2lib.dll", F}}, 50, FMT_TAR | FMT_TARBZ2, 0},
    {"tar32 without TarGetVersion", {{"tar32.dll", NV}}, -1, FMT_TAR, 0},
    {"tar32 without TarGetVersion, with bz2lib", {{"tar32.dll", NV}, {"bz2lib.dll", F}}, -1,
     FMT_TAR | FMT_TARBZ2, 0},
    {"tar32 65535 counts unsigned", {{"tar32.dll", F}}, 65535, FMT_TAR | FMT_TARBZ2, 0},
    {"ungca32 is never offered", {{"ungca32.dll", F}}, -1, 0, 0},
    {"the single-DLL formats",
     {{"unlha32.dll", F}, {"cab32.dll", F}, {"unarj32j.dll", F}, {"bga32.dll", F}, {"yz1.dll", F}}, -1,
     FMT_LZH | FMT_CAB | FMT_ARJ | FMT_BZA | FMT_GZA | FMT_YZ1, 0},
};

const HMODULE ConverterContext::* const moduleFields[] = {
    &ConverterContext::hUnlha32, &ConverterContext::hUnzip32, &ConverterContext::hUnarj32j,
    &ConverterContext::hCab32,   &ConverterContext::hTar32,   &ConverterContext::hZip32j,
    &ConverterContext::hUnrar32, &ConverterContext::hBga32,   &ConverterContext::hUngca32,
    &ConverterContext::hYz1,     &ConverterContext::hUnacev2, &ConverterContext::h7zip32};

bool noModuleLoaded(const ConverterContext& ctx) {
    for (auto field : moduleFields)
        if (ctx.*field) return false;
    return true;
}

}  // namespace

TEST(ConverterContextProbe, CapabilityMaskFollowsTheInstalledDlls) {
    for (const ProbeCase& c : probeCases) {
        SCOPED_TRACE(c.name);
        StandinFolder folder;
        for (const Installed& dll : c.dlls) folder.add(dll.dll, dll.set);
        if (c.tarVersion >= 0) setStandinVersion("tar32.dll", static_cast<unsigned>(c.tarVersion));
        // The probe never shows anything: a message box would be dismissed
        // and reported by the driver.
        DialogDriver quiet([](DialogDriver&) {}, 500);
        {
            DropContext ctx;
            EXPECT_EQ(ctx.formats, c.formats);
            EXPECT_EQ(ctx.fUse7ZipLib, c.fUse7ZipLib);
            EXPECT_TRUE(noModuleLoaded(ctx));
        }
        EXPECT_TRUE(quiet.finish());
    }
}

TEST(ConverterContextProbe, UnaceIsOnlyLookedForNotLoaded) {
    StandinFolder folder;
    folder.addFile("unacev2.dll", "not even a DLL");
    DropContext ctx;
    EXPECT_EQ(ctx.formats, FMT_ACE);
    EXPECT_EQ(ctx.aceAvailable, -1);   // the binding still searches on its own
}

TEST(ConverterContextProbe, Tar32VersionIsAskedAndTheDllReleasedAgain) {
    StandinFolder folder({"tar32.dll", "unlha32.dll"});
    DropContext ctx;
    std::vector<StandinCall> calls = readStandinLog(folder.logPath());
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].dll, "tar32.dll");
    EXPECT_EQ(calls[0].exportName, "TarGetVersion");
    EXPECT_TRUE(noModuleLoaded(ctx));
    EXPECT_EQ(GetModuleHandleA("tar32.dll"), nullptr);
    EXPECT_EQ(GetModuleHandleA("unlha32.dll"), nullptr);
}

TEST(ConverterContext, ConstructorValues) {
    StandinFolder folder;
    ConverterContext ctx;
    EXPECT_EQ(currentContext, &ctx);
    EXPECT_EQ(ctx.sort, 1);
    EXPECT_EQ(ctx.sameTime, 0);
    EXPECT_EQ(ctx.sfxMode, 0);
    EXPECT_EQ(ctx.notConvSfx, 0);
    EXPECT_EQ(ctx.aceAvailable, -1);
    EXPECT_EQ(ctx.folderSearch, 0);
    EXPECT_STREQ(ctx.destFolder, L"");
    EXPECT_STREQ(ctx.sourceFolder, L"");
    EXPECT_EQ(ctx.ownerWindow, nullptr);
    EXPECT_EQ(ctx.listHeap, nullptr);
    EXPECT_TRUE(noModuleLoaded(ctx));
}

TEST(ConverterContext, DestructorReleasesHeapAndDlls) {
    StandinFolder folder({"unlha32.dll", "7-zip32.dll"});
    DWORD heapsBefore = GetProcessHeaps(0, nullptr);
    std::unique_ptr<ConverterContext> ctx(new ConverterContext);
    ctx->listHeap = HeapCreate(0, 0x8000, 0);
    ASSERT_NE(ctx->listHeap, nullptr);
    EXPECT_EQ(GetProcessHeaps(0, nullptr), heapsBefore + 1);
    ASSERT_NE(loadArchiver(*ctx, FMT_LZH, false), nullptr);
    ASSERT_NE(loadArchiver(*ctx, FMT_7Z, false), nullptr);
    ctx.reset();   // through the virtual destructor
    EXPECT_EQ(GetProcessHeaps(0, nullptr), heapsBefore);
    EXPECT_EQ(GetModuleHandleA("unlha32.dll"), nullptr);
    EXPECT_EQ(GetModuleHandleA("7-zip32.dll"), nullptr);
    EXPECT_EQ(currentContext, nullptr);
}
