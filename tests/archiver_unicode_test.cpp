// The archiver DLLs' Unicode mode: found only on the DLLs that take UTF-8
// in it, set for a call and set back after it.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "archivers/unicode_mode.h"
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
