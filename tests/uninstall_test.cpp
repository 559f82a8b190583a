// The rundll32 entry Uninstall: the length limit of its command line, the
// question, the SendTo marker, and the program it starts.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <string>
#include "shell/uninstall.h"
#include "support/dialog_driver.h"
#include "support/scratch_folder.h"
#include "support/text.h"

namespace {

const char SHELL_FOLDERS[] = "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char MARKER_UTF8[] = "書庫を変換して保存....Veltrox";

// Sets (or with null deletes) HKCU ... Shell Folders "SendTo" for one test
// and puts the previous value back afterwards.
class SendToValue {
public:
    explicit SendToValue(const std::string* ansiValue) {
        RegCreateKeyExA(HKEY_CURRENT_USER, SHELL_FOLDERS, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
        char old[1024] = {0};
        DWORD size = sizeof old - 1;
        had_ = RegQueryValueExA(key_, "SendTo", nullptr, nullptr, reinterpret_cast<BYTE*>(old), &size) ==
               ERROR_SUCCESS;
        old_ = old;
        if (ansiValue)
            RegSetValueExA(key_, "SendTo", 0, REG_SZ, reinterpret_cast<const BYTE*>(ansiValue->c_str()),
                           static_cast<DWORD>(ansiValue->size() + 1));
        else
            RegDeleteValueA(key_, "SendTo");
    }
    ~SendToValue() {
        if (had_)
            RegSetValueExA(key_, "SendTo", 0, REG_SZ, reinterpret_cast<const BYTE*>(old_.c_str()),
                           static_cast<DWORD>(old_.size() + 1));
        else
            RegDeleteValueA(key_, "SendTo");
        RegCloseKey(key_);
    }

private:
    HKEY key_ = nullptr;
    bool had_ = false;
    std::string old_;
};

// What Uninstall asked the shell to start. The program name is handed to the
// shell unchanged; the recording stand-in program is started in its place
// with the same parameters, so the parameters travel through a real start.
struct StartRequest {
    int calls = 0;
    HWND owner = reinterpret_cast<HWND>(1);
    std::string verb, program, directory;
    INT show = -1;
};
StartRequest lastStart;

HINSTANCE WINAPI recordStart(HWND owner, LPCSTR verb, LPCSTR program, LPCSTR parameters, LPCSTR directory,
                             INT show) {
    ++lastStart.calls;
    lastStart.owner = owner;
    lastStart.verb = verb ? verb : "(null)";
    lastStart.program = program ? program : "(null)";
    lastStart.directory = directory ? directory : "(null)";
    lastStart.show = show;
    std::string recorder = toAnsi(buildFolder()) + "recorder\\recorder.exe";
    return ShellExecuteA(owner, verb, recorder.c_str(), parameters, directory, show);
}

class RecordingPrograms {
public:
    RecordingPrograms() { forget(); }
    ~RecordingPrograms() { forget(); }

    // The command line the recorder was started with (UTF-8), waiting up to
    // waitMs for it.
    std::string record(DWORD waitMs) const {
        for (DWORD waited = 0;; waited += 100) {
            std::string text = readBytes(path_);
            if (!text.empty() && text.back() == '\n') return text.substr(0, text.size() - 1);
            if (waited >= waitMs) return text;
            Sleep(100);
        }
    }
    void forget() const {
        DeleteFileA(path_.c_str());
        lastStart = StartRequest();
    }

private:
    std::string path_ = toAnsi(buildFolder()) + "recorder\\record.txt";
};

struct Outcome {
    bool asked = false;
    std::string questionText, caption;
    std::vector<std::string> buttons;
    bool markerLeft = false;
    std::string record;
    StartRequest start;
};

// Runs Uninstall with the SendTo value `sendTo` (null: none) holding a marker
// in `markerFolder`, answering the question with `answer` (0: expect none).
Outcome runCase(const std::string& commandLine, const std::string* sendTo, const std::string& markerFolder,
                int answer, RecordingPrograms& programs) {
    SendToValue value(sendTo);
    std::string marker = markerFolder + toAnsi(MARKER_UTF8);
    writeBytes(marker, "marker");
    Outcome outcome;
    {
        DialogDriver driver([&](DialogDriver& d) {
            if (!answer) return;
            SeenWindow box = d.waitFor("Veltrox のアンインストール");
            if (box.hwnd) d.click(box, answer);
        }, 10000);
        runUninstall(nullptr, commandLine.c_str(), recordStart);
        driver.finish();
        if (driver.seenCount()) {
            outcome.asked = true;
            outcome.caption = driver.seen(0).caption;
            outcome.questionText = driver.seen(0).text();
            outcome.buttons = driver.seen(0).buttons();
            EXPECT_TRUE(driver.seen(0).hasIcon());
        }
    }
    outcome.record = programs.record(answer == IDYES ? 10000 : 1500);
    outcome.start = lastStart;
    outcome.markerLeft = pathExists(marker);
    DeleteFileA(marker.c_str());
    programs.forget();
    return outcome;
}

std::string infPathOfLength(const ScratchFolder& folder, size_t length) {
    std::string path = folder.path();
    path += std::string(length - path.size() - 4, 'a') + ".inf";
    EXPECT_EQ(path.size(), length);
    return path;
}

// Wine's syssetup.dll has no SetupInfObjectInstallAction: setupapi's entry
// runs the section. A 32-bit process in a WoW64 prefix starts the 64-bit
// rundll32 through Sysnative.
const char EXPECTED_PARAMETERS[] = " setupapi.dll,InstallHinfSection DefaultUninstall 132 ";
std::string expectedProgram() {
    if (sizeof(void*) == 8 || !pathExists("C:\\windows\\syswow64")) return "rundll32.exe";
    char windows[MAX_PATH] = {0};
    GetSystemWindowsDirectoryA(windows, MAX_PATH);
    return std::string(windows) + "\\Sysnative\\rundll32.exe";
}

TEST(Uninstall, AsksDeletesTheMarkerAndStartsTheUninstallSection) {
    RecordingPrograms programs;
    ScratchFolder sendTo("st");
    std::string inf = infPathOfLength(sendTo, 259);
    std::string withBackslash = sendTo.path();
    std::string withoutBackslash = withBackslash.substr(0, withBackslash.size() - 1);

    struct Case { const char* name; const std::string* value; int answer; bool markerLeft; bool started; };
    const Case cases[] = {
        {"yes, SendTo without backslash", &withoutBackslash, IDYES, false, true},
        {"yes, SendTo with backslash", &withBackslash, IDYES, false, true},
        {"yes, no SendTo value", nullptr, IDYES, true, true},
        {"no", &withoutBackslash, IDNO, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Outcome o = runCase(inf, c.value, sendTo.path(), c.answer, programs);
        ASSERT_TRUE(o.asked);
        EXPECT_EQ(o.caption, "Veltrox のアンインストール");
        EXPECT_EQ(o.questionText, "Veltrox をアンインストールしますか？");
        EXPECT_EQ(o.buttons.size(), 2u);
        EXPECT_EQ(o.markerLeft, c.markerLeft);
        if (!c.started) {
            EXPECT_EQ(o.start.calls, 0);
            EXPECT_EQ(o.record, "");
            continue;
        }
        EXPECT_EQ(o.start.calls, 1);
        EXPECT_EQ(o.start.program, expectedProgram());
        EXPECT_EQ(o.start.verb, "open");
        EXPECT_EQ(o.start.directory, "(null)");
        EXPECT_EQ(o.start.show, SW_SHOWDEFAULT);
        EXPECT_EQ(o.start.owner, nullptr);
        // "<folder>\recorder.exe" syssetup.dll,... 132 <inf>
        std::string expectedTail = std::string(EXPECTED_PARAMETERS) + fromAnsi(inf);
        ASSERT_GE(o.record.size(), expectedTail.size()) << o.record;
        EXPECT_EQ(o.record.substr(o.record.size() - expectedTail.size()), expectedTail);
    }
}

TEST(Uninstall, RunsTheSectionWithTheSystemsOwnRundll) {
    const char inf[] = "C:\\WINDOWS\\INF\\Veltrox.inf";
    struct Row { bool nt, wow64, action; const char* windows; const char* program; const char* parameters; };
    const Row rows[] = {
        {false, false, false, "", "rundll.exe", "setupx.dll,InstallHinfSection"},
        {true, false, true, "C:\\WINDOWS", "rundll32.exe", "syssetup.dll,SetupInfObjectInstallAction"},
        {true, false, false, "C:\\WINDOWS", "rundll32.exe", "setupapi.dll,InstallHinfSection"},
        {true, true, true, "C:\\WINDOWS", "C:\\WINDOWS\\Sysnative\\rundll32.exe",
         "syssetup.dll,SetupInfObjectInstallAction"},
        {true, true, false, "D:\\Win\\", "D:\\Win\\Sysnative\\rundll32.exe", "setupapi.dll,InstallHinfSection"},
        {true, true, true, "", "rundll32.exe", "syssetup.dll,SetupInfObjectInstallAction"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.program) + " " + row.parameters);
        UninstallSystem system;
        system.nt = row.nt;
        system.wow64 = row.wow64;
        system.syssetupHasAction = row.action;
        system.windowsFolder = row.windows;
        UninstallCommand command = uninstallCommand(system, inf);
        EXPECT_EQ(command.program, row.program);
        EXPECT_EQ(command.parameters, std::string(row.parameters) + " DefaultUninstall 132 " + inf);
    }
}

TEST(Uninstall, RefusesMissingAndOverlongCommandLinesSilently) {
    RecordingPrograms programs;
    ScratchFolder sendTo("st");
    std::string value = sendTo.path();
    Outcome o = runCase(infPathOfLength(sendTo, 260), &value, sendTo.path(), 0, programs);
    EXPECT_FALSE(o.asked);
    EXPECT_TRUE(o.markerLeft);
    EXPECT_EQ(o.record, "");

    DialogDriver driver([](DialogDriver&) {});
    runUninstall(nullptr, nullptr, recordStart);
    EXPECT_EQ(lastStart.calls, 0);
    EXPECT_TRUE(driver.finish());
}

}  // namespace
