#include "support/dialog_driver.h"
#include "support/host.h"
#include "support/text.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <algorithm>

namespace {

const DWORD POLL_MS = 25;
// Limit for one message round trip to a window of the code under test. On a
// loaded machine a dialog's thread can take seconds to come round to its
// messages; only a thread that is truly stuck reaches this.
const DWORD MESSAGE_LIMIT_MS = 60000;

std::string windowText(HWND w) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(w, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, MESSAGE_LIMIT_MS, &length)) return std::string();
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(w, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(&text[0]), SMTO_NORMAL,
                        MESSAGE_LIMIT_MS, &copied);
    text.resize(copied);
    return fromWide(text);
}

// A top-level window's caption without a message to its thread, which may
// be busy elsewhere while the script looks for a window.
std::string captionOf(HWND w) {
    wchar_t text[512] = {};
    int length = InternalGetWindowText(w, text, 512);
    return fromWide(std::wstring(text, length > 0 ? static_cast<size_t>(length) : 0));
}

// Returns once the window's thread has handled everything sent to the window
// before (and is back in a message loop, possibly a nested modal one), or the
// window is gone. Waits on the round trip in short slices so that a window
// destroyed meanwhile ends the wait at once.
void settle(HWND w) {
    DWORD start = GetTickCount();
    while (IsWindow(w) && GetTickCount() - start < MESSAGE_LIMIT_MS) {
        DWORD_PTR ignored = 0;
        if (SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_NORMAL, 250, &ignored)) return;
    }
}

// Delivers a message as a sent (not posted) message without waiting for its
// handler, which may open a modal window; then waits until the handler has
// run or reached that window's message loop. Sent messages are handled in
// the order they were sent, so the round trip in settle() comes after it.
// A user's click also puts input into the thread's queue: the empty posted
// message stands for it, so that code polling its queue for posted messages
// (a progress loop with PeekMessage) comes round to look at its state.
void deliver(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    SendNotifyMessageW(w, message, wParam, lParam);
    PostMessageW(w, WM_NULL, 0, 0);
    settle(w);
}

std::string className(HWND w) {
    wchar_t name[128] = {};
    GetClassNameW(w, name, 128);
    return fromWide(name);
}

bool isButton(const std::string& cls) { return _stricmp(cls.c_str(), "Button") == 0; }

struct FindState {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK collectTopLevel(HWND w, LPARAM param) {
    FindState* state = reinterpret_cast<FindState*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == state->pid && IsWindowVisible(w)) state->found.push_back(w);
    return TRUE;
}

std::vector<HWND> visibleWindowsOfProcess() {
    FindState state{GetCurrentProcessId(), {}};
    EnumWindows(collectTopLevel, reinterpret_cast<LPARAM>(&state));
    return state.found;
}

std::string folderOf(const std::string& path) {
    size_t at = path.find_last_of('\\');
    return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

}  // namespace

const SeenControl* SeenWindow::control(int id) const {
    for (const SeenControl& c : controls)
        if (c.id == id) return &c;
    return nullptr;
}

const SeenControl* SeenWindow::controlByText(const std::string& text) const {
    for (const SeenControl& c : controls)
        if (c.text == text) return &c;
    return nullptr;
}

std::string SeenWindow::text() const {
    const SeenControl* c = control(0xFFFF);
    if (c) return c->text;
    // Some message box implementations give the text static another id:
    // take the longest static that is not an icon.
    std::string best;
    for (const SeenControl& s : controls)
        if (_stricmp(s.className.c_str(), "Static") == 0 && (s.style & SS_TYPEMASK) != SS_ICON &&
            s.text.size() > best.size())
            best = s.text;
    return best;
}

std::vector<std::string> SeenWindow::buttons() const {
    std::vector<std::string> names;
    for (const SeenControl& c : controls)
        if (isButton(c.className) && c.visible) names.push_back(c.text);
    return names;
}

bool SeenWindow::hasIcon() const {
    for (const SeenControl& c : controls)
        if (_stricmp(c.className.c_str(), "Static") == 0 && (c.style & SS_TYPEMASK) == SS_ICON) return true;
    return false;
}

DialogDriver::DialogDriver(Script script, DWORD timeoutMs) : script_(std::move(script)), timeoutMs_(timeoutMs) {
    stopEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, threadMain, this, 0, nullptr);
}

DialogDriver::~DialogDriver() {
    if (thread_) finish();
    if (stopEvent_) CloseHandle(stopEvent_);
}

DWORD WINAPI DialogDriver::threadMain(LPVOID self) {
    DialogDriver* driver = static_cast<DialogDriver*>(self);
    driver->script_(*driver);
    driver->scriptDone_ = true;
    // After the script: any further window is unexpected. Record it and
    // dismiss it so that the code under test cannot hang the test program.
    while (WaitForSingleObject(driver->stopEvent_, POLL_MS) == WAIT_TIMEOUT) {
        for (HWND w : visibleWindowsOfProcess()) {
            if (std::find(driver->met_.begin(), driver->met_.end(), w) != driver->met_.end()) continue;
            if (className(w) != "#32770") continue;
            settle(w);
            SeenWindow seen = driver->read(w);
            driver->met_.push_back(w);
            driver->unexpected_.push_back(seen);
            driver->dismiss(seen);
        }
    }
    return 0;
}

void DialogDriver::dismiss(const SeenWindow& w) {
    int ids[] = {IDCANCEL, IDNO, IDOK};
    for (int id : ids) {
        const SeenControl* c = w.control(id);
        if (c && c->enabled) {
            PostMessageW(w.hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(c->hwnd));
            return;
        }
    }
    PostMessageW(w.hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

SeenWindow DialogDriver::waitFor(const std::string& caption) {
    // After one wait has timed out the script is off course: the following
    // waits fail at once instead of adding their limits up.
    if (timedOut_) {
        failure_ += "not waited for \"" + caption + "\" after an earlier timeout; ";
        return SeenWindow();
    }
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs_) {
        for (HWND w : visibleWindowsOfProcess()) {
            if (std::find(met_.begin(), met_.end(), w) != met_.end()) continue;
            if (!caption.empty() && captionOf(w) != caption) continue;
            // The window has finished its initialisation once its thread is
            // back in its message loop; a short pause more lets it paint for
            // screenshots.
            settle(w);
            Sleep(50);
            if (!IsWindow(w)) continue;
            met_.push_back(w);
            SeenWindow seen = read(w);
            seen_.push_back(seen);
            return seen;
        }
        Sleep(POLL_MS);
    }
    failed_ = true;
    timedOut_ = true;
    failure_ += "no window with caption \"" + caption + "\" appeared; ";
    return SeenWindow();
}

SeenWindow DialogDriver::read(HWND window) {
    SeenWindow seen;
    seen.hwnd = window;
    seen.owner = GetWindow(window, GW_OWNER);
    seen.className = className(window);
    seen.caption = windowText(window);
    seen.style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        SeenControl c;
        c.hwnd = child;
        c.id = GetDlgCtrlID(child);
        c.className = className(child);
        c.text = windowText(child);
        c.style = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE));
        c.exStyle = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_EXSTYLE));
        c.enabled = IsWindowEnabled(child) != FALSE;
        c.visible = IsWindowVisible(child) != FALSE;
        if (isButton(c.className)) {
            DWORD_PTR state = 0;
            SendMessageTimeoutW(child, BM_GETCHECK, 0, 0, SMTO_NORMAL, MESSAGE_LIMIT_MS, &state);
            c.checked = static_cast<int>(state);
        }
        GetWindowRect(child, &c.rect);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&c.rect), 2);
        seen.controls.push_back(c);
    }
    return seen;
}

bool DialogDriver::checkUsable(const SeenWindow& w, int id, HWND* control) {
    HWND c = GetDlgItem(w.hwnd, id);
    if (!c) {
        failed_ = true;
        failure_ += "control " + std::to_string(id) + " not found in \"" + w.caption + "\"; ";
        return false;
    }
    if (!IsWindowEnabled(c) || !IsWindowVisible(c)) {
        failed_ = true;
        failure_ += "control " + std::to_string(id) + " in \"" + w.caption + "\" is disabled or hidden; ";
        return false;
    }
    *control = c;
    return true;
}

void DialogDriver::click(const SeenWindow& w, int id) {
    HWND c = nullptr;
    if (!checkUsable(w, id, &c)) return;
    // Not waited for, so that a handler that opens another modal window
    // cannot block the script.
    deliver(w.hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(c));
}

void DialogDriver::setCheck(const SeenWindow& w, int id, bool on) {
    HWND c = nullptr;
    if (!checkUsable(w, id, &c)) return;
    DWORD_PTR state = 0;
    SendMessageTimeoutW(c, BM_GETCHECK, 0, 0, SMTO_NORMAL, MESSAGE_LIMIT_MS, &state);
    if ((state == BST_CHECKED) == on) return;
    DWORD type = static_cast<DWORD>(GetWindowLongPtrW(c, GWL_STYLE)) & BS_TYPEMASK;
    bool automatic = type == BS_AUTOCHECKBOX || type == BS_AUTORADIOBUTTON || type == BS_AUTO3STATE;
    if (!automatic)
        SendMessageTimeoutW(c, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0, SMTO_NORMAL, MESSAGE_LIMIT_MS, nullptr);
    if (automatic) {
        deliver(c, BM_CLICK, 0, 0);
    } else {
        deliver(w.hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(c));
    }
    settle(w.hwnd);
}

void DialogDriver::setText(const SeenWindow& w, int id, const std::string& utf8) {
    HWND c = nullptr;
    if (!checkUsable(w, id, &c)) return;
    std::wstring text = toWide(utf8);
    SendMessageTimeoutW(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL, MESSAGE_LIMIT_MS,
                        nullptr);
    wchar_t cls[32] = {};
    GetClassNameW(c, cls, 32);
    if (_wcsicmp(cls, L"ComboBox") == 0)
        deliver(w.hwnd, WM_COMMAND, MAKEWPARAM(id, CBN_EDITCHANGE), reinterpret_cast<LPARAM>(c));
}

void DialogDriver::selectComboItem(const SeenWindow& w, int id, int index) {
    HWND c = nullptr;
    if (!checkUsable(w, id, &c)) return;
    SendMessageTimeoutW(c, CB_SETCURSEL, index, 0, SMTO_NORMAL, MESSAGE_LIMIT_MS, nullptr);
    deliver(w.hwnd, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(c));
}

void DialogDriver::setTrackbar(const SeenWindow& w, int id, int position) {
    HWND c = nullptr;
    if (!checkUsable(w, id, &c)) return;
    SendMessageTimeoutW(c, TBM_SETPOS, TRUE, position, SMTO_NORMAL, MESSAGE_LIMIT_MS, nullptr);
    DWORD style = static_cast<DWORD>(GetWindowLongPtrW(c, GWL_STYLE));
    UINT message = (style & TBS_VERT) ? WM_VSCROLL : WM_HSCROLL;
    SendNotifyMessageW(w.hwnd, message, MAKEWPARAM(TB_THUMBPOSITION, position), reinterpret_cast<LPARAM>(c));
    deliver(w.hwnd, message, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(c));
}

void DialogDriver::close(const SeenWindow& w) {
    deliver(w.hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void DialogDriver::pressKey(const SeenWindow& w, UINT vk) {
    // Keys must be posted: the dialog's message loop turns them into
    // commands. A sent round trip may overtake them, so a pause follows.
    PostMessageW(w.hwnd, WM_KEYDOWN, vk, 1);
    PostMessageW(w.hwnd, WM_KEYUP, vk, 0xC0000001);
    settle(w.hwnd);
    Sleep(100);
}

bool DialogDriver::screenshot(const std::string& name) {
    return takeScreenshot(name);
}

bool DialogDriver::finish(bool reportFailure) {
    if (thread_) {
        // The script gets its own timeout per wait; give it room for several.
        DWORD waited = 0;
        while (!scriptDone_ && waited < timeoutMs_ * 3) {
            Sleep(POLL_MS);
            waited += POLL_MS;
        }
        SetEvent(stopEvent_);
        if (WaitForSingleObject(thread_, 5000) != WAIT_OBJECT_0) {
            failed_ = true;
            failure_ += "the dialog script did not end; ";
            TerminateThread(thread_, 1);
        }
        CloseHandle(thread_);
        thread_ = nullptr;
        for (const SeenWindow& w : unexpected_) {
            failed_ = true;
            failure_ += "unexpected window \"" + w.caption + "\" saying \"" + w.text() + "\"; ";
        }
        if (failed_ && reportFailure) ADD_FAILURE() << "dialog driver: " << failure_;
    }
    return !failed_;
}

bool takeScreenshot(const std::string& name) {
    std::string folder = buildFolder() + "screenshots\\";
    CreateDirectoryW(toWide(folder).c_str(), nullptr);
    std::string target = unixPath(folder + name + ".png");
    if (target.empty()) return false;
    return runHostShell("import -window root " + shellQuote(target), 30000) == 0;
}

std::string testProgramFolder() {
    wchar_t path[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    return folderOf(fromWide(path));
}

std::string buildFolder() {
    std::string folder = testProgramFolder();
    if (!folder.empty()) folder.pop_back();
    return folderOf(folder);
}
