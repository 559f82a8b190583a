// Veltrox64.dll (the drop handler of 64-bit shells) and its hand-over to
// VeltroxHost.exe. The COM behaviour must match Veltrox.dll's own handler;
// the hand-over is checked with a recording Veltrox.dll beside the host that
// writes down the drop sequence and the paths it receives.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>
#include "shell/com_server.h"
#include "shell/host/drop_data.h"
#include "support/dialog_driver.h"
#include "support/scratch_folder.h"
#include "support/standins.h"
#include "support/text.h"

namespace {

const char startFailure[] = "Veltrox の変換処理を開始できません。";
void* const poison = reinterpret_cast<void*>(static_cast<INT_PTR>(0x1234));

typedef HRESULT(WINAPI* GetClassObjectFunction)(REFCLSID, REFIID, void**);

std::wstring stage;      // Veltrox64.dll, VeltroxHost.exe and the recording Veltrox.dll
std::wstring tempFolder; // TMP of this process and of the host it starts
GetClassObjectFunction getClassObject = nullptr;

void emptyFolder(const std::wstring& folder) {
    for (const std::wstring& name : filesIn(folder)) DeleteFileW((folder + name).c_str());
}

// The CF_HDROP data object of the host and droptool; whoever it was handed to
// must have let go of it by the end of the test.
struct TestData {
    explicit TestData(const std::vector<std::wstring>& paths = {}) : object(createDropDataObject(paths)) {}
    ~TestData() { EXPECT_EQ(object ? object->Release() : 0u, 0u); }
    TestData(const TestData&) = delete;
    TestData& operator=(const TestData&) = delete;
    IDataObject* object;
};

IClassFactory* newFactory() {
    void* factory = poison;
    EXPECT_EQ(getClassObject(CLSID_VeltroxDropHandler, IID_IClassFactory, &factory), S_OK);
    return static_cast<IClassFactory*>(factory);
}

IShellExtInit* newHandler() {
    IClassFactory* factory = newFactory();
    void* handler = poison;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IShellExtInit, &handler), S_OK);
    factory->Release();
    return static_cast<IShellExtInit*>(handler);
}

template <typename Interface>
Interface* query(IUnknown* object, REFIID riid) {
    void* result = poison;
    EXPECT_EQ(object->QueryInterface(riid, &result), S_OK);
    return static_cast<Interface*>(result);
}

// The host and the recording converter are staged in both builds (the host
// has the converter's word size); Veltrox64.dll only in the 64-bit build,
// which the 32-bit build's suite also builds and runs this program from
// (shim64_x86_64_test) where the 64-bit Wine loader is installed.
class Shim64Test : public testing::Test {
protected:
    static void SetUpTestSuite() {
        std::wstring build = toWide(buildFolder());
        stage = build + L"shim64_stage\\";
        tempFolder = build + L"shim64_tmp\\";
        CreateDirectoryW(stage.c_str(), nullptr);
        CreateDirectoryW(tempFolder.c_str(), nullptr);
        emptyFolder(stage);
        CopyFileW((build + L"bin\\VeltroxHost.exe").c_str(), (stage + L"VeltroxHost.exe").c_str(), FALSE);
        CopyFileW((build + L"recording_converter\\Veltrox.dll").c_str(), (stage + L"Veltrox.dll").c_str(), FALSE);
        SetEnvironmentVariableW(L"TMP", tempFolder.c_str());
        SetEnvironmentVariableW(L"TEMP", tempFolder.c_str());
#ifdef _WIN64
        CopyFileW((build + L"bin\\Veltrox64.dll").c_str(), (stage + L"Veltrox64.dll").c_str(), FALSE);
        HMODULE shim = LoadLibraryW((stage + L"Veltrox64.dll").c_str());
        ASSERT_NE(shim, nullptr);
        getClassObject = reinterpret_cast<GetClassObjectFunction>(GetProcAddress(shim, "DllGetClassObject"));
#endif
    }
    void SetUp() override {
#ifndef _WIN64
        GTEST_SKIP() << "Veltrox64.dll is tested from the 64-bit build";
#else
        ASSERT_TRUE(getClassObject);
        emptyFolder(tempFolder);
#endif
    }
};

// VeltroxHost.exe on its own, started with a list file as Veltrox64.dll (or
// a user) starts it.
class HostTest : public Shim64Test {
protected:
    void SetUp() override {
        ASSERT_NE(GetFileAttributesW((stage + L"VeltroxHost.exe").c_str()), INVALID_FILE_ATTRIBUTES);
        emptyFolder(tempFolder);
    }
};

TEST_F(Shim64Test, DropWithoutFileDataStartsNothing) {
    DeleteFileW((stage + L"record.txt").c_str());
    IShellExtInit* init = newHandler();
    IDropTarget* target = query<IDropTarget>(init, IID_IDropTarget);
    TestData noFiles;
    DWORD effect = DROPEFFECT_COPY;
    EXPECT_EQ(target->Drop(noFiles.object, 0, POINTL{0, 0}, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(target->Drop(nullptr, 0, POINTL{0, 0}, &effect), S_OK);
    target->Release();
    init->Release();
    Sleep(500);
    EXPECT_TRUE(filesIn(tempFolder).empty());
    EXPECT_EQ(GetFileAttributesW((stage + L"record.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

// ---- hand-over to the host ------------------------------------------------

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// The recording converter's lines, once it has written them (empty on timeout).
std::vector<std::string> waitForRecord(DWORD timeoutMs) {
    std::wstring path = stage + L"record.txt";
    for (DWORD waited = 0; waited < timeoutMs; waited += 100) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            std::string text(GetFileSize(file, nullptr), '\0');
            DWORD read = 0;
            if (!text.empty()) ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &read, nullptr);
            CloseHandle(file);
            return splitLines(text);
        }
        Sleep(100);
    }
    return {};
}

void waitForProcessEnd(DWORD pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process) return;   // already gone
    EXPECT_EQ(WaitForSingleObject(process, 30000), WAIT_OBJECT_0);
    CloseHandle(process);
}

// Drops `paths` on Veltrox64.dll as the shell would and returns what the
// recording converter behind the host saw, after the host has ended.
std::vector<std::string> dropThroughShim(const std::vector<std::wstring>& paths, const std::wstring& marker) {
    DeleteFileW((stage + L"record.txt").c_str());
    TestData data(paths);
    IShellExtInit* init = newHandler();
    IPersistFile* persist = query<IPersistFile>(init, IID_IPersistFile);
    IDropTarget* target = query<IDropTarget>(init, IID_IDropTarget);
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    EXPECT_EQ(init->Initialize(nullptr, data.object, nullptr), S_OK);
    EXPECT_EQ(persist->Load(marker.c_str(), STGM_READ), S_OK);
    EXPECT_EQ(target->DragEnter(data.object, MK_LBUTTON, POINTL{0, 0}, &effect), S_OK);
    EXPECT_EQ(target->DragOver(MK_LBUTTON, POINTL{0, 0}, &effect), S_OK);
    EXPECT_EQ(target->Drop(data.object, 0, POINTL{0, 0}, &effect), S_OK);
    target->Release();
    persist->Release();
    init->Release();

    std::vector<std::string> lines = waitForRecord(60000);
    if (!lines.empty() && lines[0].compare(0, 4, "pid ") == 0)
        waitForProcessEnd(static_cast<DWORD>(strtoul(lines[0].c_str() + 4, nullptr, 10)));
    return lines;
}

// Drop alone, as the shell delivers it after its DragEnter and DragOver.
void dropOnShim(const std::vector<std::wstring>& paths) {
    TestData data(paths);
    IShellExtInit* init = newHandler();
    IDropTarget* target = query<IDropTarget>(init, IID_IDropTarget);
    DWORD effect = DROPEFFECT_COPY;
    EXPECT_EQ(target->Drop(data.object, 0, POINTL{0, 0}, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    target->Release();
    init->Release();
}

TEST_F(Shim64Test, HostDeliversTheDropAsTheShellWouldAndRemovesTheList) {
    // The second name cannot be written in code page 932: it must still
    // reach the converter unchanged, as a wide-character path.
    std::string marker = "C:\\users\\me\\SendTo\\書庫を変換して保存....Veltrox";
    std::vector<std::string> paths = {"C:\\dropped\\first.lzh", "C:\\データ\\한글 ä€.zip", "D:\\folder"};
    std::vector<std::wstring> widePaths;
    for (const std::string& p : paths) widePaths.push_back(toWide(p));
    std::vector<std::string> lines = dropThroughShim(widePaths, toWide(marker));

    std::vector<std::string> expected = {
        "GetClassObject IClassFactory {6F3C2A81-4B7D-4E19-9A52-3D8E1C07B4F6}",
        "CreateInstance IShellExtInit", "Initialize data", "Load " + marker,
        "DragEnter 7", "DragOver 7", "Drop wide=1 count=3"};
    for (const std::string& p : paths) expected.push_back("path " + p);
    expected.push_back("end");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), expected);
    EXPECT_TRUE(filesIn(tempFolder).empty()) << "the list file is left behind";
}

TEST_F(Shim64Test, FiveThousandPathsArriveCompleteAndInOrder) {
    std::vector<std::wstring> paths;
    for (int i = 0; i < 5000; ++i) {
        wchar_t name[64];
        swprintf(name, 64, L"C:\\many archives\\%d\\書庫_%05d.lzh", i % 7, i);
        paths.push_back(name);
    }
    std::vector<std::string> lines = dropThroughShim(paths, L"C:\\m.Veltrox");
    auto drop = std::find(lines.begin(), lines.end(), "Drop wide=1 count=5000");
    ASSERT_NE(drop, lines.end());
    ASSERT_EQ(lines.end() - drop, 5000 + 2);
    for (int i = 0; i < 5000; ++i) ASSERT_EQ(drop[1 + i], "path " + fromWide(paths[i])) << i;
    EXPECT_EQ(lines.back(), "end");
    EXPECT_TRUE(filesIn(tempFolder).empty());
}

TEST_F(Shim64Test, MissingHostIsReportedAndDropStillSucceeds) {
    std::wstring host = stage + L"VeltroxHost.exe";
    std::wstring away = stage + L"VeltroxHost.away";
    ASSERT_TRUE(MoveFileW(host.c_str(), away.c_str()));
    // The window in front at the drop (the shell's, in real use) owns the
    // message; make it one of ours, not whatever another program shows.
    HWND front = CreateWindowExW(0, L"STATIC", L"front", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr,
                                 nullptr, nullptr);
    SetForegroundWindow(front);
    DialogDriver driver([](DialogDriver& d) {
        SeenWindow box = d.waitFor("Veltrox.dll");
        d.click(box, IDOK);
    });
    dropOnShim({L"C:\\a.zip"});
    driver.finish();
    DestroyWindow(front);
    MoveFileW(away.c_str(), host.c_str());
    ASSERT_EQ(driver.seenCount(), 1u);
    EXPECT_EQ(driver.seen(0).text(), startFailure);
    EXPECT_TRUE(driver.seen(0).hasIcon());
    EXPECT_TRUE(filesIn(tempFolder).empty());
}

// ---- the host on its own -----------------------------------------------------

// A visible top-level window of another process: of process `pid` (0: any
// host process) with the caption `caption` ("": any).
struct WindowSearch {
    DWORD pid;
    std::wstring caption;
    HWND found;
};

// Whether process `pid` runs a VeltroxHost.exe: other test programs may show
// windows on the same display at the same time.
bool isHostProcess(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return false;
    wchar_t image[MAX_PATH * 2] = {};
    DWORD length = MAX_PATH * 2;
    bool host = false;
    if (QueryFullProcessImageNameW(process, 0, image, &length)) {
        std::wstring name(image, length);
        const std::wstring tail = L"\\VeltroxHost.exe";
        host = name.size() >= tail.size() && _wcsicmp(name.c_str() + name.size() - tail.size(), tail.c_str()) == 0;
    }
    CloseHandle(process);
    return host;
}

BOOL CALLBACK findWindow(HWND w, LPARAM param) {
    WindowSearch* search = reinterpret_cast<WindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == GetCurrentProcessId() || (search->pid && pid != search->pid) || !IsWindowVisible(w)) return TRUE;
    if (!search->pid && !isHostProcess(pid)) return TRUE;
    wchar_t text[256] = {};
    GetWindowTextW(w, text, 256);
    if (!search->caption.empty() && search->caption != text) return TRUE;
    search->found = w;
    return FALSE;
}

struct HostRun {
    DWORD exitCode = 0;
    std::string caption;   // of the message the host showed, "" for none
    std::string text;
};

// Runs the staged host on a list file; answers its message box, if any.
HostRun runHost(const std::wstring& listFile) {
    HostRun run;
    std::wstring commandLine = L"\"" + stage + L"VeltroxHost.exe\" \"" + listFile + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        ADD_FAILURE() << "host did not start";
        return run;
    }
    for (int i = 0; i < 1200 && WaitForSingleObject(process.hProcess, 100) == WAIT_TIMEOUT; ++i) {
        WindowSearch search = {process.dwProcessId, L"", nullptr};
        EnumWindows(findWindow, reinterpret_cast<LPARAM>(&search));
        if (!search.found) continue;
        wchar_t text[256] = {};
        GetWindowTextW(search.found, text, 256);
        run.caption = fromWide(text);
        GetDlgItemTextW(search.found, 0xFFFF, text, 256);
        run.text = fromWide(text);
        PostMessageW(search.found, WM_COMMAND, IDOK, 0);
    }
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 120000), WAIT_OBJECT_0);
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}

// A wide string literal with its embedded NULs (without the final one).
template <size_t N>
std::wstring raw(const wchar_t (&text)[N]) {
    return std::wstring(text, N - 1);
}

void writeUtf16(const std::wstring& path, const std::wstring& content) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
}

TEST_F(HostTest, HostRefusesWhatItCannotDeliverAndDeletesOnlyItsOwnLists) {
    const std::wstring valid = raw(L"\xFEFFVeltroxDropList1\0" L"00000000\0" L"C:\\m.Veltrox\0" L"C:\\a.zip\0\0");
    struct Case {
        const char* what;
        std::wstring file;          // in the temporary folder unless a full path
        std::wstring content;
        bool withoutConverter;
        DWORD exitCode;
        bool deleted;
    };
    const Case cases[] = {
        {"list cut short", L"vlx1.tmp", valid.substr(0, valid.size() - 1), false, 3, false},
        {"no byte-order mark", L"vlx1.tmp", valid.substr(1), false, 3, false},
        {"empty path inside", L"vlx1.tmp", raw(L"\xFEFFVeltroxDropList1\0" L"0\0" L"\0" L"\0" L"C:\\a\0\0"), false, 3, false},
        {"a file that is not a list", L"notes.txt", L"\xFEFF" L"Dear diary", false, 3, false},
        {"Veltrox.dll missing", L"vlx1.tmp", valid, true, 4, true},
        {"a list of ours", L"vlxA2f.TMP", valid, false, 0, true},
        {"a list under another name", L"mine.tmp", valid, false, 0, false},
        {"a list outside the temporary folder", stage + L"vlx3.tmp", valid, false, 0, false},
    };
    std::wstring converter = stage + L"Veltrox.dll";
    std::wstring away = stage + L"Veltrox.away";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileW((stage + L"record.txt").c_str());
        std::wstring listFile = c.file.find(L'\\') == std::wstring::npos ? tempFolder + c.file : c.file;
        writeUtf16(listFile, c.content);
        if (c.withoutConverter) {
            ASSERT_TRUE(MoveFileW(converter.c_str(), away.c_str()));
        }
        HostRun run = runHost(listFile);
        if (c.withoutConverter) MoveFileW(away.c_str(), converter.c_str());
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(GetFileAttributesW(listFile.c_str()) == INVALID_FILE_ATTRIBUTES, c.deleted);
        if (c.exitCode != 0) {
            EXPECT_EQ(run.caption, "Veltrox.dll");
            EXPECT_EQ(run.text, startFailure);
            EXPECT_EQ(GetFileAttributesW((stage + L"record.txt").c_str()), INVALID_FILE_ATTRIBUTES);
        } else {
            // A well-formed list reaches the converter wherever it lies.
            std::vector<std::string> lines = waitForRecord(60000);
            EXPECT_NE(std::find(lines.begin(), lines.end(), "path C:\\a.zip"), lines.end());
        }
        WIN32_FILE_ATTRIBUTE_DATA left = {};
        if (!c.deleted && GetFileAttributesExW(listFile.c_str(), GetFileExInfoStandard, &left)) {
            EXPECT_EQ(left.nFileSizeLow, c.content.size() * sizeof(wchar_t));
        }
        DeleteFileW(listFile.c_str());
    }
}

// ---- the real converter behind the host ------------------------------------

const char conversionCaption[] = "書庫を他の形式に変換して保存";

// A visible top-level window of another process (the host) with this caption.
HWND waitForForeignWindow(const std::string& caption, DWORD timeoutMs = 60000) {
    WindowSearch search = {0, toWide(caption), nullptr};
    for (DWORD waited = 0; waited < timeoutMs && !search.found; waited += 100) {
        EnumWindows(findWindow, reinterpret_cast<LPARAM>(&search));
        if (!search.found) Sleep(100);
    }
    return search.found;
}

// The user's answer to the conversion dialog: into `dest` as ZIP, the source kept.
void answerConversion(DialogDriver& d, const SeenWindow& w, const std::string& dest) {
    d.setText(w, 1011, fromAnsi(dest));
    d.setCheck(w, 1003, true);    // ZIP
    d.setCheck(w, 1023, false);   // keep the source
    d.click(w, IDOK);
}

// An LZH header the identification accepts, followed by a stand-in archive.
void writeLzhSource(const std::string& path) {
    std::string header(32, '\0');
    header.replace(0, 7, "\x22\x33-lh5-");
    StandinArchive archive;
    archive.entries.push_back({false, "a.txt", "hello"});
    ASSERT_TRUE(writeBytes(path, header + encodeStandinArchive(archive)));
}

std::vector<std::string> commandLines(const std::string& log) {
    std::vector<std::string> lines;
    for (const StandinCall& call : readStandinCommands(log)) lines.push_back(call.dll + " " + call.commandLine);
    return lines;
}

// Swaps the real Veltrox.dll into the stage for one test.
class RealConverter {
public:
    RealConverter() {
        ok = CopyFileW((toWide(buildFolder()) + L"bin\\Veltrox.dll").c_str(), (stage + L"Veltrox.dll").c_str(), FALSE) != FALSE;
    }
    ~RealConverter() {
        CopyFileW((toWide(buildFolder()) + L"recording_converter\\Veltrox.dll").c_str(),
                  (stage + L"Veltrox.dll").c_str(), FALSE);
    }
    bool ok;
};

// Drops on Veltrox64.dll while `script` plays the user in the host, and
// waits until the host has ended.
void dropForHost(const std::vector<std::wstring>& paths, const std::function<void(DialogDriver&, DWORD&)>& script) {
    DWORD hostProcess = 0;
    DialogDriver driver([&](DialogDriver& d) { script(d, hostProcess); }, 90000);
    dropOnShim(paths);
    driver.finish();
    if (hostProcess) waitForProcessEnd(hostProcess);
}

TEST_F(Shim64Test, ConversionThroughTheHostMatchesADirectDrop) {
    RealConverter converter;
    ASSERT_TRUE(converter.ok);
    StandinFolder dlls({"unlha32.dll", "zip32j.dll", "zip32.dll"});
    ScratchFolder work("handoff");
    std::string source = work / toAnsi("変換元.lzh");
    std::string dest = work / "out\\";
    std::string output = dest + toAnsi("変換元.zip");
    CreateDirectoryA(dest.c_str(), nullptr);
    writeLzhSource(source);

    // The 32-bit road: the converter in the process the shell drops into.
    TestData direct({toWide(fromAnsi(source))});
    DialogDriver user([&](DialogDriver& d) { answerConversion(d, d.waitFor(conversionCaption), dest); });
    runDrop(direct.object);
    user.finish();
    std::vector<std::string> directCommands = commandLines(dlls.logPath());
    ASSERT_EQ(GetFileAttributesA(output.c_str()) != INVALID_FILE_ATTRIBUTES, true) << "no output from the direct drop";
    DeleteFileA(output.c_str());
    clearStandinLog(dlls.logPath());

    // The 64-bit road: Veltrox64.dll -> VeltroxHost.exe -> Veltrox.dll.
    dropForHost({toWide(fromAnsi(source))}, [&](DialogDriver& d, DWORD& host) {
        HWND dialog = waitForForeignWindow(conversionCaption);
        if (!dialog) {
            ADD_FAILURE() << "the conversion dialog did not appear in the host";
            return;
        }
        GetWindowThreadProcessId(dialog, &host);
        d.screenshot("handoff_conversion_dialog");
        answerConversion(d, d.read(dialog), dest);
    });
    EXPECT_NE(GetFileAttributesA(output.c_str()), INVALID_FILE_ATTRIBUTES) << "no output through the host";
    ASSERT_FALSE(directCommands.empty());
    EXPECT_EQ(commandLines(dlls.logPath()), directCommands);
    EXPECT_TRUE(filesIn(tempFolder).empty());
    StandinArchive made;
    ASSERT_TRUE(readStandinArchive(output, made));
    EXPECT_EQ(describeStandinArchive(made), std::vector<std::string>({"F a.txt=hello"}));
}

TEST_F(Shim64Test, NameOutsideTheAnsiCodePageReachesTheConvertersOwnMessage) {
    RealConverter converter;
    ASSERT_TRUE(converter.ok);
    StandinFolder dlls({"unlha32.dll", "zip32j.dll", "zip32.dll"});
    ScratchFolder work("handoff");
    // Not an archive: the converter names it in its message, as it got it.
    std::wstring source = toWide(fromAnsi(work.path())) + toWide("한글.txt");
    HANDLE file = CreateFileW(source.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "plain text", 10, &written, nullptr);
    CloseHandle(file);

    std::vector<SeenWindow> boxes;
    dropForHost({source}, [&](DialogDriver& d, DWORD& host) {
        // Every message the converter shows is answered; the first must come.
        for (DWORD wait = 60000; HWND box = waitForForeignWindow("Veltrox.dll", wait); wait = 3000) {
            GetWindowThreadProcessId(box, &host);
            boxes.push_back(d.read(box));
            d.click(boxes.back(), IDOK);
            Sleep(300);
        }
        EXPECT_EQ(waitForForeignWindow(conversionCaption, 1000), nullptr);
    });
    ASSERT_FALSE(boxes.empty()) << "the converter showed no message";
    // The name reached the converter whole, as the shell gave it.
    EXPECT_EQ(boxes[0].text().compare(0, fromWide(source).size(), fromWide(source)), 0) << boxes[0].text();
    EXPECT_TRUE(readStandinCommands(dlls.logPath()).empty());
    DeleteFileW(source.c_str());
}

}  // namespace
