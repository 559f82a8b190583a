// Binding of formats to archiver DLLs: shared handles, reloading, the ACE
// search, refused format codes, the zip32j.dll version gate with its
// process-wide memory, the command call, and the messages as shown.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstdio>
#include <string>
#include <vector>
#include "archivers/binding.h"
#include "archivers/listing.h"
#include "base/converter_context.h"
#include "support/drop_context.h"
#include "support/dialog_driver.h"
#include "support/scratch_folder.h"
#include "support/standins.h"

namespace {

const char LOAD_MESSAGE[] = "アーカイバ DLL がロードできません。";
const char ZIP32J_MESSAGE[] = "このバージョンの IZIP32J.DLL では圧縮できません。\n\nv0.23 以上をお使いください。";

// A visible top-level window to own the binding's message boxes.
struct OwnerWindow {
    HWND hwnd = CreateWindowA("STATIC", "owner", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 100, 50, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    ~OwnerWindow() { DestroyWindow(hwnd); }
};

// Runs `action` while a user clicks OK on every "Veltrox.dll" box; returns
// the texts of the boxes that appeared (each checked for caption, owner,
// icon and its single OK button).
template <typename Action>
std::vector<std::string> messagesDuring(HWND owner, Action action, size_t expected) {
    DialogDriver driver([expected](DialogDriver& d) {
        for (size_t i = 0; i < expected; ++i) {
            SeenWindow box = d.waitFor("Veltrox.dll");
            if (!box.hwnd) return;
            d.click(box, IDOK);
        }
    }, expected ? 20000 : 1000);
    action();
    EXPECT_TRUE(driver.finish());
    std::vector<std::string> texts;
    for (const SeenWindow& box : driver.seenWindows()) {
        EXPECT_EQ(box.owner, owner);
        EXPECT_TRUE(box.hasIcon());
        EXPECT_EQ(box.buttons(), std::vector<std::string>{"OK"});
        texts.push_back(box.text());
    }
    return texts;
}

class Binding : public ::testing::Test {
protected:
    void SetUp() override { zip32jVersion = 1000; }
    void TearDown() override { zip32jVersion = 1000; }
};

int callCount(const std::string& log, const char* dll) {
    int n = 0;
    for (const StandinCall& call : readStandinLog(log)) n += call.dll == dll;
    return n;
}

}  // namespace

TEST_F(Binding, FormatsOfOneDllShareOneLoad) {
    StandinFolder folder({"tar32.dll", "bga32.dll"});
    DropContext ctx;
    HMODULE tar = loadArchiver(ctx, FMT_TAR, true);
    ASSERT_NE(tar, nullptr);
    EXPECT_EQ(loadArchiver(ctx, FMT_TARGZ, true), tar);
    EXPECT_EQ(loadArchiver(ctx, FMT_TARBZ2, false), tar);
    HMODULE bga = loadArchiver(ctx, FMT_BZA, true);
    ASSERT_NE(bga, nullptr);
    EXPECT_EQ(loadArchiver(ctx, FMT_GZA, true), bga);
    EXPECT_EQ(ctx.hTar32, tar);
    EXPECT_EQ(ctx.hBga32, bga);
    // One reference each: a single release unloads them.
    unloadArchivers(ctx);
    EXPECT_EQ(ctx.hTar32, nullptr);
    EXPECT_EQ(ctx.hBga32, nullptr);
    EXPECT_EQ(GetModuleHandleA("tar32.dll"), nullptr);
    EXPECT_EQ(GetModuleHandleA("bga32.dll"), nullptr);
    // ... and the next request loads afresh.
    EXPECT_NE(loadArchiver(ctx, FMT_TARGZ, false), nullptr);
    EXPECT_NE(GetModuleHandleA("tar32.dll"), nullptr);
}

TEST_F(Binding, EveryFormatLoadsItsOwnDll) {
    struct Row { ArchiveFormat format; const char* dll; HMODULE ConverterContext::*field; const char* command; };
    const Row rows[] = {
        {FMT_LZH, "unlha32.dll", &ConverterContext::hUnlha32, "Unlha"},
        {FMT_UNZIP, "unzip32.dll", &ConverterContext::hUnzip32, "UnZip"},
        {FMT_ZIP, "zip32j.dll", &ConverterContext::hZip32j, "Zip"},
        {FMT_CAB, "cab32.dll", &ConverterContext::hCab32, "Cab"},
        {FMT_ARJ, "unarj32j.dll", &ConverterContext::hUnarj32j, "Unarj"},
        {FMT_TARBZ2, "tar32.dll", &ConverterContext::hTar32, "Tar"},
        {FMT_RAR, "unrar32.dll", &ConverterContext::hUnrar32, "Unrar"},
        {FMT_GZA, "bga32.dll", &ConverterContext::hBga32, "Bga"},
        {FMT_GCA, "ungca32.dll", &ConverterContext::hUngca32, "UnGCA"},
        {FMT_YZ1, "yz1.dll", &ConverterContext::hYz1, "Yz1"},
        {FMT_7Z, "7-zip32.dll", &ConverterContext::h7zip32, "SevenZip"},
    };
    StandinFolder folder;
    for (const char* dll : STANDIN_ARCHIVER_DLLS) folder.add(dll);
    DropContext ctx;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.dll);
        HMODULE module = loadArchiver(ctx, row.format, false);
        EXPECT_NE(module, nullptr);
        EXPECT_EQ(ctx.*(row.field), module);
        EXPECT_EQ(module, GetModuleHandleA(row.dll));
        EXPECT_STREQ(commandExportName(row.format), row.command);
    }
    EXPECT_EQ(commandExportName(FMT_ACE), nullptr);
    EXPECT_EQ(commandExportName(FMT_TAR | FMT_LZH), nullptr);
    unloadArchivers(ctx);
}

TEST_F(Binding, FailedLoadShowsMessageOnlyWhenAskedAndIsRetried) {
    StandinFolder folder;
    DropContext ctx;
    OwnerWindow owner;
    ctx.ownerWindow = owner.hwnd;
    HMODULE module = reinterpret_cast<HMODULE>(1);
    EXPECT_TRUE(messagesDuring(owner.hwnd, [&] { module = loadArchiver(ctx, FMT_LZH, false); }, 0).empty());
    EXPECT_EQ(module, nullptr);
    EXPECT_EQ(messagesDuring(owner.hwnd, [&] { module = loadArchiver(ctx, FMT_LZH, true); }, 1),
              std::vector<std::string>{LOAD_MESSAGE});
    EXPECT_EQ(module, nullptr);
    EXPECT_EQ(ctx.hUnlha32, nullptr);
    folder.add("unlha32.dll");
    EXPECT_NE(loadArchiver(ctx, FMT_LZH, true), nullptr);
    unloadArchivers(ctx);
}

TEST_F(Binding, CodesWithoutARowAreRefused) {
    StandinFolder folder;
    for (const char* dll : STANDIN_ARCHIVER_DLLS) folder.add(dll);
    DropContext ctx;
    OwnerWindow owner;
    ctx.ownerWindow = owner.hwnd;
    clearStandinLog(folder.logPath());   // the probe asked tar32.dll its version
    const ArchiveFormat refused[] = {0, FMT_LZH | FMT_ZIP, FMT_TAR | FMT_TARGZ, 0x8000, FORMAT_UNKNOWN};
    for (ArchiveFormat format : refused) {
        SCOPED_TRACE(format);
        HMODULE module = reinterpret_cast<HMODULE>(1);
        EXPECT_TRUE(messagesDuring(owner.hwnd, [&] { module = loadArchiver(ctx, format, false); }, 0).empty());
        EXPECT_EQ(module, nullptr);
        EXPECT_EQ(messagesDuring(owner.hwnd, [&] { module = loadArchiver(ctx, format, true); }, 1),
                  std::vector<std::string>{LOAD_MESSAGE});
        EXPECT_EQ(module, nullptr);
    }
    EXPECT_EQ(readStandinLog(folder.logPath()).size(), 0u);
    EXPECT_EQ(GetModuleHandleA("unlha32.dll"), nullptr);
    EXPECT_EQ(GetModuleHandleA("tar32.dll"), nullptr);
}

TEST_F(Binding, AceIsSearchedOncePerContext) {
    StandinFolder folder;
    DropContext ctx;
    OwnerWindow owner;
    ctx.ownerWindow = owner.hwnd;
    EXPECT_TRUE(messagesDuring(owner.hwnd, [&] { EXPECT_EQ(loadArchiver(ctx, FMT_ACE, false), nullptr); }, 0).empty());
    EXPECT_EQ(ctx.aceAvailable, 0);
    // Installed after the search: the context does not look again.
    std::string dllBytes;
    ASSERT_TRUE(readWholeFile(standinsRoot() + "full\\bz2lib.dll", dllBytes));
    folder.addFile("unacev2.dll", dllBytes);
    EXPECT_EQ(messagesDuring(owner.hwnd, [&] { EXPECT_EQ(loadArchiver(ctx, FMT_ACE, true), nullptr); }, 1),
              std::vector<std::string>{LOAD_MESSAGE});
    EXPECT_EQ(ctx.aceAvailable, 0);

    DropContext fresh;
    HMODULE ace = loadArchiver(fresh, FMT_ACE, true);
    EXPECT_NE(ace, nullptr);
    EXPECT_EQ(fresh.aceAvailable, 1);
    EXPECT_EQ(fresh.hUnacev2, ace);
    unloadArchivers(fresh);
}

// During a drop the DLL directory is the system folder, which takes the
// current folder out of the load's search; the probe and the ACE search
// follow the load, with and without that setting.
TEST_F(Binding, DllOnlyInTheCurrentFolderCountsOnlyWhereTheLoadFindsIt) {
    StandinFolder installed({"7-zip32.dll"});
    ScratchFolder current("cur");
    std::string lha = readBytes(standinsRoot() + "full\\unlha32.dll");
    ASSERT_FALSE(lha.empty());
    ASSERT_TRUE(writeBytes(current / "unlha32.dll", lha));
    ASSERT_TRUE(writeBytes(current / "unacev2.dll", lha));
    char previous[MAX_PATH], system[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    GetSystemDirectoryA(system, MAX_PATH);
    ASSERT_TRUE(SetCurrentDirectoryA(current.path().c_str()));
    for (bool duringDrop : {true, false}) {
        SetDllDirectoryA(duringDrop ? system : nullptr);
        DropContext ctx;
        EXPECT_EQ((ctx.formats & FMT_LZH) != 0, !duringDrop) << duringDrop;
        EXPECT_EQ((ctx.formats & FMT_ACE) != 0, !duringDrop) << duringDrop;
        EXPECT_NE(ctx.formats & FMT_7Z, 0u);
        HMODULE lzh = loadArchiver(ctx, FMT_LZH, false);
        EXPECT_EQ(lzh != nullptr, (ctx.formats & FMT_LZH) != 0) << duringDrop;
        loadArchiver(ctx, FMT_ACE, false);
        EXPECT_EQ(ctx.aceAvailable, duringDrop ? 0 : 1);
        unloadArchivers(ctx);
    }
    SetDllDirectoryA(nullptr);
    SetCurrentDirectoryA(previous);
}

// The zip32j.dll gate: which answers are accepted, what the first and the
// following requests do, and when the DLL is asked.
struct GateCase {
    const char* name;
    StandinSet set;
    unsigned version;
    bool accepted;
    size_t firstMessages;       // version messages at the first request
    size_t laterMessages;       // ... at the second request
    bool laterLoads;            // the second request (after unloadArchivers) loads the DLL again
    int versionQueries;         // ZipGetVersion calls over the three requests
};

const GateCase gateCases[] = {
    {"22 refused, later requests silent", StandinSet::Full, 22, false, 1, 0, false, 1},
    {"23 accepted, asked once", StandinSet::Full, 23, true, 0, 0, true, 1},
    {"1000 accepted, asked at every request", StandinSet::Full, 1000, true, 0, 0, true, 3},
    {"1001 refused with a message every time", StandinSet::Full, 1001, false, 1, 1, true, 1},
    {"no ZipGetVersion: message once, then silent", StandinSet::NoVersion, 0, false, 1, 0, false, 0},
};

TEST_F(Binding, Zip32jVersionGate) {
    for (const GateCase& c : gateCases) {
        SCOPED_TRACE(c.name);
        zip32jVersion = 1000;
        StandinFolder folder;
        folder.add("zip32j.dll", c.set);
        setStandinVersion("zip32j.dll", c.version);
        OwnerWindow owner;
        DropContext ctx;
        ctx.ownerWindow = owner.hwnd;
        HMODULE first = nullptr;
        // showErrors false: the version message is shown all the same.
        std::vector<std::string> texts =
            messagesDuring(owner.hwnd, [&] { first = loadArchiver(ctx, FMT_ZIP, false); }, c.firstMessages);
        EXPECT_EQ(texts, std::vector<std::string>(c.firstMessages, ZIP32J_MESSAGE));
        EXPECT_EQ(first != nullptr, c.accepted);
        // A refused DLL stays in the table until the context releases it.
        EXPECT_NE(ctx.hZip32j, nullptr);
        HMODULE again = nullptr;
        texts = messagesDuring(owner.hwnd, [&] { again = loadArchiver(ctx, FMT_ZIP, true); }, c.firstMessages ? c.laterMessages : 0);
        EXPECT_EQ(again, first);

        unloadArchivers(ctx);
        texts = messagesDuring(owner.hwnd, [&] { again = loadArchiver(ctx, FMT_ZIP, true); }, c.laterMessages);
        EXPECT_EQ(texts, std::vector<std::string>(c.laterMessages, ZIP32J_MESSAGE));
        EXPECT_EQ(again != nullptr, c.accepted);
        EXPECT_EQ(ctx.hZip32j != nullptr, c.laterLoads);
        EXPECT_EQ(callCount(folder.logPath(), "zip32j.dll"), c.versionQueries);
        unloadArchivers(ctx);
    }
}

TEST_F(Binding, MissingZip32jLeavesTheGateUnasked) {
    StandinFolder folder;
    OwnerWindow owner;
    DropContext ctx;
    ctx.ownerWindow = owner.hwnd;
    EXPECT_EQ(messagesDuring(owner.hwnd, [&] { EXPECT_EQ(loadArchiver(ctx, FMT_ZIP, true), nullptr); }, 1),
              std::vector<std::string>{LOAD_MESSAGE});
    EXPECT_TRUE(messagesDuring(owner.hwnd, [&] { EXPECT_EQ(loadArchiver(ctx, FMT_ZIP, false), nullptr); }, 0).empty());
    EXPECT_EQ(zip32jVersion, 1000);
}

TEST_F(Binding, CommandCallClearsTheBufferAndReportsTheResult) {
    StandinFolder folder({"cab32.dll"});
    setStandinAction("cab32.dll", "none");
    OwnerWindow owner;
    DropContext ctx;
    ctx.ownerWindow = owner.hwnd;
    HMODULE cab = loadArchiver(ctx, FMT_CAB, true);
    ASSERT_NE(cab, nullptr);
    ctx.outputBuffer[0] = 'X';
    const std::string command = "-x -r -o \"C:\\a b\\\x95\x5C.cab\" \"C:\\w\\\"";
    EXPECT_TRUE(runArchiverCommand(ctx, cab, "Cab", command));
    setStandinResult("cab32.dll", 0x8005);
    EXPECT_FALSE(runArchiverCommand(ctx, cab, "Cab", command));
    EXPECT_FALSE(runArchiverCommand(ctx, cab, "NoSuchExport", command));
    std::vector<StandinCall> calls = readStandinCommands(folder.logPath());
    ASSERT_EQ(calls.size(), 2u);
    for (const StandinCall& call : calls) {
        EXPECT_EQ(call.commandLine, command);
        EXPECT_EQ(call.bufferSize, 32768);
        EXPECT_EQ(call.outputFirstByte, 0);
        char ownerText[32];
        snprintf(ownerText, sizeof ownerText, "%p", static_cast<void*>(owner.hwnd));
        EXPECT_EQ(call.owner, ownerText);
    }
    unloadArchivers(ctx);
}

// Kept last in this program: a process cannot undo SetDefaultDllDirectories.
// After an archiver DLL narrowed the process's search to the system folder
// and added folders (as 7-zip32.dll does in every command), DLLs that lie
// only on PATH are still found by the probe and loaded by the same full path,
// and a DLL's own bare-name load of its companion finds it beside the DLL.
TEST_F(Binding, LoadsAndCompanionsSurviveANarrowedSearch) {
    StandinFolder folder({"tar32.dll", "zip32j.dll", "zip32.dll", "izip32j.dll", "unrar32.dll", "unrar.dll"});
    setStandinLoadLibrary("zip32j.dll", "izip32j.dll");
    typedef BOOL(WINAPI * Narrow)(DWORD);
    Narrow narrow = reinterpret_cast<Narrow>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories"));
    ASSERT_NE(narrow, nullptr);
    ASSERT_TRUE(narrow(LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_USER_DIRS));
    ASSERT_EQ(LoadLibraryA("tar32.dll"), nullptr);   // the process's own search lost PATH

    DropContext ctx;
    EXPECT_EQ(ctx.formats & (FMT_TAR | FMT_ZIP | FMT_RAR), FMT_TAR | FMT_ZIP | FMT_RAR);
    for (ArchiveFormat format : {FMT_TAR, FMT_RAR}) EXPECT_NE(loadArchiver(ctx, format, false), nullptr) << format;
    HMODULE zip = loadArchiver(ctx, FMT_ZIP, false);
    ASSERT_NE(zip, nullptr);
    char path[MAX_PATH] = "";
    GetModuleFileNameA(zip, path, MAX_PATH);
    EXPECT_EQ(std::string(path), folder.path() + "zip32j.dll");

    ScratchFolder work("work");
    EXPECT_TRUE(runArchiverCommand(ctx, zip, "Zip", "-S -6 \"" + (work / "a.zip") + "\" \"" + work.path() + "\" *.*"));
    std::vector<StandinCall> calls = readStandinCommands(folder.logPath());
    ASSERT_EQ(calls.size(), 1u);
    ASSERT_EQ(calls[0].loads.size(), 1u);
    EXPECT_EQ(calls[0].loads[0], "izip32j.dll\t" + folder.path() + "izip32j.dll");

    // The listing, too, finds what the DLL loads beside itself.
    setStandinLoadLibrary("unrar32.dll", "unrar.dll");
    StandinArchive archive;
    archive.entries.push_back(StandinEntry{});
    archive.entries.back().name = "r.txt";
    ASSERT_TRUE(writeStandinArchive(work / "a.rar", archive));
    std::vector<ListedEntry> entries;
    EXPECT_EQ(listArchive(ctx, FMT_RAR, (work / "a.rar").c_str(), entries), ListingResult::listed);
    EXPECT_EQ(entries.size(), 1u);
    unloadArchivers(ctx);
}
