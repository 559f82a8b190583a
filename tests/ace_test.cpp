// ACE extraction against the stand-in unacev2.dll: the answers the callbacks
// give, the volume question, the password and progress dialogs, cancelling,
// and a real extraction through the WINAPI entry points.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "archivers/ace.h"
#include "archivers/binding.h"
#include "archivers/extract.h"
#include "engine/driver.h"
#include "support/drop_context.h"
#include "support/dialog_driver.h"
#include "support/scratch_folder.h"
#include "support/standin_archive.h"
#include "support/standins.h"
#include "support/text.h"
#include "ui/ace_dialogs.h"
#include "ui/resources/resource.h"

namespace {

const char NOT_AN_ARCHIVE[] = "\n\nは書庫と認識できないか、または未対応の形式です。";
const char CANCELLED[] = "ユーザによって中断されました。";

std::string standinDll() { return buildFolder() + "standins\\ace\\unacev2.dll"; }

std::string windowText(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return fromWide(text);
}

struct AceTest : testing::Test {
    HMODULE dll = nullptr;
    ScratchFolder scratch{"ace"};
    std::string folder = scratch.path();   // ANSI, ends in a backslash
    std::string script;

    void SetUp() override {
        dll = LoadLibraryA(standinDll().c_str());
        ASSERT_NE(dll, nullptr) << standinDll();
        CreateDirectoryA((folder + "out").c_str(), nullptr);
        script = folder + "script.txt";
        SetEnvironmentVariableA("VELTROX_ACE_SCRIPT", script.c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableA("VELTROX_ACE_SCRIPT", nullptr);
        if (dll) FreeLibrary(dll);
    }

    // A stand-in archive behind an ACE signature; entries are
    // "D folder" / "F name\tcontent" (UTF-8).
    std::string makeArchive(const std::string& name, const std::vector<std::string>& entries) {
        StandinArchive archive;
        for (const std::string& line : entries) {
            StandinEntry entry;
            entry.folder = line[0] == 'D';
            size_t tab = line.find('\t');
            entry.name = toAnsi(line.substr(2, tab == std::string::npos ? std::string::npos : tab - 2));
            if (tab != std::string::npos) entry.data = toAnsi(line.substr(tab + 1));
            archive.entries.push_back(entry);
        }
        std::string path = folder + name;
        writeBytes(path, std::string("\x31\x00\x00\x00\x00\x00\x00**ACE**\n", 15) + encodeStandinArchive(archive));
        return path;
    }

    // Plays the script (UTF-8 lines) during one extraction; returns the
    // stand-in's log lines (UTF-8).
    std::vector<std::string> extract(const std::vector<std::string>& lines, const std::string& archive,
                                     int* result, AceExtractor** seenExtractor = nullptr) {
        std::string text;
        for (const std::string& line : lines) text += toAnsi(line) + "\n";
        writeBytes(script, text);
        DeleteFileA((script + ".log").c_str());
        AceExtractor extractor(dll, converterAceDialogs);
        *result = extractor.extractAceArchive(nullptr, archive.c_str(), (folder + "out\\").c_str());
        EXPECT_EQ(extractor.progressDialog, nullptr);
        EXPECT_EQ(extractor.cancelRequested, 0);
        std::vector<std::string> log;
        std::istringstream in(fromAnsi(readBytes(script + ".log")));
        for (std::string line; std::getline(in, line);) log.push_back(line);
        return log;
    }

    // The answer lines of a log (those with "->").
    static std::vector<std::string> answers(const std::vector<std::string>& log) {
        std::vector<std::string> lines;
        for (const std::string& line : log)
            if (line.find(" -> ") != std::string::npos) lines.push_back(line);
        return lines;
    }
};

TEST_F(AceTest, CallbacksAnswerByStructureTypeAndCode) {
    struct Case { const char* line; const char* answer; };
    const Case cases[] = {
        {"info\t0", "info 0 0 -> 0"},
        {"info\t99", "info 0 99 -> 0"},
        {"error\t0\t512", "error 0 512 -> 0"},
        {"error\t0\t518", "error 0 518 -> 0"},
        {"error\t0\t513", "error 0 513 -> 2"},
        {"error\t1\t546", "error 1 546 -> 0"},
        {"error\t1\t550", "error 1 550 -> 0"},
        {"error\t1\t552", "error 1 552 -> 0"},
        {"error\t1\t556", "error 1 556 -> 0"},
        {"error\t1\t558", "error 1 558 -> 0"},
        {"error\t1\t559", "error 1 559 -> 0"},
        {"error\t1\t561", "error 1 561 -> 0"},
        {"error\t1\t547", "error 1 547 -> 2"},
        {"error\t1\t512", "error 1 512 -> 2"},
        {"error\t2\t576", "error 2 576 -> 0"},
        {"error\t2\t580", "error 2 580 -> 0"},
        {"error\t2\t582", "error 2 582 -> 0"},
        {"error\t2\t586", "error 2 586 -> 0"},
        {"error\t2\t587", "error 2 587 -> 0"},
        {"error\t2\t588", "error 2 588 -> 0"},
        {"error\t2\t577", "error 2 577 -> 2"},
        {"error\t2\t518", "error 2 518 -> 2"},
        {"error\t3\t512", "error 3 512 -> 2"},
        {"error\t5\t576", "error 5 576 -> 2"},
        {"error\t9\t546", "error 9 546 -> 2"},
        {"request\t1\t800", "request 1 800 -> 2"},
        {"request\t2\t832", "request 2 832 -> 0"},
        {"request\t2\t836", "request 2 836 -> 2"},
        {"request\t0\t801", "request 0 801 -> 2"},
        {"request\t3\t835", "request 3 835 -> 2"},
        {"state\t1\t1024", "state 1 1024 -> 0"},
        {"state\t2\t1040", "state 2 1040 -> 0"},
        {"state\t7\t1056\t2\tother.bin\t8192\t4096", "state 7 1056 -> 0"},
        {"state\t7\t1057\t3\tother.bin\t8192\t4096", "state 7 1057 -> 0"},
        {"state\t7\t1056\t3\tfile.bin\t8192\t4096", "state 7 1056 -> 0"},
        {"state\t0\t1024", "state 0 1024 -> 0"},
    };
    std::vector<std::string> lines = {"keepgoing"};
    std::vector<std::string> expected;
    for (const Case& c : cases) {
        lines.push_back(c.line);
        expected.push_back(c.answer);
    }
    std::string archive = makeArchive("table.ace", {"F a.txt\tA"});
    int result = 0;
    std::vector<std::string> log = extract(lines, archive, &result);
    EXPECT_EQ(answers(log), expected);
    // Some answers were 2, so the stand-in extracted nothing.
    EXPECT_EQ(result, 255);
    EXPECT_EQ(GetFileAttributesA((folder + "out\\a.txt").c_str()), INVALID_FILE_ATTRIBUTES);

    // The structures reached the DLL with the values the interface needs.
    ASSERT_GE(log.size(), 2u);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    EXPECT_EQ(log[0], "init 131071 196607 8192 comment tempdir=" + fromAnsi(temp));
    EXPECT_EQ(log[1], "extract sourcedir= filelist=* exclude= fullmatch=0 excludepath=0 dest=" +
                          fromAnsi(folder) + "out\\");
}

TEST_F(AceTest, ExtractsThroughTheContextAndKeepsFolders) {
    std::string archive = makeArchive("real.ace", {"D 空のフォルダ", "F docs\\読んでね.txt\tこんにちは",
                                                   "F top.txt\ttop level"});
    writeBytes(script, "state\t7\t1056\t3\ttop.txt\t4096\t2048\n");
    DropContext ctx;
    ctx.hUnacev2 = LoadLibraryA(standinDll().c_str());   // the context releases its own reference
    std::string out = folder + "out\\";
    EXPECT_TRUE(extractAce(ctx, archive.c_str(), out.c_str()));
    EXPECT_EQ(fromAnsi(readBytes(out + toAnsi("docs\\読んでね.txt"))), "こんにちは");
    EXPECT_EQ(readBytes(out + "top.txt"), "top level");
    DWORD attributes = GetFileAttributesA((out + toAnsi("空のフォルダ")).c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
}

TEST_F(AceTest, NonAceFileIsRefusedWithItsPathAndNoProgressDialog) {
    std::string path = folder + toAnsi("偽物.ace");
    writeBytes(path, "Rar!\x1a\x07\x00 not an ACE archive");
    DialogDriver driver([](DialogDriver& d) {
        SeenWindow box = d.waitFor();
        d.click(box, IDOK);
    });
    int result = 0;
    std::vector<std::string> log = extract({"info\t0"}, path, &result);
    ASSERT_TRUE(driver.finish());
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(log.empty());   // the extraction call never ran
    ASSERT_EQ(driver.seenCount(), 1u);
    EXPECT_EQ(driver.seen(0).caption, "Veltrox.dll");
    EXPECT_EQ(driver.seen(0).text(), fromAnsi(path) + NOT_AN_ARCHIVE);
}

TEST_F(AceTest, MissingVolumeIsAskedForExistingOneIsNot) {
    std::string archive = makeArchive("volumes.ace", {"F a.txt\tA"});
    std::string missing = folder + toAnsi("無い巻.c01");
    std::vector<std::string> owners;
    DialogDriver driver([&](DialogDriver& d) {
        d.waitFor("進捗状況");   // open during the whole extraction call
        SeenWindow first = d.waitFor("Veltrox.dll");
        owners.push_back(windowText(first.owner));
        d.click(first, IDOK);
        SeenWindow second = d.waitFor("Veltrox.dll");
        owners.push_back(windowText(second.owner));
        d.click(second, IDCANCEL);
    });
    int result = 0;
    std::vector<std::string> log = extract(
        {"keepgoing", "request\t1\t801\t" + fromAnsi(archive), "request\t1\t801\t" + fromAnsi(missing),
         "request\t1\t801\t" + fromAnsi(missing)},
        archive, &result);
    ASSERT_TRUE(driver.finish());
    EXPECT_EQ(answers(log), (std::vector<std::string>{"request 1 801 -> 0", "request 1 801 -> 0",
                                                      "request 1 801 -> 2"}));
    ASSERT_EQ(driver.seenCount(), 3u);
    for (size_t i = 1; i < 3; ++i) {
        const SeenWindow& box = driver.seen(i);
        EXPECT_EQ(box.text(), "'" + fromAnsi(missing) + "'\n\nが存在する事を確認して「OK」ボタンをクリックしてください。");
        EXPECT_EQ(box.buttons(), (std::vector<std::string>{"OK", "キャンセル"}));
    }
    EXPECT_EQ(owners, (std::vector<std::string>{"進捗状況", "進捗状況"}));
}

TEST_F(AceTest, PasswordDialogHandsTheTypedPasswordToTheDll) {
    std::string archive = makeArchive("secret.ace", {"F 秘密.txt\tS"});
    const std::string longPassword(300, 'p');
    std::string owner;
    DialogDriver driver([&](DialogDriver& d) {
        d.waitFor("進捗状況");
        SeenWindow dialog = d.waitFor("パスワードの入力");
        owner = windowText(dialog.owner);
        d.screenshot("ace_password");
        d.click(dialog, IDOK);   // nothing typed yet
        SeenWindow refusal = d.waitFor("Veltrox.dll");
        d.click(refusal, IDOK);
        d.setText(dialog, IDC_ACE_PASSWORD_EDIT, "開けゴマ");
        d.click(dialog, IDOK);
        SeenWindow again = d.waitFor("パスワードの入力");
        d.setText(again, IDC_ACE_PASSWORD_EDIT, longPassword);
        d.click(again, IDOK);
        SeenWindow last = d.waitFor("パスワードの入力");
        d.click(last, IDCANCEL);
    });
    int result = 0;
    std::vector<std::string> log = extract(
        {"keepgoing", "request\t2\t835\t秘密.txt", "request\t2\t835\tdir\\long.txt", "request\t2\t835\tx.txt"},
        archive, &result);
    ASSERT_TRUE(driver.finish());
    EXPECT_EQ(answers(log), (std::vector<std::string>{"request 2 835 -> 0 password=開けゴマ",
                                                      "request 2 835 -> 0 password=" + longPassword.substr(0, 255),
                                                      "request 2 835 -> 2"}));
    ASSERT_EQ(driver.seenCount(), 5u);
    const SeenWindow& dialog = driver.seen(1);
    ASSERT_NE(dialog.control(IDC_ACE_PASSWORD_PROMPT), nullptr);
    EXPECT_EQ(dialog.control(IDC_ACE_PASSWORD_PROMPT)->text,
              "秘密.txt\n解凍する為に必要なパスワードを入力してください。");
    EXPECT_TRUE(dialog.control(IDC_ACE_PASSWORD_EDIT)->style & ES_PASSWORD);
    EXPECT_TRUE(dialog.hasIcon());
    EXPECT_EQ(dialog.buttons(), (std::vector<std::string>{"&OK", "キャンセル"}));
    EXPECT_EQ(owner, "進捗状況");
    EXPECT_EQ(driver.seen(2).text(), "パスワードを入力してください。");
    EXPECT_EQ(driver.seen(3).control(IDC_ACE_PASSWORD_PROMPT)->text,
              "dir\\long.txt\n解凍する為に必要なパスワードを入力してください。");
}

TEST_F(AceTest, CancelStopsTheExtractionOnceAndTheNextArchiveStartsClean) {
    std::string first = makeArchive("first.ace", {"F one.txt\t1"});
    std::string second = makeArchive("second.ace", {"F two.txt\t2"});
    DialogDriver cancelling([](DialogDriver& d) {
        SeenWindow progress = d.waitFor("進捗状況");
        d.screenshot("ace_progress");
        d.click(progress, IDCANCEL);
        SeenWindow box = d.waitFor("Veltrox.dll");
        d.click(box, IDOK);
    });
    int result = 0;
    std::vector<std::string> log = extract({"progress-until-cancel\tbig.bin\t1048576\t400\t50"}, first, &result);
    ASSERT_TRUE(cancelling.finish());
    EXPECT_EQ(result, 255);
    ASSERT_EQ(answers(log).size(), 1u);
    EXPECT_EQ(answers(log)[0].substr(answers(log)[0].size() - 4), "-> 2");
    ASSERT_EQ(cancelling.seenCount(), 2u);
    const SeenWindow& progress = cancelling.seen(0);
    EXPECT_FALSE(progress.style & WS_SYSMENU);
    ASSERT_NE(progress.control(IDCANCEL), nullptr);
    EXPECT_EQ(progress.control(IDCANCEL)->text, "中止(&X)");
    EXPECT_EQ(cancelling.seen(1).text(), CANCELLED);
    EXPECT_FALSE(IsWindow(progress.hwnd));

    // The next archive of the run: its own dialog, no cancellation carried over.
    DialogDriver watching([](DialogDriver& d) { d.waitFor("進捗状況"); });
    log = extract({"progress-until-cancel\ttwo.txt\t4096\t20\t100"}, second, &result);
    EXPECT_TRUE(watching.finish());   // no "cancelled" box appeared
    EXPECT_EQ(result, 0);
    EXPECT_EQ(answers(log), (std::vector<std::string>{"progress-until-cancel reports=20 -> 0"}));
    EXPECT_EQ(readBytes(folder + "out\\two.txt"), "2");
}

// unacev2.dll found on the search path like any archiver DLL: the binding
// loads it, the extraction routes ACE to it, and the driver converts the
// archive into another format.
TEST_F(AceTest, ExtractionTableRoutesAceThroughTheLoadedDll) {
    std::string archive = makeArchive("routed.ace", {"F r.txt\tR"});
    StandinFolder dlls;
    dlls.addFile("unacev2.dll", readBytes(standinDll()));
    writeBytes(script, "");
    {
        DropContext ctx;
        EXPECT_TRUE(ctx.formats & FMT_ACE);
        ASSERT_NE(loadArchiver(ctx, FMT_ACE, false), nullptr);
        EXPECT_TRUE(extractArchive(ctx, archive.c_str(), (folder + "out\\").c_str(), FMT_ACE));
        unloadArchivers(ctx);
    }
    EXPECT_EQ(readBytes(folder + "out\\r.txt"), "R");
}

TEST_F(AceTest, DriverConvertsAnAceArchiveIntoLzh) {
    std::string archive = makeArchive(toAnsi("書庫.ace"), {"F 中\\文書.txt\tぶんしょ", "F a.txt\tA"});
    std::string destination = folder + "dest\\";
    CreateDirectoryA(destination.c_str(), nullptr);
    StandinFolder dlls({"unlha32.dll"});
    dlls.addFile("unacev2.dll", readBytes(standinDll()));
    // Reports keep the progress dialog served while the script looks at it.
    writeBytes(script, "progress-until-cancel\ta.txt\t4096\t30\t100\n");
    DialogDriver driver([&](DialogDriver& d) {
        SeenWindow dialog = d.waitFor("書庫を他の形式に変換して保存");
        d.setCheck(dialog, IDC_CONV_LZH, true);
        // unacev2.dll cannot list an archive: the source is kept and named.
        d.setCheck(dialog, IDC_CONV_AFTER_DEL, true);
        d.setText(dialog, IDC_CONV_DEST, fromAnsi(destination));
        d.click(dialog, IDOK);
        d.waitFor("進捗状況");
        d.click(d.waitFor("Veltrox.dll"), IDOK);
    });
    {
        DropContext ctx;
        std::wstring inputs = toWide(fromAnsi(archive)) + L'\0';
        EXPECT_TRUE(convertAll(ctx, inputs.c_str()));
    }
    ASSERT_TRUE(driver.finish());
    EXPECT_EQ(driver.seen(driver.seenCount() - 1).text(),
              "次の書庫は変換結果を確認できなかったため、ごみ箱へ移動しませんでした。\n\n" + fromAnsi(archive));
    EXPECT_TRUE(pathExists(archive));
    StandinArchive converted;
    ASSERT_TRUE(readStandinArchive(destination + toAnsi("書庫.lzh"), converted));
    EXPECT_EQ(converted.madeBy, "unlha32.dll");
    std::vector<std::string> files;
    for (const std::string& entry : describeStandinArchive(converted))
        if (entry[0] == 'F') files.push_back(fromAnsi(entry));
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"F a.txt=A", "F 中\\文書.txt=ぶんしょ"}));
}

// updateProgress and pumpMessage on the test's own thread.
TEST(AceProgress, BarRangeComesFromTheFirstReportOnly) {
    AceExtractor extractor(nullptr, converterAceDialogs);
    ASSERT_NE(createProgressDialog(extractor, nullptr), nullptr);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);

    EXPECT_EQ(updateProgress(extractor, "a.bin", 10u << 20, 1u << 20), 0);
    HWND bar = GetDlgItem(extractor.progressDialog, IDC_ACE_PROGRESS_BAR);
    EXPECT_EQ(extractor.progressBar, bar);
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 10240);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 1024);
    EXPECT_EQ(updateProgress(extractor, "b.bin", 50u << 20, 2u << 20), 0);
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 10240);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 2048);
    EXPECT_EQ(windowText(GetDlgItem(extractor.progressDialog, IDC_ACE_PROGRESS_TEXT)), "Extracting : b.bin");

    // A cancel is seen only by a report that finds a message waiting.
    extractor.cancelRequested = 1;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    EXPECT_EQ(pumpMessage(extractor.progressDialog), 1);
    PostMessageA(extractor.progressDialog, WM_NULL, 0, 0);
    EXPECT_EQ(updateProgress(extractor, "c.bin", 1u << 20, 3u << 20), 2);
    EXPECT_EQ(windowText(GetDlgItem(extractor.progressDialog, IDC_ACE_PROGRESS_TEXT)), "Extracting : b.bin");

    HWND dialog = extractor.progressDialog;
    DialogDriver driver([](DialogDriver& d) { d.click(d.waitFor("Veltrox.dll"), IDOK); });
    closeProgressDialog(extractor);
    ASSERT_TRUE(driver.finish());
    EXPECT_EQ(driver.seen(0).text(), CANCELLED);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(extractor.progressBar, nullptr);
    EXPECT_EQ(extractor.cancelRequested, 0);
}

TEST(AceMessages, FormattingStopsAtTheBufferAndAtACharacterBoundary) {
    std::string longAscii(700, 'v');
    formatMessage("'%s'\n\nが存在する事を確認して「OK」ボタンをクリックしてください。", longAscii.c_str());
    EXPECT_EQ(strlen(messageBuffer), ACE_MESSAGE_BUFFER_SIZE - 1);

    // Double-byte characters: byte 511 would be the lead byte of the 256th.
    std::string wide, expected;
    for (int i = 0; i < 300; ++i) wide += toAnsi("巻");
    for (int i = 0; i < 255; ++i) expected += "巻";
    formatMessage("%s", wide.c_str());
    EXPECT_EQ(strlen(messageBuffer), ACE_MESSAGE_BUFFER_SIZE - 2);
    EXPECT_EQ(fromAnsi(messageBuffer), expected);
}

}  // namespace
