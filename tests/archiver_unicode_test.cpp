// The archiver DLLs' Unicode mode: found only on the DLLs that take UTF-8
// in it, set for a call and set back after it.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "archivers/binding.h"
#include "archivers/unicode_mode.h"
#include "support/drop_context.h"
#include "support/standins.h"

TEST(ArchiverUnicodeMode, OnlyUtf8DllsAndSetBackAfterTheCall) {
    struct Row {
        const char* dll;
        const char* command;
        bool hasMode;
    };
    const Row rows[] = {
        {"7-zip32.dll", "SevenZip", true}, {"unlha32.dll", "Unlha", true}, {"unrar32.dll", "Unrar", true},
        // These export the same name here, but take ANSI text only.
        {"tar32.dll", "Tar", false},       {"unzip32.dll", "UnZip", false}, {"cab32.dll", "Cab", false},
    };
    StandinFolder dlls({"7-zip32.dll", "unlha32.dll", "unrar32.dll", "tar32.dll", "unzip32.dll", "cab32.dll"});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.dll);
        clearStandinLog(dlls.logPath());
        HMODULE module = LoadLibraryA(row.dll);
        ASSERT_NE(module, nullptr);
        ArchiverUnicodeModeProc proc = findUnicodeMode(module, row.command);
        EXPECT_EQ(proc != nullptr, row.hasMode);
        {
            UnicodeModeScope scope(proc);
            EXPECT_EQ(scope.active(), row.hasMode);
        }
        std::vector<std::string> calls;
        for (const StandinCall& call : readStandinLog(dlls.logPath()))
            calls.push_back(call.exportName + "=" + std::to_string(call.result));
        std::string mode = std::string(row.command) + "SetUnicodeMode=";
        std::vector<std::string> expected;
        if (row.hasMode) expected = {mode + "1", mode + "0"};
        EXPECT_EQ(calls, expected);
        FreeLibrary(module);
    }
    EXPECT_EQ(findUnicodeMode(nullptr, "SevenZip"), nullptr);
}

TEST(ArchiverUnicodeMode, CommandLineGoesAsUtf8InsideTheMode) {
    StandinFolder dlls({"7-zip32.dll", "tar32.dll"});
    DropContext ctx;
    // "表" is 0x95 0x5C in code page 932.
    const std::string line = "x -y \"C:\\\x95\x5c.7z\" \"C:\\w\\\"";
    HMODULE sevenZip = LoadLibraryA("7-zip32.dll"), tar = LoadLibraryA("tar32.dll");
    ASSERT_TRUE(sevenZip && tar);
    clearStandinLog(dlls.logPath());  // the probe asked tar32 its version
    setStandinAction("7-zip32.dll", "none");
    ctx.unicodeNames = 1;
    EXPECT_TRUE(runArchiverCommand(ctx, sevenZip, "SevenZip", line));
    EXPECT_FALSE(runArchiverCommand(ctx, tar, "Tar", line));
    ctx.unicodeNames = 0;
    EXPECT_TRUE(runArchiverCommand(ctx, sevenZip, "SevenZip", line));  // byte for byte as always
    std::vector<std::string> calls;
    for (const StandinCall& call : readStandinLog(dlls.logPath()))
        calls.push_back(call.exportName + (call.bufferSize >= 0 ? " " + call.commandLine : "=" + std::to_string(call.result)));
    EXPECT_EQ(calls, (std::vector<std::string>{"SevenZipSetUnicodeMode=1",
                                               "SevenZip x -y \"C:\\\xe8\xa1\xa8.7z\" \"C:\\w\\\"",
                                               "SevenZipSetUnicodeMode=0", "SevenZip " + line}));
    FreeLibrary(sevenZip);
    FreeLibrary(tar);
}

TEST(ArchiverUnicodeMode, WhichFormatsCarryUnicodeNames) {
    StandinFolder dlls({"7-zip32.dll", "unlha32.dll", "unrar32.dll", "tar32.dll", "unzip32.dll", "cab32.dll"});
    DropContext ctx;
    const struct {
        ArchiveFormat format;
        const char* dll;
        bool carries;
    } rows[] = {{FMT_7Z, "7-zip32.dll", true},   {FMT_LZH, "unlha32.dll", true}, {FMT_RAR, "unrar32.dll", true},
                {FMT_TARGZ, "tar32.dll", false}, {FMT_UNZIP, "unzip32.dll", false}, {FMT_CAB, "cab32.dll", false}};
    for (const auto& row : rows) {
        EXPECT_EQ(archiverCarriesUnicodeNames(ctx, row.format), row.carries) << row.dll;
        EXPECT_STREQ(archiverDllName(row.format), row.dll);
    }
    EXPECT_FALSE(archiverCarriesUnicodeNames(ctx, FMT_BZA));  // not installed
    unloadArchivers(ctx);
}

// The DLL's own text reads as UTF-8 after a call in the Unicode mode, as ANSI
// otherwise (also when "UTF-8" would not decode), and never past the buffer.
TEST(ArchiverUnicodeMode, OutputTextInTheModeOfTheCall) {
    DropContext ctx;
    const struct {
        int unicodeNames;
        std::string bytes;
        std::wstring text;
    } rows[] = {{1, "\xc3\xbc \xed\x95\x9c", L"\u00fc \ud55c"},
                {0, "\x95\x5c", L"\u8868"},
                {1, "\x95\x5c", L"\u8868"}};
    for (const auto& row : rows) {
        ctx.unicodeNames = row.unicodeNames;
        memcpy(ctx.outputBuffer, row.bytes.c_str(), row.bytes.size() + 1);
        EXPECT_EQ(archiverOutputText(ctx), row.text) << row.bytes;
    }
    memset(ctx.outputBuffer, 'a', sizeof ctx.outputBuffer);
    EXPECT_EQ(archiverOutputText(ctx).size(), sizeof ctx.outputBuffer);
}
