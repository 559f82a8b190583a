// The conversion dialog as a user meets it: what it offers for the installed
// archivers and the stored settings, and what OK leaves in the context and
// the registry; the destination checks and folder creation.
#include <gtest/gtest.h>
#include <windows.h>
#include <functional>
#include <string>
#include <vector>
#include "archivers/versions.h"
#include "support/drop_context.h"
#include "support/dialog_driver.h"
#include "support/scratch_folder.h"
#include "support/standins.h"
#include "base/wide_text.h"
#include "support/text.h"
#include "base/paths.h"
#include "ui/conversion_dialog.h"
#include "ui/dialogs.h"
#include "base/settings.h"
#include "ui/resources/resource.h"
#include "ui_context.h"
#include "base/module.h"

namespace {

const bool fontReady = (useProportionalJapaneseFont(), true);

const char CAPTION[] = "書庫を他の形式に変換して保存";
const int UNSET = -12345;
const int FORMAT_IDS[] = {1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1024, 1025, 1046};
const uint32_t ALL_FORMATS = FMT_LZH | FMT_UNZIP | FMT_ZIP | FMT_CAB | FMT_TAR | FMT_TARBZ2 | FMT_BZA | FMT_GZA |
                             FMT_YZ1 | FMT_7Z;

int stored(const char* name) {
    return readDword("option", name, UNSET);
}

std::string history(int n) {
    std::wstring out;
    return readStringWide("FolderHist", std::to_string(n).c_str(), out) ? fromWide(out) : "<none>";
}

bool inHistory(const std::string& utf8Path) {
    for (int n = 1; n <= 20; ++n)
        if (history(n) == utf8Path) return true;
    return false;
}

bool exists(const std::string& ansiPath) {
    return GetFileAttributesA(ansiPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

struct WindowSearch {
    HWND except;
    std::vector<HWND> found;
};

BOOL CALLBACK collectOtherWindow(HWND w, LPARAM p) {
    WindowSearch* s = reinterpret_cast<WindowSearch*>(p);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == GetCurrentProcessId() && w != s->except && IsWindowVisible(w)) s->found.push_back(w);
    return TRUE;
}

// Visible windows of this process other than `except` (message boxes that
// must not have appeared).
std::vector<HWND> otherWindows(HWND except) {
    WindowSearch search{except, {}};
    EnumWindows(collectOtherWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class ConversionDialog : public testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Kesta\\Veltrox");
    }
    void TearDown() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Kesta\\Veltrox");
    }
    void prepare(uint32_t formats, const std::string& sourceUtf8 = "C:\\source") {
        prepareContext(ctx, formats);
        setFolderField(ctx.sourceFolder, toWide(sourceUtf8));
    }
    // Shows the dialog while `script` plays the user.
    INT_PTR run(const std::function<void(DialogDriver&, SeenWindow&)>& script) {
        DialogDriver driver([&](DialogDriver& d) {
            SeenWindow w = d.waitFor(CAPTION);
            if (w.hwnd) script(d, w);
        });
        INT_PTR result = showConversionDialog(nullptr, archiverComponentVersions);
        EXPECT_TRUE(driver.finish());
        return result;
    }
    DropContext ctx;
    ScratchFolder scratch{"vtxconv"};
    std::string work = scratch.path();   // ANSI, trailing backslash
};

}  // namespace

TEST_F(ConversionDialog, ShowsEveryControlAsDesigned) {
    prepare(ALL_FORMATS);
    SeenWindow shown;
    INT_PTR result = run([&](DialogDriver& d, SeenWindow& w) {
        shown = w;
        d.screenshot("conversion_all_formats");
        d.click(w, IDCANCEL);
    });
    EXPECT_EQ(result, -1);
    const struct {
        int id;
        const char* text;
    } controls[] = {
        {1001, "参照(&W)..."}, {1022, "変換元の書庫と同じ場所に変換する(&V)"}, {1002, "&LZH"}, {1003, "&ZIP"},
        {1004, "&CAB"}, {1005, "&TAR"}, {1006, "TA&R-GZ"}, {1007, "TAR-BZ&2"}, {1008, "&BZA"}, {1009, "&GZA"},
        {1024, "GC&A"}, {1025, "&YZ1"}, {1046, "&7z"}, {1010, "自己解凍書庫に変換(&X)"}, {1020, "圧縮時設定(&P)..."},
        {1023, "変換後、変換元書庫をごみ箱へ(&D)"}, {1028, "同形式変換でも確認メッセージを表示しない(&N)"},
        {1026, "変換した形式を記憶する(&M)"}, {1045, "書庫の更新日時を同じにする(&I)"},
        {1048, "自己解凍書庫の変換をスキップ(&K)"}, {1049, "ZIPの展開、圧縮に 7-ZIP32.DLL を利用する(&U)"},
        {1050, "格納ファイル名で昇順ソートする(&S)"}, {1, "&OK"}, {2, "キャンセル"}, {1000, "About&..."},
    };
    for (const auto& c : controls) {
        const SeenControl* control = shown.control(c.id);
        ASSERT_NE(control, nullptr) << c.id;
        EXPECT_EQ(control->text, c.text) << c.id;
        EXPECT_TRUE(control->visible) << c.id;
    }
    EXPECT_NE(shown.controlByText("変換先フォルダ(&F)"), nullptr);
    EXPECT_NE(shown.controlByText("変換する書庫形式(&E)    ※ GCA形式への変換 (またはその逆の変換) は今のところ未対応です。"),
              nullptr);
    EXPECT_NE(shown.controlByText("オプション"), nullptr);
    for (int id : FORMAT_IDS) {
        // Radio buttons are no tab stops (a checked one becomes one at run time).
        if (id != 1002) {
            EXPECT_EQ(shown.control(id)->style & WS_TABSTOP, 0u) << id;
        }
        EXPECT_EQ(shown.control(id)->enabled, id != 1024) << id;   // GCA is never offered
        EXPECT_EQ(shown.control(id)->checked, id == 1002) << id;
    }
    EXPECT_NE(shown.control(1002)->style & WS_GROUP, 0u);
    EXPECT_NE(shown.control(1011)->style & WS_TABSTOP, 0u);
    EXPECT_EQ(shown.control(1011)->text, "C:\\source");
    EXPECT_EQ(shown.control(1)->style & BS_TYPEMASK, static_cast<DWORD>(BS_DEFPUSHBUTTON));
    EXPECT_TRUE(shown.control(1049)->enabled);
    EXPECT_TRUE(shown.control(1050)->checked);
    EXPECT_TRUE(shown.control(1010)->enabled);
    // Cancel stores nothing.
    EXPECT_EQ(stored("ConvertType"), UNSET);
    EXPECT_EQ(history(1), "<none>");
}

TEST_F(ConversionDialog, OnlyLzhInstalled) {
    prepare(FMT_LZH);
    SeenWindow shown;
    INT_PTR result = run([&](DialogDriver& d, SeenWindow& w) {
        shown = w;
        d.screenshot("conversion_lzh_only");
        d.setText(w, 1011, fromAnsi(work));
        d.setCheck(w, 1010, true);
        d.click(w, IDOK);
    });
    EXPECT_EQ(result, 0);
    for (int id : FORMAT_IDS) {
        EXPECT_EQ(shown.control(id)->enabled, id == 1002) << id;
        EXPECT_EQ(shown.control(id)->checked, id == 1002) << id;
    }
    EXPECT_TRUE(shown.control(1010)->enabled);
    EXPECT_FALSE(shown.control(1049)->enabled);
    EXPECT_EQ(ctx.formats, FMT_LZH);
    EXPECT_EQ(ctx.sfxMode, 1);
    EXPECT_EQ(ansiOfWide(ctx.destFolder), work);   // already ended in a backslash
    EXPECT_EQ(stored("ConvertType"), 1);
    EXPECT_EQ(stored("Sort"), 1);
    EXPECT_EQ(stored("fUse7ZipLib"), 0);
    EXPECT_EQ(stored("fCurrent"), 0);
    EXPECT_EQ(history(1), fromAnsi(work));
}

TEST_F(ConversionDialog, ZipThroughSevenZipIsNotSorted) {
    prepare(ALL_FORMATS);
    writeDword("option", "Sort", 1);
    std::string dest = work.substr(0, work.size() - 1);   // typed without the backslash
    INT_PTR result = run([&](DialogDriver& d, SeenWindow& w) {
        d.setText(w, 1011, fromAnsi(dest));
        d.setCheck(w, 1003, true);
        d.setCheck(w, 1049, true);
        SeenWindow now = d.read(w.hwnd);
        EXPECT_FALSE(now.control(1050)->enabled);
        EXPECT_FALSE(now.control(1010)->enabled);   // no sfx32gui.dat
        d.setCheck(w, 1023, true);
        d.setCheck(w, 1045, true);
        d.setCheck(w, 1048, true);
        d.click(w, IDOK);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ctx.formats, FMT_ZIP);
    EXPECT_EQ(ansiOfWide(ctx.destFolder), dest + "\\");
    EXPECT_EQ(ctx.sort, 0);
    EXPECT_EQ(ctx.fUse7ZipLib, 3u);
    EXPECT_EQ(ctx.fAfterDel, 1);
    EXPECT_EQ(ctx.sameTime, 1);
    EXPECT_EQ(ctx.notConvSfx, 1);
    EXPECT_EQ(stored("Sort"), 1);   // untouched
    EXPECT_EQ(stored("fUse7ZipLib"), 1);
    EXPECT_EQ(stored("ConvertType"), 4);
    EXPECT_EQ(stored("fAfterDel"), 1);
    EXPECT_EQ(stored("SameTime"), 1);
    EXPECT_EQ(stored("NotConvSfx"), 1);
    EXPECT_EQ(stored("SaveConvertType"), 0);
    EXPECT_EQ(stored("AskSameConvert"), 0);
    EXPECT_EQ(history(1), fromAnsi(dest));
}

TEST_F(ConversionDialog, SevenZipLibraryFromTheStartDecidesSorting) {
    // 1049 checked when the dialog opened and unchecked by the user: still unsorted.
    writeDword("option", "fUse7ZipLib", 1);
    writeDword("option", "SaveConvertType", 1);
    writeDword("option", "ConvertType", 4);
    prepare(ALL_FORMATS);
    ASSERT_EQ(ctx.fUse7ZipLib, 3u);
    SeenWindow shown;
    INT_PTR result = run([&](DialogDriver& d, SeenWindow& w) {
        shown = w;
        d.setText(w, 1011, fromAnsi(work));
        d.setCheck(w, 1049, false);
        EXPECT_TRUE(d.read(w.hwnd).control(1050)->enabled);
        d.click(w, IDOK);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(shown.control(1049)->checked, BST_CHECKED);
    EXPECT_EQ(shown.control(1003)->checked, BST_CHECKED);
    EXPECT_EQ(shown.control(1026)->checked, BST_CHECKED);
    EXPECT_EQ(ctx.sort, 0);
    EXPECT_EQ(stored("Sort"), UNSET);
    EXPECT_EQ(ctx.fUse7ZipLib, 0u);
    EXPECT_EQ(stored("fUse7ZipLib"), 0);
}

TEST_F(ConversionDialog, RememberedFormats) {
    const struct {
        uint32_t remembered;
        uint32_t installed;
        int checkedId;   // 0: none
        bool sfx;
        bool sort;
        uint32_t target;
    } cases[] = {
        {FMT_TARBZ2, FMT_LZH, 1002, true, true, FMT_LZH},   // its DLL is gone: the first writable one
        {FMT_TARBZ2, FMT_7Z | FMT_UNZIP | FMT_TAR, 1005, false, true, FMT_TAR},
        {FMT_GCA, FMT_ZIP | FMT_7Z, 1003, true, true, FMT_ZIP},   // only ever read
        {FMT_GZA, FMT_BZA | FMT_GZA, 1009, true, true, FMT_GZA},
        {FMT_TARGZ, FMT_TAR | FMT_LZH, 1006, false, true, FMT_TARGZ},
        {FMT_ZIP, FMT_ZIP | FMT_LZH, 1003, true, true, FMT_ZIP},
        {FMT_7Z, FMT_7Z | FMT_ZIP, 1046, true, false, FMT_7Z},
        {FMT_YZ1, FMT_YZ1, 1025, true, false, FMT_YZ1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.remembered);
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Kesta\\Veltrox");
        writeDword("option", "SaveConvertType", 1);
        writeDword("option", "ConvertType", static_cast<int32_t>(c.remembered));
        prepare(c.installed);
        SeenWindow shown;
        INT_PTR result = run([&](DialogDriver& d, SeenWindow& w) {
            shown = w;
            d.setText(w, 1011, fromAnsi(work));
            d.click(w, IDOK);
        });
        EXPECT_EQ(result, 0);
        for (int id : FORMAT_IDS) EXPECT_EQ(shown.control(id)->checked, id == c.checkedId) << id;
        EXPECT_EQ(shown.control(1010)->enabled, c.sfx);
        EXPECT_EQ(shown.control(1050)->enabled, c.sort);
        EXPECT_EQ(ctx.formats, c.target);   // OK without a choice keeps it
        EXPECT_EQ(stored("ConvertType"), static_cast<int>(c.target));
    }
}

TEST_F(ConversionDialog, ZipSelfExtractorNeedsSfx32gui) {
    writeDword("option", "SaveConvertType", 1);
    writeDword("option", "ConvertType", 4);
    prepare(FMT_ZIP | FMT_LZH);
    bool atStart = false, afterClick = true, withDat = false;
    INT_PTR result = run([&](DialogDriver& d, SeenWindow& w) {
        atStart = d.read(w.hwnd).control(1010)->enabled;
        d.click(w, 1003);
        afterClick = d.read(w.hwnd).control(1010)->enabled;
        StandinFolder dlls;
        dlls.addFile("sfx32gui.dat", "x");
        d.click(w, 1003);
        withDat = d.read(w.hwnd).control(1010)->enabled;
        d.click(w, IDCANCEL);
    });
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(atStart);
    EXPECT_FALSE(afterClick);
    EXPECT_TRUE(withDat);
}

TEST_F(ConversionDialog, SelfExtractionFollowsTheTarget) {
    const struct {
        int button;
        int sfxKind;         // stored "7Zip-SfxMode", 0: none
        int expected;
    } cases[] = {
        {1046, 3, 3},        // 7z takes the stored self-extractor kind
        {1046, 0, 2},        // default Windows
        {1008, 0, 1},
        {1005, 0, 0},        // TAR: no self-extracting archive even though it was ticked before
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Kesta\\Veltrox");
        if (c.sfxKind) writeDword("option", "7Zip-SfxMode", c.sfxKind);
        prepare(ALL_FORMATS);
        INT_PTR result = run([&](DialogDriver& d, SeenWindow& w) {
            d.setText(w, 1011, fromAnsi(work));
            d.setCheck(w, 1010, true);   // on LZH
            d.setCheck(w, c.button, true);
            d.click(w, IDOK);
        });
        EXPECT_EQ(result, 0);
        EXPECT_EQ(ctx.sfxMode, c.expected);
    }
}

TEST_F(ConversionDialog, SearchedFoldersDisableTheSourceFolderOption) {
    writeDword("option", "fCurrent", 1);
    writeString("FolderHist", "1", "C:\\previous");
    ctx.folderSearch = 2;
    prepareContext(ctx, FMT_LZH, false);
    ctx.folderSearch = 2;
    loadSettings(ctx);
    setFolderField(ctx.sourceFolder, work.substr(0, work.size() - 1));
    SeenWindow shown;
    INT_PTR result = run([&](DialogDriver& d, SeenWindow& w) {
        shown = w;
        d.click(w, IDOK);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(shown.control(1011)->text, fromAnsi(work.substr(0, work.size() - 1)));
    EXPECT_FALSE(shown.control(1022)->enabled);
    EXPECT_EQ(shown.control(1022)->checked, BST_UNCHECKED);
    EXPECT_EQ(ctx.fCurrent, 0);
    EXPECT_EQ(stored("fCurrent"), 0);
}

TEST_F(ConversionDialog, SourceFolderOptionAndHistory) {
    writeString("FolderHist", "1", "C:\\recent");
    prepare(FMT_LZH, "C:\\from");
    SeenWindow shown, ticked, unticked;
    INT_PTR result = run([&](DialogDriver& d, SeenWindow& w) {
        shown = w;
        d.setCheck(w, 1022, true);
        ticked = d.read(w.hwnd);
        d.setCheck(w, 1022, false);
        unticked = d.read(w.hwnd);
        d.click(w, IDCANCEL);
    });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(shown.control(1011)->text, "C:\\recent");   // most recent history entry
    EXPECT_EQ(ticked.control(1011)->text, "C:\\from");
    EXPECT_EQ(unticked.control(1011)->text, "C:\\from");  // turning it off leaves the text
    EXPECT_EQ(ctx.fCurrent, 0);
}

TEST_F(ConversionDialog, TypedPathUnderOtherCaseMovesToTheFront) {
    std::string dest = work.substr(0, work.size() - 1);
    std::string upper = dest;
    for (char& ch : upper) ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
    for (int n = 1; n <= 20; ++n)
        writeString("FolderHist", std::to_string(n).c_str(), n == 5 ? dest.c_str() : ("C:\\h" + std::to_string(n)).c_str());
    prepare(FMT_LZH);
    INT_PTR result = run([&](DialogDriver& d, SeenWindow& w) {
        d.setText(w, 1011, fromAnsi(upper));
        d.click(w, IDOK);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(history(1), fromAnsi(upper));   // as newly typed
    EXPECT_EQ(history(2), "C:\\h1");
    EXPECT_EQ(history(5), "C:\\h4");
    EXPECT_EQ(history(6), "C:\\h6");
    EXPECT_EQ(history(20), "C:\\h20");

    // A new destination pushes the oldest entry out.
    std::string other = work + "new";
    CreateDirectoryA(other.c_str(), nullptr);
    prepare(FMT_LZH);
    result = run([&](DialogDriver& d, SeenWindow& w) {
        d.setText(w, 1011, fromAnsi(other));
        d.click(w, IDOK);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(history(1), fromAnsi(other));
    EXPECT_EQ(history(2), fromAnsi(upper));
    EXPECT_EQ(history(20), "C:\\h19");
    EXPECT_EQ(history(21), "<none>");
}

TEST_F(ConversionDialog, UnusableDestinationsKeepTheDialogOpen) {
    const struct {
        std::string text;
        const char* message;   // nullptr: refused silently
    } cases[] = {
        {"", "変換先のフォルダを指定してください。"},
        {"C:", nullptr},
        {"folder\\sub", nullptr},
        {"\\\\server\\share", nullptr},
        {"C:\\" + std::string(256, 'a'), "変換先のフォルダ名が長すぎます。"},   // 259 characters
    };
    prepare(FMT_LZH);
    std::vector<SeenWindow> boxes;
    std::vector<size_t> strays;
    INT_PTR result = run([&](DialogDriver& d, SeenWindow& w) {
        for (const auto& c : cases) {
            d.setText(w, 1011, c.text);
            d.click(w, IDOK);
            if (c.message) {
                SeenWindow box = d.waitFor("Veltrox.dll");
                boxes.push_back(box);
                if (c.text.size() > 200) d.screenshot("conversion_destination_too_long");
                d.click(box, IDOK);
            } else {
                Sleep(300);
                strays.push_back(otherWindows(w.hwnd).size());
            }
            EXPECT_TRUE(IsWindowVisible(w.hwnd)) << c.text;
        }
        d.click(w, IDCANCEL);
    });
    EXPECT_EQ(result, -1);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text(), "変換先のフォルダを指定してください。");
    EXPECT_EQ(boxes[1].text(), "変換先のフォルダ名が長すぎます。");
    for (const SeenWindow& box : boxes) {
        EXPECT_TRUE(box.hasIcon());
        EXPECT_NE(box.owner, nullptr);
        EXPECT_EQ(box.buttons().size(), 1u);
    }
    EXPECT_EQ(strays, (std::vector<size_t>{0, 0, 0}));
    EXPECT_EQ(history(1), "<none>");
}

TEST_F(ConversionDialog, MissingLevelsAreCreatedOneQuestionEach) {
    // "表" and "ソ" end in the byte 0x5C in code page 932.
    std::string target = work + toAnsi("表") + "\\b\\" + toAnsi("ソ");
    prepare(FMT_LZH);
    std::vector<SeenWindow> questions;
    INT_PTR result = run([&](DialogDriver& d, SeenWindow& w) {
        d.setText(w, 1011, fromAnsi(target));
        d.click(w, IDOK);
        for (int i = 0; i < 3; ++i) {
            questions.push_back(d.waitFor("Veltrox.dll"));
            if (i == 0) d.screenshot("conversion_create_folder_question");
            d.click(questions.back(), IDYES);
        }
    });
    EXPECT_EQ(result, 0);
    ASSERT_EQ(questions.size(), 3u);
    for (const SeenWindow& q : questions) {
        EXPECT_EQ(q.text(), "指定した変換先フォルダは存在しません。\nフォルダを作成しますか？");
        EXPECT_EQ(q.buttons().size(), 2u);
    }
    EXPECT_TRUE(exists(work + toAnsi("表")));
    EXPECT_TRUE(exists(work + toAnsi("表") + "\\b"));
    EXPECT_TRUE(exists(target));
    EXPECT_EQ(ansiOfWide(ctx.destFolder), target + "\\");
}

TEST_F(ConversionDialog, AnsweringNoCreatesNothing) {
    std::string target = work + "x\\y";
    prepare(FMT_LZH);
    INT_PTR result = run([&](DialogDriver& d, SeenWindow& w) {
        d.setText(w, 1011, fromAnsi(target));
        d.click(w, IDOK);
        d.click(d.waitFor("Veltrox.dll"), IDNO);
        EXPECT_TRUE(IsWindowVisible(w.hwnd));
        d.click(w, IDCANCEL);
    });
    EXPECT_EQ(result, -1);
    EXPECT_FALSE(exists(work + "x"));
    EXPECT_EQ(stored("ConvertType"), UNSET);
}

TEST_F(ConversionDialog, RootsAreAcceptedWhenTheyExist) {
    EXPECT_TRUE(confirmAndCreateFolder(L"C:\\"));
    EXPECT_TRUE(confirmAndCreateFolder(wideFromAnsi(work)));
    EXPECT_FALSE(confirmAndCreateFolder(L"C:"));
    EXPECT_FALSE(confirmAndCreateFolder(L"\\\\server"));
    EXPECT_FALSE(confirmAndCreateFolder(L"\\\\server\\share"));
    EXPECT_FALSE(confirmAndCreateFolder(L"relative\\path"));
}

TEST_F(ConversionDialog, SettingsButtonOpensTheTargetsOptions) {
    prepare(ALL_FORMATS);
    SeenWindow tarNotice, level;
    INT_PTR result = run([&](DialogDriver& d, SeenWindow& w) {
        d.setCheck(w, 1005, true);
        d.click(w, 1020);
        tarNotice = d.waitFor("Veltrox");
        d.screenshot("conversion_tar_notice");
        d.click(tarNotice, IDOK);
        d.setCheck(w, 1003, true);
        d.click(w, 1020);
        level = d.waitFor("ZIP圧縮レベルの指定");
        d.setTrackbar(level, IDC_LEVEL_SLIDER, 3);
        d.click(level, IDOK);
        Sleep(200);
        d.click(w, IDCANCEL);
    });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(tarNotice.text(), "TARファイルは無圧縮でアーカイブします。");
    EXPECT_TRUE(tarNotice.hasIcon());
    EXPECT_EQ(level.owner != nullptr, true);
    // The option dialog's OK stays stored although the conversion was cancelled.
    EXPECT_EQ(stored("Zip-Level"), 3);
    EXPECT_EQ(stored("ConvertType"), UNSET);
}

TEST_F(ConversionDialog, BrowserOpensAtTheTypedFolder) {
    for (const char* suffix : {"", "-Müller한😀"}) {
        SCOPED_TRACE(suffix);
        // A folder the browser's tree shows directly under the drive.
        std::wstring dest = toWide("C:\\vtxbrowse-" + std::to_string(GetCurrentProcessId()) + suffix);
        ASSERT_TRUE(CreateDirectoryW(dest.c_str(), nullptr));
        prepare(FMT_LZH);
        SeenWindow browser;
        std::string after;
        INT_PTR result = run([&](DialogDriver& d, SeenWindow& w) {
            d.setText(w, 1011, fromWide(dest));
            d.click(w, 1001);
            browser = d.waitFor("");
            Sleep(1000);
            browser = d.read(browser.hwnd);
            if (!*suffix) d.screenshot("conversion_folder_browser");
            d.click(browser, IDOK);
            Sleep(300);
            after = d.read(w.hwnd).control(1011)->text;
            d.click(w, IDCANCEL);
        });
        EXPECT_EQ(result, -1);
        EXPECT_NE(browser.controlByText("フォルダを選択してください。"), nullptr);
        EXPECT_EQ(lstrcmpiW(toWide(after).c_str(), dest.c_str()), 0) << after;
        RemoveDirectoryW(dest.c_str());
    }
}

TEST_F(ConversionDialog, CentredOverItsOwner) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 40, 60, 900, 700, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    prepare(FMT_LZH);
    RECT dialogRect{};
    SeenWindow dropBox;
    DialogDriver driver([&](DialogDriver& d) {
        SeenWindow w = d.waitFor(CAPTION);
        GetWindowRect(w.hwnd, &dialogRect);
        // Dropped files are only announced.
        PostMessageW(w.hwnd, WM_DROPFILES, 0, 0);
        dropBox = d.waitFor("エラー");   // a message box without a caption of its own
        d.click(dropBox, IDOK);
        d.click(w, IDCANCEL);
    });
    EXPECT_EQ(showConversionDialog(owner, archiverComponentVersions), -1);
    EXPECT_TRUE(driver.finish());
    EXPECT_EQ(ctx.ownerWindow, owner);
    int width = dialogRect.right - dialogRect.left, height = dialogRect.bottom - dialogRect.top;
    EXPECT_EQ(dialogRect.left, 40 + 900 / 2 - width / 2);
    EXPECT_EQ(dialogRect.top, 60 + 700 / 2 - height / 2);
    EXPECT_EQ(dropBox.text(), "WM_DROPFILES");
    EXPECT_EQ(dropBox.buttons().size(), 1u);
    DestroyWindow(owner);
}

// While the OK steps wait for the folder question, the dialog owns the
// question and is disabled; a Cancel that still reaches it means nothing is
// stored or converted, a second OK is ignored (no nested question).
TEST_F(ConversionDialog, FolderQuestionKeepsTheDialogOutOfReach) {
    const struct {
        int second;
        INT_PTR result;
    } cases[] = {{IDCANCEL, -1}, {IDOK, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.second);
        std::string target = work + "q" + std::to_string(c.second);
        prepare(FMT_LZH);
        HWND dialog = nullptr;
        bool enabledDuringQuestion = true;
        SeenWindow question;
        INT_PTR result = run([&](DialogDriver& d, SeenWindow& w) {
            dialog = w.hwnd;
            d.setText(w, 1011, fromAnsi(target));
            d.click(w, IDOK);
            question = d.waitFor("Veltrox.dll");
            enabledDuringQuestion = IsWindowEnabled(w.hwnd) != FALSE;
            d.click(w, c.second);
            d.click(question, IDYES);
        });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(question.owner, dialog);
        EXPECT_FALSE(enabledDuringQuestion);
        // Stored only when confirmed (other test programs may share the
        // registry, so the check looks for this destination only).
        EXPECT_EQ(inHistory(fromAnsi(target)), c.result == 0);
    }
}

TEST_F(ConversionDialog, OwnerThatIsGoneIsNotUsed) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"gone", WS_POPUP | WS_VISIBLE, 40, 60, 300, 200, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    DestroyWindow(owner);
    prepare(FMT_LZH);
    SeenWindow shown;
    DialogDriver driver([&](DialogDriver& d) {
        shown = d.waitFor(CAPTION);
        if (shown.hwnd) d.click(shown, IDCANCEL);
    });
    EXPECT_EQ(showConversionDialog(owner, archiverComponentVersions), -1);
    EXPECT_TRUE(driver.finish());
    EXPECT_NE(shown.hwnd, nullptr);
    EXPECT_EQ(shown.owner, nullptr);
}

TEST_F(ConversionDialog, DialogThatCannotBeCreatedIsReported) {
    prepare(FMT_LZH);
    HINSTANCE own = moduleInstance;
    moduleInstance = GetModuleHandleA("kernel32.dll");   // holds no dialog template
    DialogDriver driver([](DialogDriver& d) { d.click(d.waitFor("Veltrox.dll"), IDOK); });
    INT_PTR result = showConversionDialog(nullptr, archiverComponentVersions);
    moduleInstance = own;
    EXPECT_TRUE(driver.finish());
    EXPECT_EQ(result, -1);
    ASSERT_EQ(driver.seenCount(), 1u);
    EXPECT_EQ(driver.seen(0).text(), "Veltrox の変換処理を開始できません。");
    EXPECT_TRUE(driver.seen(0).hasIcon());
}

// A destination reaches the context and the history exactly, in any script
// and however it was given; one in code page 932 is stored as before, so an
// older version reads it back unchanged.
TEST_F(ConversionDialog, DestinationInAnyScriptIsTakenExactly) {
    enum Route { TYPED, FROM_HISTORY, SAME_PLACE, CREATED };
    const struct {
        const char* name;
        Route route;
    } cases[] = {
        {"Müller", TYPED}, {"한글", FROM_HISTORY}, {"😀", SAME_PLACE}, {"新 ü\\😀한", CREATED}, {"表ソ", FROM_HISTORY},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Kesta\\Veltrox");
        std::wstring target = wideFromAnsi(work) + toWide(c.name);
        bool inCodePage = fromAnsi(toAnsi(c.name)) == c.name;
        if (c.route != CREATED) CreateDirectoryW(target.c_str(), nullptr);
        if (c.route != FROM_HISTORY) writeString("FolderHist", "1", "C:\\recent");
        else if (inCodePage) writeString("FolderHist", "1", toAnsi(fromWide(target)).c_str());   // as stored before
        else writeStringWide("FolderHist", "1", target);
        prepare(FMT_LZH, c.route == SAME_PLACE ? fromWide(target) : "C:\\source");
        std::string shown;
        int questions = 0;
        INT_PTR result = run([&](DialogDriver& d, SeenWindow& w) {
            if (c.route == TYPED || c.route == CREATED) d.setText(w, 1011, fromWide(target));
            if (c.route == SAME_PLACE) d.setCheck(w, 1022, true);
            shown = d.read(w.hwnd).control(1011)->text;
            d.click(w, IDOK);
            if (c.route != CREATED) return;
            for (; questions < 2; ++questions) d.click(d.waitFor("Veltrox.dll"), IDYES);
        });
        EXPECT_EQ(result, 0);
        EXPECT_EQ(shown, fromWide(target));
        EXPECT_EQ(questions, c.route == CREATED ? 2 : 0);
        EXPECT_NE(GetFileAttributesW(target.c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(std::wstring(ctx.destFolder), target + L"\\");
        EXPECT_EQ(history(1), fromWide(target));
        if (inCodePage) {
            char stored[SETTINGS_STRING_SIZE];
            readString("FolderHist", "1", stored, "");
            EXPECT_EQ(std::string(stored), toAnsi(fromWide(target)));
        }
    }
}

// A ZIP direction that only 7-zip32.dll serves goes through it whatever the
// box said: the box is shown ticked and disabled, and the stored choice stays
// the user's. Otherwise the box decides as before.
TEST_F(ConversionDialog, SevenZipBoxIsHeldWhereOnlySevenZipServesZip) {
    const struct {
        uint32_t only;       // directions only 7-zip32.dll serves
        int stored;          // "fUse7ZipLib" before
        bool untick;         // the user unticks the box (ticks it when false) where it can
        uint32_t routed;     // fUse7ZipLib afterwards
        int storedAfter;
    } cases[] = {
        {3, 0, true, 3, 0}, {1, 0, true, 1, 0}, {2, 1, true, 3, 1}, {0, 1, true, 0, 0}, {0, 0, false, 3, 1},
    };
    for (const auto& c : cases) {
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Kesta\\Veltrox");
        writeDword("option", "fUse7ZipLib", c.stored);
        prepare(FMT_7Z | FMT_ZIP | FMT_UNZIP | FMT_LZH);
        ctx.sevenZipOnly = c.only;
        ctx.fUse7ZipLib = c.only | (c.stored ? 3 : 0);   // as probe and settings leave it
        SeenWindow shown;
        INT_PTR result = run([&](DialogDriver& d, SeenWindow& w) {
            shown = w;
            d.setText(w, 1011, fromAnsi(work));
            d.setCheck(w, 1003, true);
            if (!c.only) d.setCheck(w, 1049, !c.untick);   // a disabled box cannot be clicked
            d.click(w, IDOK);
        });
        EXPECT_EQ(result, 0) << c.only;
        EXPECT_EQ(shown.control(1049)->enabled, c.only == 0) << c.only;
        EXPECT_EQ(shown.control(1049)->checked, c.only || c.stored ? BST_CHECKED : BST_UNCHECKED) << c.only;
        EXPECT_EQ(ctx.fUse7ZipLib, c.routed) << c.only << c.stored;
        EXPECT_EQ(stored("fUse7ZipLib"), c.storedAfter) << c.only << c.stored;
    }
}
