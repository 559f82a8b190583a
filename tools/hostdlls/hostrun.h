// Shared part of the host-backed archiver DLLs: reading the command lines of
// the archiver DLL convention, turning Windows paths into host paths and
// running the host archivers (through hostarc.sh) from inside Wine.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// Results of the command exports besides 0 (success).
constexpr int HOST_ERROR_COMMAND = 0x8012;   // command line not understood
constexpr int HOST_ERROR_NOT_SUPPORTED = 0x8013;  // operation no host tool can do
constexpr int HOST_ERROR_PATH = 0x8014;      // a path cannot be given to the host
constexpr int HOST_ERROR_TOOL = 0x8020;      // the host archiver failed
constexpr int HOST_ERROR_START = 0x8021;     // the host archiver could not be run
constexpr int HOST_ERROR_DLL = 0x8023;       // a companion DLL cannot be loaded
constexpr int HOST_ERROR_CANCELLED = 0x802C; // Cancel was pressed in the progress window

// Text conversions between the DLLs' byte texts and UTF-16.
std::wstring toWide(const std::string& text, UINT codePage);
std::string fromWide(const std::wstring& wide, UINT codePage);
// The full form of a Windows path, a folder's trailing backslash dropped
// (but not a root's).
std::wstring fullPathOf(const std::wstring& path);

// One token of a command line: quoted tokens are never switches.
struct CommandToken {
  std::string text;
  bool quoted = false;
};

// Splits at blanks; a double quote starts or ends a quoted stretch. A
// backslash escapes nothing, so "C:\work\" keeps its last backslash.
std::vector<CommandToken> splitCommandLine(const char* line);

inline bool isSwitch(const CommandToken& token) {
  return !token.quoted && token.text.size() > 1 && token.text[0] == '-';
}

// The command line split into switches and the other words, in order.
struct ParsedCommand {
  std::vector<std::string> switches;
  std::vector<std::string> words;
};
ParsedCommand parseCommand(const char* line);

// What is packed: "@listfile" names a response file, "*" and "*.*" the whole
// folder. Returns false for anything else.
struct PackSpec {
  bool whole = true;
  std::string listFile;  // ANSI path of the response file when !whole
};
bool readPackSpec(const std::vector<std::string>& words, size_t first, PackSpec& spec);

// Extraction into dir (a Windows path, ANSI or in Unicode mode UTF-8, with
// or without a trailing backslash) with the host reader of format ("tar",
// "zip", "7z", "lzh", "cab", "arj", "rar"). Returns 0 or a HOST_ERROR_ code; a message goes to
// output.
int hostExtract(const char* format, const std::string& archive, const std::string& dir,
                char* output, DWORD outputSize);

// Packs dir into archive with the host writer of format ("tar", "tgz", "tbz2",
// "zip", "7z", "7zip" for ZIP through 7-Zip, "lzh", "cab"). level is passed as
// given ("" for the default); extra are further switches for 7-Zip.
int hostCreate(const char* format, const std::string& archive, const std::string& dir,
               const PackSpec& spec, const std::string& level,
               const std::vector<std::string>& extra, char* output, DWORD outputSize);

// Writes text into the caller's output buffer, cut to fit.
void setOutput(char* output, DWORD outputSize, const std::string& text);

bool hasSwitch(const ParsedCommand& cmd, const char* name);

// The reading DLLs whose one command is "SWITCH... "archive" "folder\"":
// extraction of format when extractSwitch is among the switches.
int extractWithSwitch(const char* commandLine, const char* extractSwitch, const char* format,
                      char* output, DWORD outputSize);

// The unowned progress window the real DLLs show during a call (a dialog
// with a Cancel button and no owner). Cancel in it ends the wait for the host
// archiver, and the call returns HOST_ERROR_CANCELLED. Without a display no
// window is shown. HOSTARC_PROGRESS_MIN_MS (tests only) keeps the window up
// at least that many milliseconds, so that a test can meet it even when the
// call itself is quick.
class ProgressWindow {
public:
  explicit ProgressWindow(const wchar_t* caption);
  ~ProgressWindow();
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

private:
  HWND window_;
  DWORD shownAt_;
};

// As 7-zip32.dll 24.x does in every command: narrows the process's DLL search
// to the system folder and the folders added with AddDllDirectory.
void narrowDllSearch();
