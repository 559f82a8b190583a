// playuser: starts a program (the drop program) and plays the user of the
// dialogs that the converter shows meanwhile, from outside its process, as
// someone in front of the screen would: the conversion dialog gets the
// destination folder, the target format and the options from the arguments
// and is confirmed with OK; a message box is noted and answered (Yes where
// it asks, else OK); a window with neither, such as an archiver's progress
// window, is noted and left alone. Every window met is printed (UTF-8) and, with --shots,
// saved as a screenshot of the X screen.
//
//   playuser [--dest FOLDER] [--format lzh|zip|cab|tar|tgz|tbz2|7z]
//            [--sort on|off] [--sametime on|off] [--afterdel on|off]
//            [--sfx on|off] [--use7zip on|off] [--cancel] [--manual]
//            [--shots UNIXDIR]
//            -- PROGRAM ARGS...
//
// --manual leaves the answers to the person at the screen and only notes
// and photographs the windows. Screenshots are taken only with --shots, so
// a timed run has no pause of its own: every wait is for an event (a window
// appeared and takes messages, a screenshot was written, a program ended).
// The last line gives the moments of the run as Unix times, for timing
// breakdowns: "times: started S answered A ended E".
// Exit code: the program's, or 2 on a usage error.
#include <windows.h>
#include <tlhelp32.h>

#include "ui/resources/resource.h"

#include <cstdio>
#include <cwchar>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

const wchar_t* const CONVERT_CAPTION = L"書庫を他の形式に変換して保存";

struct Options {
  std::wstring dest;
  int formatId = IDC_CONV_ZIP;
  std::map<int, bool> checks;
  bool cancel = false;
  bool manual = false;
  std::string shots;
  std::wstring commandLine;
};

std::string toUtf8(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), nullptr, 0, nullptr, nullptr);
  std::string text((size_t)n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), &text[0], n, nullptr, nullptr);
  return text;
}

std::wstring windowText(HWND window) {
  int n = GetWindowTextLengthW(window);
  std::wstring text((size_t)n + 1, L'\0');
  GetWindowTextW(window, &text[0], n + 1);
  text.resize(wcslen(text.c_str()));
  return text;
}

std::wstring quoteArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') { ++backslashes; quoted += c; continue; }
    if (c == L'"') quoted.append(backslashes + 1, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes, L'\\');
  return quoted + L"\"";
}

bool parseOptions(int argc, wchar_t** argv, Options& options) {
  static const std::map<std::wstring, int> formats = {
      {L"lzh", IDC_CONV_LZH},   {L"zip", IDC_CONV_ZIP},       {L"cab", IDC_CONV_CAB}, {L"tar", IDC_CONV_TAR},
      {L"tgz", IDC_CONV_TARGZ}, {L"tbz2", IDC_CONV_TARBZ2}, {L"7z", IDC_CONV_7Z}};
  static const std::map<std::wstring, int> checks = {
      {L"--sort", IDC_CONV_SORT}, {L"--sametime", IDC_CONV_SAME_TIME}, {L"--afterdel", IDC_CONV_AFTER_DEL},
      {L"--sfx", IDC_CONV_SFX}, {L"--use7zip", IDC_CONV_USE_7ZIP}};
  int i = 1;
  for (; i < argc; ++i) {
    std::wstring arg = argv[i];
    if (arg == L"--") { ++i; break; }
    if (arg == L"--cancel") { options.cancel = true; continue; }
    if (arg == L"--manual") { options.manual = true; continue; }
    if (i + 1 >= argc) return false;
    std::wstring value = argv[++i];
    if (arg == L"--dest") options.dest = value;
    else if (arg == L"--shots") options.shots = toUtf8(value);
    else if (arg == L"--format") {
      auto it = formats.find(value);
      if (it == formats.end()) return false;
      options.formatId = it->second;
    } else if (checks.count(arg)) {
      options.checks[checks.at(arg)] = value == L"on";
    } else {
      return false;
    }
  }
  if (i >= argc) return false;
  for (; i < argc; ++i) {
    if (!options.commandLine.empty()) options.commandLine += L" ";
    options.commandLine += quoteArgument(argv[i]);
  }
  return true;
}

// The moment now as Unix time in seconds.
double unixNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULONGLONG ticks = (ULONGLONG)now.dwHighDateTime << 32 | now.dwLowDateTime;
  return (double)(ticks - 116444736000000000ULL) / 1e7;
}

// Windows path of a host path ("" when Wine cannot give one).
std::wstring dosPath(const std::string& unixPath) {
  typedef WCHAR*(CDECL * DosNameFn)(const char*);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  DosNameFn toDos = (DosNameFn)(void*)GetProcAddress(kernel, "wine_get_dos_file_name");
  WCHAR* dos = toDos ? toDos(unixPath.c_str()) : nullptr;
  if (!dos) return std::wstring();
  std::wstring result = dos;
  HeapFree(GetProcessHeap(), 0, dos);
  return result;
}

// Waits until the dialog's thread takes messages, that is until the dialog
// has finished its initialisation (generous limit for a loaded machine).
void waitUntilReady(HWND window) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result);
}

// Saves the X screen with ImageMagick's import on the host. A Wine process
// cannot wait for a host process, so the command leaves a ".done" file when
// the picture is written, and that file is waited for (at most a minute).
void screenshot(const Options& options, HWND window, int number, const char* what) {
  if (options.shots.empty()) return;
  // The dialog paints everything before the picture is taken.
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  waitUntilReady(window);
  std::wstring sh = dosPath("/bin/sh");
  if (sh.empty()) return;
  char file[64];
  snprintf(file, sizeof file, "/%02d-%s.png", number, what);
  std::string picture = options.shots + file;
  std::wstring done = dosPath(picture + ".done");
  if (done.empty()) return;
  DeleteFileW(done.c_str());
  std::string command = "import -window root '" + picture + "'; : >'" + picture + ".done'";
  int n = MultiByteToWideChar(CP_UTF8, 0, command.c_str(), -1, nullptr, 0);
  std::wstring wideCommand((size_t)n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, command.c_str(), -1, &wideCommand[0], n);
  std::wstring line = L"\"" + sh + L"\" -c \"" + wideCommand.c_str() + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(sh.c_str(), &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                      &startup, &process))
    return;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (DWORD waited = 0; waited < 60000 && GetFileAttributesW(done.c_str()) == INVALID_FILE_ATTRIBUTES; waited += 10)
    Sleep(10);
  DeleteFileW(done.c_str());
}

void setCheck(HWND dialog, int id, bool on) {
  HWND control = GetDlgItem(dialog, id);
  if (!control || !IsWindowEnabled(control)) return;
  bool checked = SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
  if (checked != on) SendMessageW(control, BM_CLICK, 0, 0);
}

void answerConversion(HWND dialog, const Options& options, int number) {
  if (!options.dest.empty()) {
    setCheck(dialog, IDC_CONV_SAME_PLACE, false);
    SetDlgItemTextW(dialog, IDC_CONV_DEST, options.dest.c_str());
  }
  HWND format = GetDlgItem(dialog, options.formatId);
  if (format && IsWindowEnabled(format)) SendMessageW(format, BM_CLICK, 0, 0);
  else printf("  target format not offered\n");
  for (const auto& check : options.checks) setCheck(dialog, check.first, check.second);
  screenshot(options, dialog, number, "conversion-dialog");
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(options.cancel ? IDCANCEL : IDOK, BN_CLICKED),
               (LPARAM)GetDlgItem(dialog, options.cancel ? IDCANCEL : IDOK));
}

void answerMessageBox(HWND box, const Options& options, int number) {
  wchar_t text[2048] = L"";
  GetDlgItemTextW(box, 0xFFFF, text, 2048);
  printf("  %s\n", toUtf8(text).c_str());
  screenshot(options, box, number, "message");
  // A window that offers neither Yes nor OK is not a question to the user
  // (an archiver's progress window, whose Cancel would stop its work): it
  // is left alone.
  int button = GetDlgItem(box, IDYES) ? IDYES : IDOK;
  if (!GetDlgItem(box, button)) {
    printf("  left alone\n");
    return;
  }
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(box, button));
}

// The 64-bit drop handler hands the drop over to VeltroxHost.exe, which
// converts after the drop program has ended: the user stays until it is
// gone. Handles of the running host processes, to wait on.
std::vector<HANDLE> openHosts() {
  std::vector<HANDLE> hosts;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return hosts;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (_wcsicmp(entry.szExeFile, L"VeltroxHost.exe") != 0) continue;
    HANDLE host = OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID);
    if (host) hosts.push_back(host);
  }
  CloseHandle(snapshot);
  return hosts;
}


struct Watch {
  DWORD processId;
  std::vector<HWND> found;
};

BOOL CALLBACK collectWindow(HWND window, LPARAM param) {
  Watch* watch = reinterpret_cast<Watch*>(param);
  wchar_t className[64];
  if (IsWindowVisible(window) && GetClassNameW(window, className, 64) && wcscmp(className, L"#32770") == 0)
    watch->found.push_back(window);
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  if (!parseOptions(argc, argv, options)) {
    fprintf(stderr, "usage: playuser [--dest FOLDER] [--format F] [--sort|--sametime|--afterdel|--sfx|--use7zip on|off]\n"
                    "                [--cancel] [--manual] [--shots UNIXDIR] -- PROGRAM ARGS...\n");
    return 2;
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &options.commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    fprintf(stderr, "playuser: cannot start the program\n");
    return 2;
  }
  CloseHandle(process.hThread);
  std::set<HWND> met;
  int number = 0;
  double started = unixNow(), answered = 0;
  std::vector<HANDLE> waitFor = {process.hProcess};
  bool programEnded = false;
  for (;;) {
    // Windows of another process announce nothing: they are looked for
    // every 10 ms (a look costs well under a millisecond) while the wait
    // ends at once when the processes end.
    DWORD wait = WaitForMultipleObjects((DWORD)waitFor.size(), waitFor.data(), TRUE, 10);
    bool ended = wait < WAIT_OBJECT_0 + waitFor.size();
    Watch watch = {process.dwProcessId, {}};
    EnumWindows(collectWindow, (LPARAM)&watch);
    for (HWND window : watch.found) {
      if (met.count(window)) continue;
      met.insert(window);
      waitUntilReady(window);
      std::wstring caption = windowText(window);
      printf("window: %s (%.1f s)\n", toUtf8(caption).c_str(), unixNow() - started);
      ++number;
      if (options.manual) screenshot(options, window, number, caption == CONVERT_CAPTION ? "conversion-dialog" : "message");
      else if (caption == CONVERT_CAPTION) answerConversion(window, options, number);
      else answerMessageBox(window, options, number);
      if (caption == CONVERT_CAPTION) answered = unixNow();
      fflush(stdout);
    }
    if (!ended) continue;
    if (programEnded) break;
    programEnded = true;
    printf("drop program ended (%.1f s)\n", unixNow() - started);
    waitFor = openHosts();
    waitFor.push_back(process.hProcess);
  }
  double finished = unixNow();
  printf("conversion ended (%.1f s)\n", finished - started);
  printf("times: started %.3f answered %.3f ended %.3f\n", started, answered, finished);
  for (HANDLE handle : waitFor)
    if (handle != process.hProcess) CloseHandle(handle);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  return (int)code;
}
