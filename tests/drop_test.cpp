// Whole drops on Veltrox.dll, registered as the marker type's drop handler
// and driven the way Explorer drives it (the droptool code), with stand-in
// archiver DLLs and the dialog driver playing the user.
#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>
#include <algorithm>
#include <string>
#include <vector>
#include "engine/driver.h"
#include "shell/class_id.h"
#include "shell/com_server.h"
#include "tools/droptool/drop_delivery.h"
#include "ui/resources/resource.h"
#include "base/settings.h"
#include "support/dialog_driver.h"
#include "support/host.h"
#include "support/scratch_folder.h"
#include "support/standins.h"
#include "base/wide_text.h"
#include "support/text.h"

namespace {

const char CONVERT_CAPTION[] = "書庫を他の形式に変換して保存";
const std::string NOT_CONVERTED =
    "次の書庫は変換できませんでした。(かっこ内は失敗した処理とアーカイバ DLL の戻り値です)\n\n";

// The drop handler's class id in registry form "{...}".
std::string classId() {
    wchar_t text[40] = L"";
    StringFromGUID2(CLSID_VeltroxDropHandler, text, 40);
    return std::string(text, text + wcslen(text));
}

void setDefault(const std::string& key, const std::string& value) {
    RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, value.c_str(), static_cast<DWORD>(value.size()));
}

// Registers <build>\bin\Veltrox.dll as the drop handler of ".Veltrox" files
// (what the INF does) and makes a marker file.
class InstalledHandler : public testing::Environment {
public:
    void SetUp() override {
        std::string dll = toAnsi(buildFolder()) + "bin\\Veltrox.dll";
        std::string clsid = "CLSID\\" + classId();
        setDefault(clsid, "Veltrox");
        setDefault(clsid + "\\InprocServer32", dll);
        HKEY key;
        RegOpenKeyExA(HKEY_CLASSES_ROOT, (clsid + "\\InprocServer32").c_str(), 0, KEY_SET_VALUE, &key);
        RegSetValueExA(key, "ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>("Apartment"), 10);
        RegCloseKey(key);
        setDefault(".Veltrox", "Veltrox.SendTo");
        setDefault("Veltrox.SendTo\\shellex\\DropHandler", classId());
        OleInitialize(nullptr);
    }
};
testing::Environment* const installed = testing::AddGlobalTestEnvironment(new InstalledHandler);

// Settings as the user left them last time (the dialog starts from these).
void resetSettings(int askSameConvert = 0) {
    const char* zero[] = {"fCurrent", "fAfterDel", "SaveConvertType", "SameTime", "fUse7ZipLib", "NotConvSfx", "Sort"};
    for (const char* name : zero) writeDword("option", name, 0);
    writeDword("option", "AskSameConvert", askSameConvert);
}

int dropWide(const std::vector<std::wstring>& paths, const std::string& markerFolder) {
    std::string marker = markerFolder + toAnsi("書庫を変換して保存....Veltrox");
    writeBytes(marker, "marker");
    return deliverDrop(toWide(fromAnsi(marker)), paths);
}

int drop(const std::vector<std::string>& ansiPaths, const std::string& markerFolder) {
    std::vector<std::wstring> paths;
    for (const std::string& p : ansiPaths) paths.push_back(toWide(fromAnsi(p)));
    return dropWide(paths, markerFolder);
}

// A stand-in archive of the given files (name=data).
std::string makeArchive(const std::string& path, const std::vector<std::pair<std::string, std::string>>& files) {
    StandinArchive archive;
    for (const auto& f : files) {
        StandinEntry e;
        e.folder = !f.first.empty() && f.first.back() == '\\';   // "name\\" is a folder entry
        e.name = e.folder ? f.first.substr(0, f.first.size() - 1) : f.first;
        e.data = f.second;
        archive.entries.push_back(e);
    }
    writeStandinArchive(path, archive);
    return path;
}

// The files of an archive ("F name=data"), sorted; folder entries left out.
std::vector<std::string> contentOf(const std::string& archivePath, std::string* madeBy = nullptr) {
    StandinArchive archive;
    if (!readStandinArchive(archivePath, archive)) return {"<unreadable>"};
    if (madeBy) *madeBy = archive.madeBy;
    std::vector<std::string> files;
    for (const std::string& line : describeStandinArchive(archive))
        if (line.compare(0, 2, "F ") == 0) files.push_back(line);
    std::sort(files.begin(), files.end());
    return files;
}

struct DialogChoice {
    DialogChoice(const std::string& folder, int button = IDC_CONV_7Z, std::vector<int> boxes = {})
        : dest(folder), formatButton(button), checks(boxes) {}
    std::string dest;          // ANSI
    int formatButton;
    std::vector<int> checks;   // boxes to tick
};

// Fills in the conversion dialog and presses OK.
void confirmDialog(DialogDriver& d, const DialogChoice& choice) {
    SeenWindow dialog = d.waitFor(CONVERT_CAPTION);
    if (!dialog.hwnd) return;
    d.click(dialog, choice.formatButton);
    for (int id : choice.checks) d.setCheck(dialog, id, true);
    d.setText(dialog, IDC_CONV_DEST, fromAnsi(choice.dest));
    d.click(dialog, IDOK);
}

struct DropFixture : testing::Test {
    ScratchFolder source{"src"};
    ScratchFolder dest{"dst"};
    ScratchFolder marker{"mk"};
    void SetUp() override { resetSettings(); }
};

TEST_F(DropFixture, UnrecognisedFirstInputIsReportedBeforeTheDialogWithoutOwner) {
    StandinFolder dlls({"unlha32.dll", "7-zip32.dll"});
    std::string text = source / "note.txt";
    writeBytes(text, "just text");
    std::string lzh = makeArchive(source / "a.lzh", {{"x.txt", "x"}, {"sub\\y.txt", "y"}});
    DialogDriver driver([&](DialogDriver& d) {
        SeenWindow box = d.waitFor("Veltrox.dll");
        d.click(box, IDOK);
        confirmDialog(d, {dest.path()});
    });
    EXPECT_EQ(drop({text, lzh}, marker.path()), 0);
    ASSERT_TRUE(driver.finish());
    ASSERT_EQ(driver.seenCount(), 2u);
    EXPECT_EQ(driver.seen(0).text(), fromAnsi(text) + "\n\nは書庫と認識できないか、または未対応の形式です。");
    EXPECT_EQ(driver.seen(0).owner, nullptr);
    EXPECT_EQ(driver.seen(0).buttons().size(), 1u);
    EXPECT_EQ(contentOf(dest / "a.7z"), contentOf(lzh));
    EXPECT_TRUE(pathExists(lzh));
}

TEST_F(DropFixture, NothingRecognisedMeansNoDialog) {
    StandinFolder dlls({"unlha32.dll"});
    std::string a = source / "a.txt", b = source / "b.dat";
    writeBytes(a, "text");
    writeBytes(b, "more text");
    DialogDriver driver([&](DialogDriver& d) {
        d.click(d.waitFor("Veltrox.dll"), IDOK);
        d.click(d.waitFor("Veltrox.dll"), IDOK);
    });
    EXPECT_EQ(drop({a, b}, marker.path()), 0);
    EXPECT_TRUE(driver.finish());
}

TEST_F(DropFixture, CancelledDialogConvertsNothing) {
    StandinFolder dlls({"unlha32.dll", "7-zip32.dll"});
    std::string lzh = makeArchive(source / "a.lzh", {{"x.txt", "x"}});
    DialogDriver driver([&](DialogDriver& d) { d.click(d.waitFor(CONVERT_CAPTION), IDCANCEL); });
    EXPECT_EQ(drop({lzh}, marker.path()), 0);
    EXPECT_TRUE(driver.finish());
    EXPECT_TRUE(readStandinCommands(dlls.logPath()).empty());
    EXPECT_FALSE(pathExists(dest / "a.7z"));
}

TEST_F(DropFixture, SameFormatQuestionYesNoCancel) {
    StandinFolder dlls({"unlha32.dll"});
    std::vector<std::string> inputs;
    for (const char* name : {"a.lzh", "b.lzh", "c.lzh", "d.lzh"})
        inputs.push_back(makeArchive(source / name, {{"f.txt", name}}));
    DialogDriver driver([&](DialogDriver& d) {
        confirmDialog(d, {dest.path(), IDC_CONV_LZH});
        for (int answer : {IDYES, IDNO, IDCANCEL}) d.click(d.waitFor("Veltrox.dll"), answer);
    });
    EXPECT_EQ(drop(inputs, marker.path()), 0);
    ASSERT_TRUE(driver.finish());
    ASSERT_EQ(driver.seenCount(), 4u);
    EXPECT_EQ(driver.seen(1).text(), "同形式書庫の変換を指定しました。\n\n実行しますか？");
    EXPECT_EQ(driver.seen(1).buttons().size(), 3u);
    EXPECT_TRUE(pathExists(dest / "a.lzh"));
    for (const char* name : {"b.lzh", "c.lzh", "d.lzh"}) EXPECT_FALSE(pathExists(dest / name)) << name;
}

TEST_F(DropFixture, ZipToZipThroughSevenZipAsksAndRestoresTheTarget) {
    StandinFolder dlls({"7-zip32.dll"});   // ZIP both ways only through 7-zip32.dll
    std::string a = makeArchive(source / "a.zip", {{"a.txt", "a"}});
    std::string b = makeArchive(source / "b.zip", {{"b.txt", "b"}});
    DialogDriver driver([&](DialogDriver& d) {
        confirmDialog(d, {dest.path(), IDC_CONV_ZIP});
        d.click(d.waitFor("Veltrox.dll"), IDYES);
        d.click(d.waitFor("Veltrox.dll"), IDYES);
    });
    EXPECT_EQ(drop({a, b}, marker.path()), 0);
    ASSERT_TRUE(driver.finish());
    for (const std::string& out : {dest / "a.zip", dest / "b.zip"}) {
        std::string madeBy;
        EXPECT_NE(contentOf(out, &madeBy)[0], "<unreadable>") << out;
        EXPECT_EQ(madeBy, "7-zip32.dll");
    }
    std::vector<StandinCall> calls = readStandinCommands(dlls.logPath());
    ASSERT_EQ(calls.size(), 4u);
    for (const StandinCall& call : calls) EXPECT_EQ(call.exportName, "SevenZip");
}

TEST_F(DropFixture, ArchiveInADriveRootHasTheRootAsItsFolder) {
    StandinFolder dlls({"unlha32.dll", "7-zip32.dll"});
    char name[64];
    snprintf(name, sizeof name, "C:\\vxroot%lu.lzh", GetCurrentProcessId());
    std::string lzh = makeArchive(name, {{"r.txt", "r"}});
    std::string out = std::string(name, strlen(name) - 4) + ".7z";
    std::string shownFolder;
    DialogDriver driver([&](DialogDriver& d) {
        SeenWindow dialog = d.waitFor(CONVERT_CAPTION);
        d.click(dialog, IDC_CONV_7Z);
        d.setCheck(dialog, IDC_CONV_SAME_PLACE, true);
        shownFolder = d.read(dialog.hwnd).control(IDC_CONV_DEST)->text;
        d.click(dialog, IDOK);
    });
    EXPECT_EQ(drop({lzh}, marker.path()), 0);
    EXPECT_TRUE(driver.finish());
    EXPECT_EQ(shownFolder, "C:\\");
    EXPECT_TRUE(pathExists(out));
    DeleteFileA(lzh.c_str());
    DeleteFileA(out.c_str());
}

TEST_F(DropFixture, ConvertedSourcesGoToTheRecycleBinInOneOperation) {
    StandinFolder dlls({"unlha32.dll", "7-zip32.dll"});
    std::string a = makeArchive(source / "a.lzh", {{"a.txt", "a"}});
    std::string b = makeArchive(source / "b.lzh", {{"b.txt", "b"}});
    std::string c = source / "c.lzh";
    writeBytes(c, "not a stand-in archive");   // its extraction fails
    DialogDriver driver([&](DialogDriver& d) {
        confirmDialog(d, {dest.path(), IDC_CONV_7Z, {IDC_CONV_AFTER_DEL}});
        SeenWindow confirm = d.waitFor("ファイルの削除の確認");
        d.click(confirm, IDYES);
        d.click(d.waitFor("Veltrox.dll"), IDOK);   // c.lzh was not converted
    }, 30000);
    EXPECT_EQ(drop({a, b, c}, marker.path()), 0);
    ASSERT_TRUE(driver.finish());
    EXPECT_TRUE(pathExists(dest / "a.7z"));
    EXPECT_TRUE(pathExists(dest / "b.7z"));
    EXPECT_FALSE(pathExists(dest / "c.7z"));
    for (int i = 0; i < 1200 && (pathExists(a) || pathExists(b)); ++i) Sleep(100);
    EXPECT_FALSE(pathExists(a));
    EXPECT_FALSE(pathExists(b));
    EXPECT_TRUE(pathExists(c));
}

TEST_F(DropFixture, SuccessWithoutAnOutputArchiveKeepsTheSource) {
    StandinFolder dlls({"unlha32.dll", "7-zip32.dll"});
    setStandinAction("7-zip32.dll", "none");   // answers 0 and writes nothing
    std::string a = makeArchive(source / "a.lzh", {{"a.txt", "a"}});
    DialogDriver driver([&](DialogDriver& d) {
        confirmDialog(d, {dest.path(), IDC_CONV_7Z, {IDC_CONV_AFTER_DEL, IDC_CONV_SAME_TIME}});
        d.click(d.waitFor("Veltrox.dll"), IDOK);
    });
    EXPECT_EQ(drop({a}, marker.path()), 0);
    EXPECT_TRUE(driver.finish());   // no delete confirmation: nothing is recycled
    ASSERT_EQ(driver.seenCount(), 2u);
    EXPECT_EQ(driver.seen(1).text(), NOT_CONVERTED + fromAnsi(a) + "  (圧縮 0x0)\n    stand-in archiver output");
    EXPECT_TRUE(pathExists(a));
    EXPECT_FALSE(pathExists(dest / "a.7z"));
}

// Also for a name outside code page 932, which the DLLs write under an ASCII
// name of the converter's own: the executable still gets the real name.
TEST_F(DropFixture, SelfExtractingTargetGetsTheSourceTime) {
    StandinFolder dlls({"unlha32.dll", "7-zip32.dll"});
    FILETIME old;
    SYSTEMTIME st = {2001, 2, 0, 3, 4, 5, 6, 0};
    SystemTimeToFileTime(&st, &old);
    for (const std::wstring stem : {L"a", L"caf\u00e9"}) {
        std::wstring a = wideFromAnsi(source.path()) + stem + L".7z";
        ASSERT_TRUE(MoveFileW(wideFromAnsi(makeArchive(source / "made.7z", {{"a.txt", "a"}})).c_str(), a.c_str()));
        HANDLE h = CreateFileW(a.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        SetFileTime(h, nullptr, nullptr, &old);
        CloseHandle(h);
        DialogDriver driver([&](DialogDriver& d) {
            confirmDialog(d, {dest.path(), IDC_CONV_LZH, {IDC_CONV_SFX, IDC_CONV_SAME_TIME}});
        });
        EXPECT_EQ(dropWide({a}, marker.path()), 0);
        EXPECT_TRUE(driver.finish());
        std::wstring out = wideFromAnsi(dest.path()) + stem;
        WIN32_FILE_ATTRIBUTE_DATA info;
        ASSERT_TRUE(GetFileAttributesExW((out + L".exe").c_str(), GetFileExInfoStandard, &info));
        EXPECT_EQ(CompareFileTime(&info.ftLastWriteTime, &old), 0);
        EXPECT_EQ(GetFileAttributesW((out + L".lzh").c_str()), INVALID_FILE_ATTRIBUTES);
        resetSettings();
    }
    EXPECT_EQ(filesIn(wideFromAnsi(dest.path())).size(), 2u);   // nothing else is left in the destination
}

// A self-extracting step that fails leaves the plain archive under its real
// name, also when the DLLs wrote it under an ASCII name of the converter's.
TEST_F(DropFixture, FailedSelfExtractorLeavesThePlainArchiveUnderItsRealName) {
    StandinFolder dlls({"unlha32.dll", "7-zip32.dll"});   // no 7z self-extractor module
    for (const std::wstring stem : {L"a", L"caf\u00e9"}) {
        std::wstring a = wideFromAnsi(source.path()) + stem + L".lzh";
        ASSERT_TRUE(MoveFileW(wideFromAnsi(makeArchive(source / "made.lzh", {{"a.txt", "a"}})).c_str(), a.c_str()));
        DialogDriver driver([&](DialogDriver& d) {
            confirmDialog(d, {dest.path(), IDC_CONV_7Z, {IDC_CONV_SFX}});
            d.click(d.waitFor("Veltrox.dll"), IDOK);   // no module
            d.click(d.waitFor("Veltrox.dll"), IDOK);   // not converted
        });
        EXPECT_EQ(dropWide({a}, marker.path()), 0);
        EXPECT_TRUE(driver.finish());
        DWORD plain = GetFileAttributesW((wideFromAnsi(dest.path()) + stem + L".7z").c_str());
        EXPECT_TRUE(plain != INVALID_FILE_ATTRIBUTES && !(plain & FILE_ATTRIBUTE_DIRECTORY)) << fromWide(stem);
        resetSettings();
    }
    EXPECT_EQ(filesIn(wideFromAnsi(dest.path())).size(), 2u);
}

TEST_F(DropFixture, OverlongWorkFolderIsRefusedAndTheNextArchiveConverted) {
    StandinFolder dlls({"unlha32.dll", "7-zip32.dll"});
    std::string longName = source / (std::string(259 - source.path().size() - 4, 'n') + ".lzh");
    ASSERT_EQ(longName.size(), 259u);
    makeArchive(longName, {{"n.txt", "n"}});
    std::string b = makeArchive(source / "b.lzh", {{"b.txt", "b"}});
    DialogDriver driver([&](DialogDriver& d) {
        confirmDialog(d, {dest.path()});
        d.click(d.waitFor("Veltrox.dll"), IDOK);
    });
    EXPECT_EQ(drop({longName, b}, marker.path()), 0);
    ASSERT_TRUE(driver.finish());
    ASSERT_EQ(driver.seenCount(), 2u);
    EXPECT_EQ(driver.seen(1).text(), fromAnsi(longName) + "\n\nはパスが長すぎるため変換できません。");
    EXPECT_TRUE(pathExists(dest / "b.7z"));
}

std::string tempFolder() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    return temp;
}

std::string wineUnixPath(const std::string& ansi) { return unixPath(fromAnsi(ansi)); }

// Unix symbolic links made and removed from inside this process with the
// Linux system calls (symlink, unlink): a host command started just before a
// drop would leave its short-lived window in front as the dialog's owner.
long linuxCall2(long number32, long number64, const char* a, const char* b) {
    long result = -1;
#if defined(__i386__)
    (void)number64;
    __asm__ volatile("int $0x80" : "=a"(result) : "a"(number32), "b"(a), "c"(b) : "memory");
#elif defined(__x86_64__)
    (void)number32;
    __asm__ volatile("syscall" : "=a"(result) : "a"(number64), "D"(a), "S"(b) : "rcx", "r11", "memory");
#endif
    return result;
}
// The Unix path of the link itself: its folder's path and its own name.
std::string unixLinkPath(const std::string& ansiLink) {
    size_t slash = ansiLink.find_last_of('\\');
    std::string folder = wineUnixPath(ansiLink.substr(0, slash));
    return folder.empty() ? folder : folder + "/" + fromAnsi(ansiLink.substr(slash + 1));
}
bool makeLink(const std::string& ansiTarget, const std::string& ansiLink) {
    std::string target = wineUnixPath(ansiTarget), link = unixLinkPath(ansiLink);
    return !target.empty() && !link.empty() && linuxCall2(83, 88, target.c_str(), link.c_str()) == 0;
}
void removeLinkAt(const std::string& ansiLink) {
    std::string link = unixLinkPath(ansiLink);
    if (!link.empty()) linuxCall2(10, 87, link.c_str(), nullptr);
}

// Removes links (first) and then work folders, before and after a test.
struct LinkRemoval {
    std::vector<std::string> links, folders;
    LinkRemoval(std::vector<std::string> l, std::vector<std::string> f) : links(l), folders(f) { run(); }
    ~LinkRemoval() { run(); }
    void run() {
        for (const std::string& link : links) removeLinkAt(link);
        for (const std::string& folder : folders) removeTree((folder + "\\").c_str());
    }
};

// A leftover work folder that is a link, or holds one, is never entered: the
// folder behind the link keeps its files. Where the link cannot be removed
// (Wine, with a link to a folder that is not empty) nothing is extracted and
// the archive is refused; where it can, the archive is converted.
TEST_F(DropFixture, LeftoverWorkFolderLinksAreNeverFollowed) {
    StandinFolder dlls({"unlha32.dll", "7-zip32.dll"});
    for (bool folderIsLink : {true, false}) {
        SCOPED_TRACE(folderIsLink ? "work folder is a link" : "work folder holds a link");
        ScratchFolder outside("out");
        writeBytes(outside / "precious.txt", "keep me");
        std::string stem = std::string(folderIsLink ? "vxlink" : "vxleft") + std::to_string(GetCurrentProcessId());
        std::string work = tempFolder() + "~" + stem;
        std::string link = folderIsLink ? work : work + "\\link";
        LinkRemoval removal({link}, {work});
        if (!folderIsLink) {
            CreateDirectoryA(work.c_str(), nullptr);
            writeBytes(work + "\\stale.txt", "stale");
        }
        ASSERT_TRUE(makeLink(outside.path(), link));
        std::string a = makeArchive(source / (stem + ".lzh"), {{"a.txt", "a"}});
        std::string out = dest / (stem + ".7z");
        DialogDriver driver([&](DialogDriver& d) { confirmDialog(d, {dest.path()}); }, 120000);
        EXPECT_EQ(drop({a}, marker.path()), 0);
        driver.finish(false);   // the refusal, where it comes, is dismissed as unexpected
        EXPECT_EQ(readBytes(outside / "precious.txt"), "keep me");
        EXPECT_FALSE(pathExists(work + "\\stale.txt"));
        if (pathExists(link)) {
            ASSERT_EQ(driver.unexpectedWindows().size(), 1u);
            EXPECT_EQ(driver.unexpectedWindows()[0].text(),
                      fromAnsi(a) + "\n\nの作業フォルダを準備できないため、変換できません。");
            EXPECT_FALSE(pathExists(out));
        } else {
            EXPECT_TRUE(driver.unexpectedWindows().empty());
            EXPECT_EQ(contentOf(out), std::vector<std::string>{"F a.txt=a"});
        }
        EXPECT_TRUE(pathExists(a));
    }
}

// What an archive leaves in the work folder that cannot go into a new
// archive faithfully: the archive is refused before compression with its own
// message; nothing is written, the source stays, the work folder goes.
TEST_F(DropFixture, WorkFolderEntriesWithoutAFaithfulFormAreRefused) {
    struct Case {
        const char* dll;
        const char* name;
        std::wstring extra;
        const char* message;
    };
    const std::wstring deep = std::wstring(3, L'd') + L"\\" + std::wstring(120, L'x') + L"\\" +
                              std::wstring(120, L'y') + L"\\" + std::wstring(60, L'z') + L".txt";
    const Case cases[] = {
        {"unlha32.dll", "wide.lzh", L"f:sub\\\u0100name.txt|f:\U0001F600.txt",
         "の中にファイル名に変換できない文字を含むファイルがあるため、変換できません。"},
        {"cab32.dll", "deep.cab", L"f:" + deep, "はパスが長すぎるため変換できません。"},
    };
    StandinFolder dlls({"unlha32.dll", "cab32.dll", "7-zip32.dll"});
    writeDword("option", "Sort", 1);
    std::vector<std::string> inputs;
    for (const Case& c : cases) {
        setStandinExtra(c.dll, c.extra);
        inputs.push_back(makeArchive(source / c.name, {{"a.txt", "a"}}));
    }
    DialogDriver driver([&](DialogDriver& d) {
        confirmDialog(d, {dest.path(), IDC_CONV_7Z, {IDC_CONV_AFTER_DEL}});
        for (size_t i = 0; i < inputs.size(); ++i) d.click(d.waitFor("Veltrox.dll"), IDOK);
    }, 120000);
    EXPECT_EQ(drop(inputs, marker.path()), 0);
    ASSERT_TRUE(driver.finish());
    ASSERT_EQ(driver.seenCount(), 1 + inputs.size());
    for (size_t i = 0; i < inputs.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(driver.seen(1 + i).text(), fromAnsi(inputs[i]) + "\n\n" + cases[i].message);
        std::string stem(cases[i].name, strchr(cases[i].name, '.') - cases[i].name);
        EXPECT_FALSE(pathExists(dest / (stem + ".7z")));
        EXPECT_TRUE(pathExists(inputs[i]));
        EXPECT_FALSE(pathExists(tempFolder() + "~" + stem));
    }
    for (const StandinCall& call : readStandinCommands(dlls.logPath())) EXPECT_NE(call.dll, "7-zip32.dll");
}

// With "delete after conversion", a source is recycled only when its new
// archive reads back to the same tree; empty folders survive sorting (the
// archive is packed without a list), a link in the work folder is never
// followed (nothing from behind it is listed or packed) and its source stays.
TEST_F(DropFixture, OnlyVerifiedSourcesAreRecycled) {
    StandinFolder dlls({"unlha32.dll", "cab32.dll", "7-zip32.dll"});
    writeDword("option", "Sort", 1);
    ScratchFolder outside("out");
    writeBytes(outside / "secret.txt", "secret");
    LinkRemoval removal({tempFolder() + "~linked\\sub\\link"}, {tempFolder() + "~linked"});
    setStandinExtra("cab32.dll", L"l:sub\\link>" + toWide(fromAnsi(outside.path())));
    setStandinReadBack("7-zip32.dll", "drop:short.7z;change:changed.7z");
    std::vector<std::string> inputs = {
        makeArchive(source / "good.lzh", {{"a.txt", "a"}, {"empty\\", ""}, {"sub\\b.txt", "b"}}),
        makeArchive(source / "short.lzh", {{"a.txt", "a"}, {"z.txt", "z"}}),
        makeArchive(source / "changed.lzh", {{"a.txt", "abc"}}),
        makeArchive(source / "linked.cab", {{"a.txt", "a"}, {"sub\\b.txt", "b"}}),
    };
    DialogDriver driver([&](DialogDriver& d) {
        confirmDialog(d, {dest.path(), IDC_CONV_7Z, {IDC_CONV_AFTER_DEL}});
        d.click(d.waitFor("ファイルの削除の確認"), IDYES);
        d.click(d.waitFor("Veltrox.dll"), IDOK);
    }, 300000);
    EXPECT_EQ(drop(inputs, marker.path()), 0);
    ASSERT_TRUE(driver.finish());
    ASSERT_EQ(driver.seenCount(), 3u);
    EXPECT_EQ(driver.seen(2).text(), "次の書庫は変換結果を確認できなかったため、ごみ箱へ移動しませんでした。\n\n" +
                                         fromAnsi(inputs[1] + "\n" + inputs[2] + "\n" + inputs[3]));
    for (int i = 0; i < 100 && pathExists(inputs[0]); ++i) Sleep(100);
    EXPECT_FALSE(pathExists(inputs[0]));
    for (size_t i = 1; i < inputs.size(); ++i) EXPECT_TRUE(pathExists(inputs[i])) << inputs[i];

    StandinArchive good;
    ASSERT_TRUE(readStandinArchive(dest / "good.7z", good));
    std::vector<std::string> lines = describeStandinArchive(good);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "D empty"), lines.end());
    EXPECT_EQ(contentOf(dest / "linked.7z"), (std::vector<std::string>{"F a.txt=a", "F sub\\b.txt=b"}));
    for (const char* name : {"short.7z", "changed.7z"}) EXPECT_TRUE(pathExists(dest / name)) << name;
    for (const StandinCall& call : readStandinCommands(dlls.logPath())) {
        for (const std::string& line : call.listLines) EXPECT_EQ(line.find("secret"), std::string::npos) << line;
        bool packsGood = call.commandLine.find("good.7z") != std::string::npos && call.exportName == "SevenZip" &&
                         call.commandLine.compare(0, 2, "a ") == 0;
        if (packsGood) {
            EXPECT_EQ(call.commandLine.find('@'), std::string::npos) << call.commandLine;
        }
    }
    EXPECT_EQ(readBytes(outside / "secret.txt"), "secret");
    for (const char* stem : {"good", "short", "changed"}) {
        EXPECT_FALSE(pathExists(tempFolder() + "~" + stem)) << stem;
        EXPECT_FALSE(pathExists(tempFolder() + "~" + stem + ".chk")) << stem;
    }
}

// A work folder is removed while the next archive is converted, but one that
// the next archive needs under the same name (same stem in any case, or the check folder
// "~<stem>.chk", either way round) is gone before that archive extracts; none
// is left after the drop.
TEST_F(DropFixture, WorkFoldersOfTheSameNameAreRemovedBeforeTheNextArchive) {
    StandinFolder dlls({"unlha32.dll", "cab32.dll", "7-zip32.dll"});
    std::vector<std::pair<std::string, std::string>> many;
    for (int i = 0; i < 1500; ++i) many.push_back({"d" + std::to_string(i % 15) + "\\f" + std::to_string(i), "m"});
    std::vector<std::string> inputs = {
        makeArchive(source / "big.lzh", many),
        makeArchive(source / "BIG.cab", {{"x.txt", "x"}}),   // "~BIG" is "~big": waited for
        makeArchive(source / "s.chk.lzh", many),
        makeArchive(source / "s.lzh", {{"y.txt", "y"}}),
        makeArchive(source / "t.lzh", many),
        makeArchive(source / "t.chk.lzh", {{"z.txt", "z"}}),
    };
    DialogDriver driver([&](DialogDriver& d) {
        confirmDialog(d, {dest.path(), IDC_CONV_7Z, {IDC_CONV_AFTER_DEL}});
        d.click(d.waitFor("ファイルの削除の確認"), IDYES);
    }, 300000);
    EXPECT_EQ(drop(inputs, marker.path()), 0);
    ASSERT_TRUE(driver.finish());
    EXPECT_EQ(driver.seenCount(), 2u);
    EXPECT_EQ(contentOf(dest / "big (1).7z"), (std::vector<std::string>{"F x.txt=x"}));
    EXPECT_EQ(contentOf(dest / "s.7z"), (std::vector<std::string>{"F y.txt=y"}));
    EXPECT_EQ(contentOf(dest / "t.chk.7z"), (std::vector<std::string>{"F z.txt=z"}));
    EXPECT_EQ(contentOf(dest / "big.7z").size(), many.size());
    for (const std::string& input : inputs) {
        for (int i = 0; i < 100 && pathExists(input); ++i) Sleep(100);
        EXPECT_FALSE(pathExists(input)) << input;
    }
    for (const char* folder : {"~big", "~s.chk", "~s", "~t", "~t.chk"}) EXPECT_FALSE(pathExists(tempFolder() + folder)) << folder;
}

// A new ZIP archive that no installed DLL can read back keeps its source.
TEST_F(DropFixture, TargetNoDllCanReadBackKeepsTheSource) {
    StandinFolder dlls({"unlha32.dll", "zip32j.dll", "zip32.dll"});
    std::string a = makeArchive(source / "a.lzh", {{"a.txt", "a"}});
    DialogDriver driver([&](DialogDriver& d) {
        confirmDialog(d, {dest.path(), IDC_CONV_ZIP, {IDC_CONV_AFTER_DEL}});
        d.click(d.waitFor("Veltrox.dll"), IDOK);
    }, 120000);
    EXPECT_EQ(drop({a}, marker.path()), 0);
    ASSERT_TRUE(driver.finish());
    ASSERT_EQ(driver.seenCount(), 2u);
    EXPECT_EQ(driver.seen(1).text(),
              "次の書庫は変換結果を確認できなかったため、ごみ箱へ移動しませんでした。\n\n" + fromAnsi(a));
    EXPECT_TRUE(pathExists(dest / "a.zip"));
    EXPECT_TRUE(pathExists(a));
}

// The source's own DLL lists it first: entries that one Windows folder cannot
// hold side by side refuse the archive before anything is extracted.
TEST_F(DropFixture, ListingThatAWindowsFolderCannotHoldRefusesTheArchive) {
    StandinFolder dlls({"unlha32.dll", "tar32.dll", "7-zip32.dll"});
    const std::string clash = "\n\nの中に、Windows のフォルダーに同時に置けない名前のファイル (大文字と小文字だけが違う名前や、"
                              "使えない文字を含む名前) があるため、変換できません。";
    // A "?" from a DLL that lists in ANSI text only stands for a character
    // without a code page 932 form; unlha32 lists in its Unicode mode, where
    // "?" is itself a name Windows cannot hold.
    const std::string codePage = "\n\nの中にファイル名に変換できない文字を含むファイルがあるため、変換できません。"
                                 "\n\ntar32.dll は、コードページ 932 にない文字を含むファイル名を扱えません。";
    const struct {
        const char* name;
        std::vector<std::pair<std::string, std::string>> files;
        const std::string& message;
    } refused[] = {
        {"twins.lzh", {{"B.txt", "B"}, {"b.txt", "b"}}, clash},
        {"device.lzh", {{"con.txt", "c"}}, clash},
        {"colon.lzh", {{"a:b.txt", "a"}}, clash},
        {"question.lzh", {{"a?b.txt", "q"}}, clash},
        {"question.tar", {{"a?b.txt", "q"}}, codePage},
    };
    const size_t count = sizeof refused / sizeof refused[0];
    std::vector<std::string> inputs;
    for (const auto& r : refused) inputs.push_back(makeArchive(source / r.name, r.files));
    inputs.push_back(makeArchive(source / "clean.tar", {{"d\\", ""}, {"d\\x.txt", "x"}, {"y.txt", "y"}}));
    DialogDriver driver([&](DialogDriver& d) {
        confirmDialog(d, {dest.path(), IDC_CONV_7Z, {IDC_CONV_AFTER_DEL}});
        for (size_t i = 0; i < count; ++i) d.click(d.waitFor("Veltrox.dll"), IDOK);
        d.click(d.waitFor("ファイルの削除の確認"), IDYES);
    }, 120000);
    EXPECT_EQ(drop(inputs, marker.path()), 0);
    ASSERT_TRUE(driver.finish());
    ASSERT_EQ(driver.seenCount(), count + 2);
    for (size_t i = 0; i < count; ++i) {
        EXPECT_EQ(driver.seen(i + 1).text(), fromAnsi(inputs[i]) + refused[i].message) << inputs[i];
        EXPECT_TRUE(pathExists(inputs[i])) << inputs[i];
    }
    for (const StandinCall& call : readStandinCommands(dlls.logPath()))
        EXPECT_EQ(call.dll == "unlha32.dll", false) << call.commandLine;   // nothing extracted
    for (const char* output : {"twins.7z", "device.7z", "colon.7z", "question.7z"})
        EXPECT_FALSE(pathExists(dest / output)) << output;
    EXPECT_EQ(contentOf(dest / "clean.7z"), (std::vector<std::string>{"F d\\x.txt=x", "F y.txt=y"}));
    for (int i = 0; i < 100 && pathExists(inputs[count]); ++i) Sleep(100);
    EXPECT_FALSE(pathExists(inputs[count]));
}

// With the sources going to the Recycle Bin, a source whose extraction did not
// produce every file its listing names, or that could not be listed, is kept
// and named; a failed extraction is named with the DLL's result and text.
TEST_F(DropFixture, SourceIsRecycledOnlyWhenItsListingWasExtracted) {
    StandinFolder dlls({"unlha32.dll", "tar32.dll", "unarj32j.dll", "unzip32.dll", "cab32.dll", "7-zip32.dll"});
    setStandinAction("7-zip32.dll", "none");        // answers 0, its folder stays empty
    setStandinAction("cab32.dll", "none");          // answers 0 and makes no folder
    setStandinListing("tar32.dll", "f:ghost.txt");  // a file the extraction does not write
    setStandinResult("unarj32j.dll", 0x8010);
    setStandinListing("unzip32.dll", "fail");
    std::vector<std::string> inputs;
    for (const char* name : {"empty.7z", "ghost.tar", "unlisted.zip", "nofolder.cab", "failed.arj", "clean.lzh"})
        inputs.push_back(makeArchive(source / name, {{"a.txt", "a"}, {"sub\\b.txt", "b"}}));
    DialogDriver driver([&](DialogDriver& d) {
        confirmDialog(d, {dest.path(), IDC_CONV_TARGZ, {IDC_CONV_AFTER_DEL}});
        d.click(d.waitFor("ファイルの削除の確認"), IDYES);
        d.click(d.waitFor("Veltrox.dll"), IDOK);
        d.click(d.waitFor("Veltrox.dll"), IDOK);
    }, 120000);
    EXPECT_EQ(drop(inputs, marker.path()), 0);
    ASSERT_TRUE(driver.finish());
    ASSERT_EQ(driver.seenCount(), 4u);
    EXPECT_EQ(driver.seen(2).text(),
              NOT_CONVERTED + fromAnsi(inputs[3]) + "  (展開 0x0)\n    stand-in archiver output\n" + fromAnsi(inputs[4]) +
                  "  (展開 0x8010)\n    stand-in archiver output");
    EXPECT_EQ(driver.seen(3).text(), "次の書庫は変換結果を確認できなかったため、ごみ箱へ移動しませんでした。\n\n" +
                                         fromAnsi(inputs[0] + "\n" + inputs[1] + "\n" + inputs[2]));
    for (int i = 0; i < 100 && pathExists(inputs[5]); ++i) Sleep(100);
    EXPECT_FALSE(pathExists(inputs[5]));
    for (size_t i = 0; i < 5; ++i) EXPECT_TRUE(pathExists(inputs[i])) << inputs[i];
}

// "a..lzh" has the stem "a.", which Windows stores as "a": its folders must
// still never be those of "a.lzh" in the same drop.
TEST_F(DropFixture, StemsThatWindowsTreatsAsOneGetFoldersOfTheirOwn) {
    StandinFolder dlls({"unlha32.dll", "7-zip32.dll"});
    std::vector<std::string> inputs = {makeArchive(source / "a..lzh", {{"dot.txt", "1"}}),
                                       makeArchive(source / "A .lzh", {{"space.txt", "2"}}),
                                       makeArchive(source / "a.lzh", {{"plain.txt", "3"}})};
    DialogDriver driver([&](DialogDriver& d) {
        confirmDialog(d, {dest.path(), IDC_CONV_7Z, {IDC_CONV_AFTER_DEL}});
        d.click(d.waitFor("ファイルの削除の確認"), IDYES);
    }, 120000);
    EXPECT_EQ(drop(inputs, marker.path()), 0);
    ASSERT_TRUE(driver.finish());
    std::vector<std::string> folders;
    for (const StandinCall& call : readStandinCommands(dlls.logPath())) {
        size_t end = call.commandLine.rfind('"');
        size_t start = call.commandLine.rfind('"', end - 1);
        std::string folder = call.commandLine.substr(start + 1, end - start - 1);
        while (!folder.empty() && (folder.back() == '\\' || folder.back() == '.' || folder.back() == ' '))
            folder.pop_back();
        CharUpperA(&folder[0]);
        if (call.commandLine.compare(0, 2, "e ") == 0 || call.commandLine.compare(0, 2, "x ") == 0)
            folders.push_back(folder);
    }
    ASSERT_EQ(folders.size(), 6u);   // three extractions, three read-backs
    std::sort(folders.begin(), folders.end());
    EXPECT_EQ(std::unique(folders.begin(), folders.end()), folders.end());
    EXPECT_EQ(contentOf(dest / "a..7z"), (std::vector<std::string>{"F dot.txt=1"}));
    EXPECT_EQ(contentOf(dest / "A .7z"), (std::vector<std::string>{"F space.txt=2"}));
    EXPECT_EQ(contentOf(dest / "a.7z"), (std::vector<std::string>{"F plain.txt=3"}));
}

TEST_F(DropFixture, DllPlantedInTheWorkFolderIsNeverLoaded) {
    StandinFolder dlls({"unlha32.dll", "7-zip32.dll"});
    setStandinLoadLibrary("7-zip32.dll", "bz2lib.dll");
    std::string planted = readBytes(standinsRoot() + "full\\bz2lib.dll");
    ASSERT_FALSE(planted.empty());
    std::string a = makeArchive(source / "a.lzh", {{"bz2lib.dll", planted}, {"a.txt", "a"}});
    DialogDriver driver([&](DialogDriver& d) { confirmDialog(d, {dest.path()}); });
    EXPECT_EQ(drop({a}, marker.path()), 0);
    EXPECT_TRUE(driver.finish());
    bool compressed = false;
    for (const StandinCall& call : readStandinCommands(dlls.logPath())) {
        if (call.dll != "7-zip32.dll") continue;
        compressed = true;
        EXPECT_NE(call.currentFolder.find("~a"), std::string::npos) << call.currentFolder;
        ASSERT_EQ(call.loads.size(), 1u);
        EXPECT_EQ(call.loads[0].find("~a\\"), std::string::npos) << call.loads[0];
    }
    EXPECT_TRUE(compressed);
    EXPECT_TRUE(pathExists(dest / "a.7z"));
}

struct SecondDrop {
    std::vector<std::string> inputs;
    std::string marker;
    int result = -1;
};

DWORD WINAPI secondDropThread(LPVOID parameter) {
    SecondDrop* second = static_cast<SecondDrop*>(parameter);
    OleInitialize(nullptr);
    second->result = drop(second->inputs, second->marker);
    OleUninitialize();
    return 0;
}

TEST_F(DropFixture, SecondDropWhileOneRunsIsRefused) {
    StandinFolder dlls({"unlha32.dll", "7-zip32.dll"});
    std::string a = makeArchive(source / "a.lzh", {{"a.txt", "a"}});
    SecondDrop second{{a}, marker.path()};
    HANDLE thread = nullptr;
    DialogDriver driver([&](DialogDriver& d) {
        SeenWindow dialog = d.waitFor(CONVERT_CAPTION);
        thread = CreateThread(nullptr, 0, secondDropThread, &second, 0, nullptr);
        d.click(d.waitFor("Veltrox.dll"), IDOK);
        WaitForSingleObject(thread, 120000);
        d.click(dialog, IDCANCEL);
    });
    EXPECT_EQ(drop({a}, marker.path()), 0);
    ASSERT_TRUE(driver.finish());
    CloseHandle(thread);
    EXPECT_EQ(second.result, 0);
    ASSERT_EQ(driver.seenCount(), 2u);
    EXPECT_EQ(driver.seen(1).text(), "変換処理の実行中です。終了してから再度実行してください。");
    EXPECT_FALSE(pathExists(dest / "a.7z"));
}



// The second process of the tests below: one drop of VX_SECOND_DROP, refused
// because another process is converting, or with VX_SECOND_DEST converted
// into that folder. Run only when started by them.
TEST_F(DropFixture, DISABLED_DropFromASecondProcess) {
    char input[MAX_PATH] = "", target[MAX_PATH] = "";
    ASSERT_NE(GetEnvironmentVariableA("VX_SECOND_DROP", input, MAX_PATH), 0u);
    bool converts = GetEnvironmentVariableA("VX_SECOND_DEST", target, MAX_PATH) != 0;
    DialogDriver driver([&](DialogDriver& d) {
        if (converts) confirmDialog(d, {target});
        else d.click(d.waitFor("Veltrox.dll"), IDOK);
    }, 120000);
    EXPECT_EQ(drop({input}, marker.path()), 0);
    ASSERT_TRUE(driver.finish());
    ASSERT_EQ(driver.seenCount(), 1u);
    if (!converts) {
        EXPECT_EQ(driver.seen(0).text(), "変換処理の実行中です。終了してから再度実行してください。");
    }
}

// Runs the drop above in a new process of this program; its exit code.
DWORD runSecondProcess(const std::string& input, const std::string& target = std::string()) {
    SetEnvironmentVariableA("VX_SECOND_DROP", input.c_str());
    SetEnvironmentVariableA("VX_SECOND_DEST", target.empty() ? nullptr : target.c_str());
    DWORD exitCode = 99;
    wchar_t self[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
    std::wstring commandLine = std::wstring(L"\"") + self +
        L"\" --gtest_also_run_disabled_tests --gtest_filter=DropFixture.DISABLED_DropFromASecondProcess";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (CreateProcessW(self, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        WaitForSingleObject(process.hProcess, 300000);
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    SetEnvironmentVariableA("VX_SECOND_DROP", nullptr);
    SetEnvironmentVariableA("VX_SECOND_DEST", nullptr);
    return exitCode;
}

TEST_F(DropFixture, SecondProcessIsRefusedWhileTheFirstConverts) {
    StandinFolder dlls({"unlha32.dll", "7-zip32.dll"});
    std::vector<std::pair<std::string, std::string>> files;
    for (int i = 0; i < 40; ++i) files.push_back({"d\\f" + std::to_string(i) + ".txt", std::string(i, 'x')});
    std::string a = makeArchive(source / "a.lzh", files);
    DWORD secondExit = 99;
    DialogDriver driver([&](DialogDriver& d) {
        SeenWindow dialog = d.waitFor(CONVERT_CAPTION);
        secondExit = runSecondProcess(a);
        d.click(dialog, IDC_CONV_7Z);
        d.setText(dialog, IDC_CONV_DEST, fromAnsi(dest.path()));
        d.click(dialog, IDOK);
    }, 300000);
    EXPECT_EQ(drop({a}, marker.path()), 0);
    ASSERT_TRUE(driver.finish());
    EXPECT_EQ(secondExit, 0u);
    EXPECT_EQ(contentOf(dest / "a.7z"), contentOf(a));
    EXPECT_EQ(contentOf(a).size(), 40u);
}

// A drop that has ended holds no lock: while its process stays open, a drop
// from another process converts.
TEST_F(DropFixture, FinishedDropLeavesNoLockForOtherProcesses) {
    StandinFolder dlls({"unlha32.dll", "7-zip32.dll"});
    std::string a = makeArchive(source / "a.lzh", {{"a.txt", "a"}});
    std::string b = makeArchive(source / "b.lzh", {{"b.txt", "b"}});
    DialogDriver driver([&](DialogDriver& d) { confirmDialog(d, {dest.path()}); });
    EXPECT_EQ(drop({a}, marker.path()), 0);
    ASSERT_TRUE(driver.finish());
    ASSERT_TRUE(pathExists(dest / "a.7z"));
    EXPECT_EQ(runSecondProcess(b, dest.path()), 0u);
    EXPECT_EQ(contentOf(dest / "b.7z"), contentOf(b));
}

// A leftover read-back folder "~<stem>.chk" that is a link is never
// extracted into: the folder behind it keeps exactly its files. Where the
// link cannot be removed (Wine) the new archive is not confirmed and its
// source is kept and named.
TEST_F(DropFixture, LeftoverReadBackLinkIsNeverExtractedInto) {
    StandinFolder dlls({"unlha32.dll", "7-zip32.dll"});
    ScratchFolder outside("out");
    writeBytes(outside / "precious.txt", "keep me");
    std::string stem = "vxchk" + std::to_string(GetCurrentProcessId());
    std::string check = tempFolder() + "~" + stem + ".chk";
    LinkRemoval removal({check}, {tempFolder() + "~" + stem});
    ASSERT_TRUE(makeLink(outside.path(), check));
    std::string a = makeArchive(source / (stem + ".lzh"), {{"a.txt", "a"}});
    DialogDriver driver([&](DialogDriver& d) {
        confirmDialog(d, {dest.path(), IDC_CONV_7Z, {IDC_CONV_AFTER_DEL}});
    }, 120000);
    EXPECT_EQ(drop({a}, marker.path()), 0);
    driver.finish(false);
    EXPECT_FALSE(pathExists(outside / "a.txt"));
    EXPECT_EQ(readBytes(outside / "precious.txt"), "keep me");
    EXPECT_TRUE(pathExists(dest / (stem + ".7z")));
    if (pathExists(check)) {
        EXPECT_TRUE(pathExists(a));
        ASSERT_EQ(driver.unexpectedWindows().size(), 1u);
        EXPECT_EQ(driver.unexpectedWindows()[0].text(),
                  "次の書庫は変換結果を確認できなかったため、ごみ箱へ移動しませんでした。\n\n" + fromAnsi(a));
    }
}

// Work paths of 259 bytes fit the archivers' 260-byte buffers; one of 260
// does not and refuses its archive. An old yz1.dll, which never reads the
// response file, is not handed a folder holding a link (its own recursion
// would follow it): refused, no call.
TEST_F(DropFixture, WorkPathLimitAndOldYz1WithLinks) {
    StandinFolder dlls({"unlha32.dll", "7-zip32.dll", "yz1.dll"});
    setStandinVersion("yz1.dll", 19);
    ScratchFolder outside("out");
    writeBytes(outside / "secret.txt", "secret");
    size_t nameLength = 259 - (tempFolder().size() + std::string("~w\\").size());
    ASSERT_LT(nameLength, 250u);
    std::string longName(nameLength, 'n');
    struct Case {
        const char* stem;
        int button;
        std::wstring extra;
        const char* message;   // null: converted
    } cases[] = {
        {"w", IDC_CONV_7Z, L"f:" + toWide(longName), nullptr},
        {"ww", IDC_CONV_7Z, L"f:" + toWide(longName), "はパスが長すぎるため変換できません。"},
        {"yl", IDC_CONV_YZ1, L"l:link>" + toWide(fromAnsi(outside.path())),
         "の作業フォルダを準備できないため、変換できません。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stem);
        clearStandinLog(dlls.logPath());
        LinkRemoval removal({tempFolder() + "~" + c.stem + "\\link"}, {tempFolder() + "~" + c.stem});
        setStandinExtra("unlha32.dll", c.extra);
        std::string a = makeArchive(source / (std::string(c.stem) + ".lzh"), {{"a.txt", "a"}});
        DialogDriver driver([&](DialogDriver& d) {
            confirmDialog(d, {dest.path(), c.button});
            if (c.message) d.click(d.waitFor("Veltrox.dll"), IDOK);
        }, 120000);
        EXPECT_EQ(drop({a}, marker.path()), 0);
        ASSERT_TRUE(driver.finish());
        std::string out = dest / (std::string(c.stem) + (c.button == IDC_CONV_YZ1 ? ".yz1" : ".7z"));
        if (c.message) {
            ASSERT_EQ(driver.seenCount(), 2u);
            EXPECT_EQ(driver.seen(1).text(), fromAnsi(a) + "\n\n" + c.message);
            EXPECT_FALSE(pathExists(out));
            for (const StandinCall& call : readStandinCommands(dlls.logPath())) EXPECT_EQ(call.dll, "unlha32.dll");
        } else {
            EXPECT_EQ(contentOf(out), (std::vector<std::string>{"F a.txt=a", "F " + longName + "=extra"}));
        }
        EXPECT_TRUE(pathExists(a));
    }
    EXPECT_EQ(readBytes(outside / "secret.txt"), "secret");
}

// A work folder 500 levels deep is refused as too long (nothing is packed)
// and removed, and the next archive is converted. Deeper trees cost Wine
// time cubic in their depth, and it makes no path over 4,075 characters;
// that the walks use no stack per level is checked in driver_test.
TEST_F(DropFixture, DeepWorkFolderIsRefusedAndRemoved) {
    StandinFolder dlls({"unlha32.dll", "cab32.dll", "7-zip32.dll"});
    std::wstring deep;
    for (int level = 0; level < 500; ++level) deep += L"d\\";
    setStandinExtra("unlha32.dll", L"f:" + deep + L"x");
    std::string a = makeArchive(source / "deep.lzh", {{"a.txt", "a"}});
    std::string b = makeArchive(source / "b.cab", {{"b.txt", "b"}});
    DialogDriver driver([&](DialogDriver& d) {
        confirmDialog(d, {dest.path()});
        d.click(d.waitFor("Veltrox.dll"), IDOK);
    }, 300000);
    EXPECT_EQ(drop({a, b}, marker.path()), 0);
    ASSERT_TRUE(driver.finish());
    ASSERT_EQ(driver.seenCount(), 2u);
    EXPECT_EQ(driver.seen(1).text(), fromAnsi(a) + "\n\nはパスが長すぎるため変換できません。");
    EXPECT_FALSE(pathExists(dest / "deep.7z"));
    EXPECT_EQ(contentOf(dest / "b.7z"), (std::vector<std::string>{"F b.txt=b"}));
    EXPECT_FALSE(pathExists(tempFolder() + "~deep"));
}
}  // namespace

// Code page 932 names reach the archiver DLLs byte for byte as they always
// did; a name outside it reaches them as an ASCII form of the converter's own
// while the new archive gets the real name and nothing of the forms is left.
TEST_F(DropFixture, ArchiverDllsGetExactAnsiPathsOrFormsOfTheirOwn) {
    StandinFolder dlls({"unlha32.dll", "7-zip32.dll"});
    const std::string japanese = toAnsi("表ソ");
    const std::wstring foreign = L"caf\u00e9\u00fc";
    std::string plain = makeArchive(source / (japanese + ".lzh"), {{"p.txt", "p"}});
    std::string standInSource = makeArchive(source / "standin.lzh", {{"f.txt", "f"}});
    std::wstring foreignSource = wideFromAnsi(source.path()) + foreign + L".lzh";
    ASSERT_TRUE(MoveFileW(wideFromAnsi(standInSource).c_str(), foreignSource.c_str()));
    DialogDriver driver([&](DialogDriver& d) { confirmDialog(d, {dest.path(), IDC_CONV_7Z}); });
    EXPECT_EQ(dropWide({wideFromAnsi(plain), foreignSource}, marker.path()), 0);
    ASSERT_TRUE(driver.finish());
    std::vector<StandinCall> calls = readStandinCommands(dlls.logPath());
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].commandLine,
              "e -x1r2 -jf0 -y -c -a1 \"" + plain + "\" \"" + tempFolder() + "~" + japanese + "\\\"");
    EXPECT_NE(calls[1].commandLine.find("\"" + dest / (japanese + ".7z") + "\""), std::string::npos);
    for (size_t i = 2; i < calls.size(); ++i) {
        const std::string& line = calls[i].commandLine;
        EXPECT_TRUE(std::all_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
            << line;
    }
    EXPECT_EQ(contentOf(dest / (japanese + ".7z")), (std::vector<std::string>{"F p.txt=p"}));
    std::wstring foreignOutput = wideFromAnsi(dest.path()) + foreign + L".7z";
    EXPECT_TRUE(MoveFileW(foreignOutput.c_str(), wideFromAnsi(dest / "foreign.7z").c_str()));
    EXPECT_EQ(contentOf(dest / "foreign.7z"), (std::vector<std::string>{"F f.txt=f"}));
    EXPECT_EQ(filesIn(wideFromAnsi(dest.path())).size(), 2u);   // the two new archives; no ASCII form is left
    EXPECT_TRUE(GetFileAttributesW(foreignSource.c_str()) != INVALID_FILE_ATTRIBUTES);
}
