#pragma once
// Plays the user for dialogs and message boxes that the code under test shows
// modally on the test's main thread. A script runs on its own thread: it waits
// for a window of this process, reads it as a user sees it, fills in controls
// and clicks. Texts are UTF-8 (read with the wide-character API).
//
//   DialogDriver driver([](DialogDriver& d) {
//       SeenWindow box = d.waitFor("Veltrox.dll");   // caption; "" = any
//       d.click(box, IDOK);
//   });
//   codeThatShowsAMessageBox();
//   driver.finish();                                   // joins, fails on timeout
//   EXPECT_EQ(driver.seen(0).text(), "...");
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

struct SeenControl {
    HWND hwnd = nullptr;
    int id = 0;
    std::string className;   // "Button", "Static", "Edit", "ComboBox", "msctls_trackbar32", ...
    std::string text;        // window text, UTF-8
    DWORD style = 0;
    DWORD exStyle = 0;
    bool enabled = false;
    bool visible = false;
    int checked = 0;         // BM_GETCHECK for buttons
    RECT rect{};             // in dialog client coordinates (pixels)
};

struct SeenWindow {
    HWND hwnd = nullptr;
    HWND owner = nullptr;    // GetWindow(GW_OWNER)
    std::string className;   // "#32770" for dialogs and message boxes
    std::string caption;     // UTF-8
    DWORD style = 0;
    std::vector<SeenControl> controls;

    const SeenControl* control(int id) const;          // null when absent
    const SeenControl* controlByText(const std::string& text) const;
    std::string text() const;                          // message box text (static 0xFFFF), or ""
    std::vector<std::string> buttons() const;          // button texts in control order
    bool hasIcon() const;                              // a static with SS_ICON
};

class DialogDriver {
public:
    typedef std::function<void(DialogDriver&)> Script;
    // timeoutMs limits each wait for a window; generous, because a loaded
    // machine can take long to show one (a passing test never waits it out).
    explicit DialogDriver(Script script, DWORD timeoutMs = 120000);
    ~DialogDriver();   // joins

    // Waits (up to the timeout) for a new visible top-level window of this
    // process with the given caption ("" = any) that the script has not met
    // yet; records and returns its snapshot. On timeout returns an empty
    // SeenWindow (hwnd null) and records a failure.
    SeenWindow waitFor(const std::string& caption = "");
    // Snapshot of a window again (after changes).
    SeenWindow read(HWND window);

    void click(const SeenWindow& w, int id);             // as a user clicking the button
    void setCheck(const SeenWindow& w, int id, bool on); // check box / radio, with its notification
    void setText(const SeenWindow& w, int id, const std::string& utf8);  // edit or combo edit
    void selectComboItem(const SeenWindow& w, int id, int index);        // with CBN_SELCHANGE
    void setTrackbar(const SeenWindow& w, int id, int position);         // with WM_HSCROLL
    void close(const SeenWindow& w);                     // WM_CLOSE (close box)
    void pressKey(const SeenWindow& w, UINT vk);          // e.g. VK_ESCAPE via WM_KEYDOWN/IsDialogMessage
    // Saves a screenshot of the X screen (imagemagick `import -window root`)
    // under <build>/screenshots/<name>.png. Returns false when it could not.
    bool screenshot(const std::string& name);

    // Waits for the script to end. Returns false (and adds a gtest failure)
    // when a wait timed out, the script is still running after the timeout, or
    // an unexpected window appeared. reportFailure false: only the result.
    bool finish(bool reportFailure = true);

    const std::vector<SeenWindow>& seenWindows() const { return seen_; }
    const SeenWindow& seen(size_t i) const { return seen_.at(i); }
    size_t seenCount() const { return seen_.size(); }

    // Windows that appeared after the script ended; each was recorded and
    // dismissed (Cancel / No / OK) and makes finish() fail.
    const std::vector<SeenWindow>& unexpectedWindows() const { return unexpected_; }

private:
    static DWORD WINAPI threadMain(LPVOID self);
    bool checkUsable(const SeenWindow& w, int id, HWND* control);
    void dismiss(const SeenWindow& w);
    Script script_;
    DWORD timeoutMs_;
    HANDLE thread_ = nullptr;
    HANDLE stopEvent_ = nullptr;
    volatile bool scriptDone_ = false;
    bool failed_ = false;
    bool timedOut_ = false;
    std::vector<SeenWindow> seen_;
    std::vector<SeenWindow> unexpected_;
    std::vector<HWND> met_;
    std::string failure_;
};

// Screenshot of the whole X screen into <build>/screenshots/<name>.png.
bool takeScreenshot(const std::string& name);

// Folder of the running test program (with trailing backslash) and the build
// folder above it.
std::string testProgramFolder();
std::string buildFolder();
