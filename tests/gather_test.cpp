// Input gathering from a real data object holding a DROPFILES block, with the
// folder question and the messages played through the dialog driver.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/gather.h"
#include "shell/drop_data.h"
#include "support/drop_context.h"
#include "support/dialog_driver.h"
#include "support/scratch_folder.h"
#include "base/wide_text.h"
#include "support/text.h"
#include "ui/resources/resource.h"

namespace {

const char NO_DLL[] = "アーカイバDLLが見つかりません。";
const char NOTHING_FOUND[] = "書庫ファイルが見つかりませんでした。";

// Counts the storage mediums handed out and not yet released.
class MediumOwner : public IUnknown {
public:
    LONG outstanding = 0;
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown) { *out = nullptr; return E_NOINTERFACE; }
        *out = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++outstanding); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--outstanding); }
};

// A data object as the shell's: CF_HDROP in global memory, a DROPFILES block
// with wide names. Each GetData hands out a fresh copy.
class DropObject : public IDataObject {
public:
    explicit DropObject(const std::vector<std::wstring>& names, bool offerDrop = true) : offerDrop_(offerDrop) {
        for (const std::wstring& name : names) names_.append(name).push_back(L'\0');
        if (names_.empty()) names_.push_back(L'\0');
        names_.push_back(L'\0');
    }
    MediumOwner owner;
    int getDataCalls = 0;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown && iid != IID_IDataObject) { *out = nullptr; return E_NOINTERFACE; }
        *out = this;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
        ++getDataCalls;
        HRESULT hr = QueryGetData(format);
        if (FAILED(hr)) return hr;
        size_t bytes = sizeof(DROPFILES) + names_.size() * sizeof(wchar_t);
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
        auto* block = static_cast<DROPFILES*>(GlobalLock(memory));
        block->pFiles = sizeof(DROPFILES);
        block->fWide = TRUE;
        memcpy(block + 1, names_.data(), names_.size() * sizeof(wchar_t));
        GlobalUnlock(memory);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        // Released through the owner, which frees nothing: count, then free.
        medium->pUnkForRelease = &owner;
        owner.AddRef();
        memories_.push_back(memory);
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* format) override {
        if (!offerDrop_ || format->cfFormat != CF_HDROP) return DV_E_FORMATETC;
        if (!(format->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
        if (format->dwAspect != DVASPECT_CONTENT || format->lindex != -1) return DV_E_FORMATETC;
        return S_OK;
    }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }
    ~DropObject() {
        for (HGLOBAL memory : memories_) GlobalFree(memory);
    }

private:
    bool offerDrop_;
    std::wstring names_;
    std::vector<HGLOBAL> memories_;
};

// The list's paths as ANSI text (the test paths have an ANSI form).
std::vector<std::string> listOf(const wchar_t* list) {
    std::vector<std::string> paths;
    for (const wchar_t* p = list; p && *p; p += wcslen(p) + 1) paths.push_back(ansiOfWide(p));
    return paths;
}

// The icon a message box shows (the shared system icons compare by handle);
// read while the box is up.
HICON iconOf(const SeenWindow& w) {
    for (const SeenControl& c : w.controls) {
        if ((c.style & SS_TYPEMASK) == SS_ICON) return reinterpret_cast<HICON>(SendMessageW(c.hwnd, STM_GETICON, 0, 0));
    }
    return nullptr;
}

// Pixels of a control placed at (x, y) with size (cx, cy) in dialog units.
RECT dialogUnits(HWND dialog, int x, int y, int cx, int cy) {
    RECT r{x, y, cx, cy};
    MapDialogRect(dialog, &r);
    return RECT{r.left, r.top, r.left + r.right, r.top + r.bottom};
}

class Gather : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_.formats = FMT_LZH | FMT_UNZIP;
        ctx_.folderSearch = 0;
        ctx_.listHeap = nullptr;
        // The remembered owner of the question and the messages.
        owner_ = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                 nullptr, nullptr, nullptr);
        SetForegroundWindow(owner_);
    }
    void TearDown() override { DestroyWindow(owner_); }
    std::wstring wide(const std::string& ansiPath) { return toWide(fromAnsi(ansiPath)); }
    // An archive by its name, an archive by its content, a text file and a
    // subfolder with one more archive.
    void fillFolder(const std::string& folder) {
        CreateDirectoryA(folder.c_str(), nullptr);
        CreateDirectoryA((folder + "\\sub").c_str(), nullptr);
        writeBytes(folder + "\\a.lzh", "");
        writeBytes(folder + "\\setup.exe", std::string("MZ") + std::string(1000, '\0') + "Rar!" + std::string(50, '\0'));
        writeBytes(folder + "\\readme.txt", "just text, no zero byte anywhere in the first eighty bytes of it....");
        writeBytes(folder + "\\sub\\b.zip", "");
    }
    DropContext ctx_;
    HWND owner_ = nullptr;
    ScratchFolder scratch_{"gather"};
};

}  // namespace

TEST_F(Gather, NoArchiverDllAtAll) {
    ctx_.formats = 0;
    DropObject data({wide(scratch_ / "a.lzh")});
    HICON icon = nullptr;
    DialogDriver driver([&](DialogDriver& d) {
        SeenWindow box = d.waitFor("Veltrox.dll");
        icon = iconOf(box);
        d.click(box, IDOK);
    });
    EXPECT_EQ(gatherDroppedInputs(ctx_, &data), nullptr);
    ASSERT_TRUE(driver.finish());
    ASSERT_EQ(driver.seenCount(), 1u);
    EXPECT_EQ(driver.seen(0).text(), NO_DLL);
    EXPECT_EQ(driver.seen(0).owner, nullptr);
    EXPECT_EQ(driver.seen(0).buttons().size(), 1u);
    EXPECT_EQ(icon, LoadIcon(nullptr, IDI_HAND));
    EXPECT_EQ(data.getDataCalls, 0);
}

TEST_F(Gather, NothingToReadEndsSilently) {
    DialogDriver driver([](DialogDriver&) {}, 1500);
    EXPECT_EQ(gatherDroppedInputs(ctx_, nullptr), nullptr);
    DropObject noDrop({L"C:\\x.lzh"}, false);
    EXPECT_EQ(gatherDroppedInputs(ctx_, &noDrop), nullptr);
    DropObject empty({});
    EXPECT_EQ(gatherDroppedInputs(ctx_, &empty), nullptr);
    EXPECT_EQ(empty.getDataCalls, 1);
    EXPECT_EQ(empty.owner.outstanding, 0);
    EXPECT_TRUE(driver.finish());
    EXPECT_EQ(driver.seenCount(), 0u);
    EXPECT_TRUE(driver.unexpectedWindows().empty());
}

TEST_F(Gather, FoldersWithoutSubfoldersAndAFileInDropOrder) {
    std::string one = scratch_ / "one", two = scratch_ / "two";
    fillFolder(one);
    fillFolder(two);
    std::string file = scratch_ / "notes.doc";   // listed unexamined, even though missing
    DropObject data({wide(one), wide(file), wide(two)});
    DialogDriver driver([](DialogDriver& d) {
        SeenWindow question = d.waitFor("確認");
        d.click(question, IDYES);
    });
    const wchar_t* list = gatherDroppedInputs(ctx_, &data);
    ASSERT_TRUE(driver.finish());
    ASSERT_EQ(driver.seenCount(), 1u);   // asked once, at the first folder
    EXPECT_EQ(driver.seen(0).owner, owner_);
    EXPECT_EQ(ctx_.folderSearch, 1);
    EXPECT_EQ(data.owner.outstanding, 0);
    ASSERT_NE(list, nullptr);
    std::vector<std::string> paths = listOf(list);
    ASSERT_EQ(paths.size(), 5u);
    auto sorted = [](std::vector<std::string> v) { std::sort(v.begin(), v.end()); return v; };
    EXPECT_EQ(sorted({paths[0], paths[1]}), sorted({one + "\\a.lzh", one + "\\setup.exe"}));
    EXPECT_EQ(paths[2], file);
    EXPECT_EQ(sorted({paths[3], paths[4]}), sorted({two + "\\a.lzh", two + "\\setup.exe"}));
}

TEST_F(Gather, SubfoldersAreSearchedWhereTheyAreMet) {
    // "表" ends in the byte 0x5C: the folder still gets its own backslash.
    std::string folder = scratch_ / toAnsi("表");
    fillFolder(folder);
    writeBytes(folder + "\\sub\\c.lzh", "");
    CreateDirectoryA((folder + "\\sub\\deeper").c_str(), nullptr);
    writeBytes(folder + "\\sub\\deeper\\d.7z", "");
    DropObject data({wide(folder)});
    DialogDriver driver([](DialogDriver& d) {
        SeenWindow question = d.waitFor("確認");
        d.setCheck(question, IDC_FOLDER_SUBFOLDERS, true);
        d.click(question, IDYES);
    });
    const wchar_t* list = gatherDroppedInputs(ctx_, &data);
    ASSERT_TRUE(driver.finish());
    EXPECT_EQ(ctx_.folderSearch, 2);
    std::vector<std::string> paths = listOf(list);
    std::vector<std::string> expected = {folder + "\\a.lzh", folder + "\\setup.exe", folder + "\\sub\\b.zip",
                                         folder + "\\sub\\c.lzh", folder + "\\sub\\deeper\\d.7z"};
    std::vector<std::string> got = paths;
    std::sort(got.begin(), got.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(got, expected);
    // The subfolder's archives follow one another: it was searched at one point.
    auto inSub = [&](const std::string& p) { return p.find("\\sub\\") != std::string::npos; };
    auto first = std::find_if(paths.begin(), paths.end(), inSub);
    EXPECT_TRUE(std::all_of(first, first + 3, inSub));
}

TEST_F(Gather, NoAnswerTheFoldersAreSkipped) {
    std::string folder = scratch_ / "only";
    fillFolder(folder);
    DropObject data({wide(folder), wide(folder)});
    HICON icon = nullptr;
    DialogDriver driver([&](DialogDriver& d) {
        SeenWindow question = d.waitFor("確認");
        d.click(question, IDNO);
        SeenWindow box = d.waitFor("Veltrox.dll");
        icon = iconOf(box);
        d.click(box, IDOK);
    });
    EXPECT_EQ(gatherDroppedInputs(ctx_, &data), nullptr);
    ASSERT_TRUE(driver.finish());
    EXPECT_EQ(ctx_.folderSearch, -1);
    ASSERT_EQ(driver.seenCount(), 2u);
    const SeenWindow& box = driver.seen(1);
    EXPECT_EQ(box.text(), NOTHING_FOUND);
    EXPECT_EQ(box.owner, owner_);
    EXPECT_EQ(icon, LoadIcon(nullptr, IDI_HAND));
    EXPECT_EQ(data.owner.outstanding, 0);
}

TEST_F(Gather, FolderQuestionAsTheUserSeesIt) {
    std::string folder = scratch_ / "q";
    fillFolder(folder);
    DropObject data({wide(folder)});
    bool stillOpen = false;
    RECT client{}, expectedClient{}, check{}, expectedCheck{}, no{}, expectedNo{};
    DialogDriver driver([&](DialogDriver& d) {
        SeenWindow question = d.waitFor("確認");
        d.screenshot("folder_question");
        // Esc and the close box do not end the question.
        d.pressKey(question, VK_ESCAPE);
        d.close(question);
        Sleep(300);
        stillOpen = IsWindowVisible(question.hwnd) != FALSE;
        GetClientRect(question.hwnd, &client);
        expectedClient = dialogUnits(question.hwnd, 0, 0, 227, 74);
        expectedCheck = dialogUnits(question.hwnd, 38, 34, 94, 10);
        expectedNo = dialogUnits(question.hwnd, 170, 53, 50, 14);
        check = question.control(IDC_FOLDER_SUBFOLDERS)->rect;
        no = question.control(IDNO)->rect;
        d.click(question, IDYES);
    });
    const wchar_t* list = gatherDroppedInputs(ctx_, &data);
    ASSERT_TRUE(driver.finish());
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(ctx_.folderSearch, 1);
    EXPECT_NE(list, nullptr);
    const SeenWindow& q = driver.seen(0);
    EXPECT_TRUE(q.hasIcon());
    EXPECT_NE(q.controlByText("フォルダ以下の書庫ファイルを検索し、全て変換しますか?"), nullptr);
    const SeenControl* box = q.control(IDC_FOLDER_SUBFOLDERS);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text, "サブフォルダも検索する(&S)");
    EXPECT_EQ(box->checked, BST_UNCHECKED);
    ASSERT_NE(q.control(IDYES), nullptr);
    EXPECT_EQ(q.control(IDYES)->text, "はい(&Y)");
    EXPECT_TRUE(q.control(IDYES)->style & BS_DEFPUSHBUTTON);
    EXPECT_EQ(q.control(IDNO)->text, "いいえ(&N)");
    EXPECT_EQ(client.right, expectedClient.right);
    EXPECT_EQ(client.bottom, expectedClient.bottom);
    EXPECT_TRUE(EqualRect(&check, &expectedCheck));
    EXPECT_TRUE(EqualRect(&no, &expectedNo));
}

// Names in any script are gathered as they are; a path too long is refused.
TEST_F(Gather, NamesInAnyScriptAreTakenTooLongOnesRefused) {
    // Hangul has no code page 932 form; the file exists under its real name.
    std::wstring foreign = wide(scratch_.path()) + L"\xD55C\xAE00.lzh";
    HANDLE h = CreateFileW(foreign.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(h);
    std::string plain = scratch_ / "plain.lzh";
    std::wstring longName = L"C:\\" + std::wstring(300, L'x') + L".lzh";
    DropObject data({foreign, wide(plain), longName});
    HICON icon = nullptr;
    DialogDriver driver([&](DialogDriver& d) {
        SeenWindow box = d.waitFor("Veltrox.dll");
        icon = iconOf(box);
        d.click(box, IDOK);
    });
    const wchar_t* list = gatherDroppedInputs(ctx_, &data);
    ASSERT_TRUE(driver.finish());
    ASSERT_EQ(driver.seenCount(), 1u);
    const SeenWindow& box = driver.seen(0);
    EXPECT_EQ(box.text(), fromWide(longName) + "\n\nはパスが長すぎるため、処理できません。");
    EXPECT_EQ(box.owner, owner_);
    EXPECT_EQ(icon, LoadIcon(nullptr, IDI_EXCLAMATION));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(std::wstring(list), foreign);
    EXPECT_EQ(listOf(list + foreign.size() + 1), std::vector<std::string>{plain});
    EXPECT_EQ(data.owner.outstanding, 0);
}

TEST_F(Gather, ListKeepsItsSpareZeroBytesWhileGrowing) {
    ctx_.listHeap = HeapCreate(0, 0x8000, 0);
    InputList list;
    list.block = static_cast<wchar_t*>(HeapAlloc(ctx_.listHeap, HEAP_ZERO_MEMORY, INPUT_LIST_SPARE * sizeof(wchar_t)));
    list.capacity = INPUT_LIST_SPARE;
    std::vector<std::string> written;
    int moves = 0;
    for (int i = 0; i < 5000; ++i) {
        std::string path = "C:\\" + std::string(i % 250, 'p') + std::to_string(i);
        if (path.size() > 259) path.resize(259);
        wchar_t* before = list.block;
        ASSERT_TRUE(appendInput(ctx_, list, wideFromAnsi(path)));
        if (list.block != before) ++moves;
        written.push_back(path);
        size_t size = HeapSize(ctx_.listHeap, 0, list.block);
        ASSERT_GE(size, (list.used + INPUT_LIST_SPARE) * sizeof(wchar_t));
        ASSERT_EQ(std::count(list.block + list.used, list.block + list.used + INPUT_LIST_SPARE, L'\0'),
                  static_cast<long>(INPUT_LIST_SPARE));
    }
    EXPECT_EQ(listOf(list.block), written);
    // Geometric growth: a handful of moves, not one per path.
    EXPECT_LT(moves, 40);
}

TEST_F(Gather, FolderEndingInDotContributesNothing) {
    writeBytes(scratch_ / "a.lzh", "");
    ctx_.listHeap = HeapCreate(0, 0x8000, 0);
    InputList list;
    list.block = static_cast<wchar_t*>(HeapAlloc(ctx_.listHeap, HEAP_ZERO_MEMORY, INPUT_LIST_SPARE * sizeof(wchar_t)));
    list.capacity = INPUT_LIST_SPARE;
    EXPECT_TRUE(searchFolder(ctx_, list, wideFromAnsi(scratch_.path() + "."), false));
    EXPECT_EQ(list.used, 0u);
    EXPECT_TRUE(searchFolder(ctx_, list, wideFromAnsi(scratch_.path()), false));
    EXPECT_EQ(listOf(list.block), std::vector<std::string>{scratch_ / "a.lzh"});
}

TEST_F(Gather, FolderEntriesInAnyScriptAreSearched) {
    std::string folder = scratch_ / "mixed";
    fillFolder(folder);
    std::wstring wideFolder = wide(folder) + L"\\";
    for (const wchar_t* name : {L"\xD55C.lzh", L"\xD55C.txt"}) {
        HANDLE h = CreateFileW((wideFolder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(h);
    }
    ctx_.folderSearch = 1;   // answered before: no question
    DropObject data({wide(folder)});
    std::vector<std::wstring> paths;
    for (const wchar_t* p = gatherDroppedInputs(ctx_, &data); p && *p; p += wcslen(p) + 1) paths.push_back(p);
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::wstring>{wideFolder + L"a.lzh", wideFolder + L"setup.exe",
                                                wideFolder + L"\xD55C.lzh"}));
}

// ZIP-based documents and packages in a searched folder are the user's files,
// not archives to convert; one dropped on its own is converted as chosen.
TEST_F(Gather, ZipBasedDocumentsInAFolderAreLeftAlone) {
    const std::string zip = std::string("PK\x03\x04", 4) + std::string(60, '\0');
    std::string folder = scratch_ / "docs";
    CreateDirectoryA(folder.c_str(), nullptr);
    const char* names[] = {"report.docx", "sheet.XLSX", "app.jar", "book.epub", "pkg.appxbundle", "c.zip",
                           "a.docx.zip", "x.jar7"};
    for (const char* name : names) writeBytes(folder + "\\" + name, zip);
    std::string chosen = folder + "\\report.docx";
    DropObject data({wide(folder), wide(chosen)});
    DialogDriver driver([](DialogDriver& d) { d.click(d.waitFor("確認"), IDYES); });
    std::vector<std::string> paths = listOf(gatherDroppedInputs(ctx_, &data));
    ASSERT_TRUE(driver.finish());
    std::sort(paths.begin(), paths.end() - 1);
    EXPECT_EQ(paths, (std::vector<std::string>{folder + "\\a.docx.zip", folder + "\\c.zip", folder + "\\x.jar7", chosen}));
}
