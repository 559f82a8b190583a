#include "hostrun.h"
#include "unicode_mode.h"

#include "hostlist.h"

#include "base/handles.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

// A Wine process cannot wait for a Unix process nor read its exit code, so
// every host archiver runs through a small runner script that writes the exit
// status into a file when the archiver ends; the DLL waits for that file.

std::wstring toWide(const std::string& text, UINT codePage) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(codePage, 0, text.data(), (int)text.size(), nullptr, 0);
  std::wstring wide((size_t)n, L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), (int)text.size(), &wide[0], n);
  return wide;
}

std::string fromWide(const std::wstring& wide, UINT codePage) {
  if (wide.empty()) return std::string();
  int n = WideCharToMultiByte(codePage, 0, wide.data(), (int)wide.size(), nullptr, 0, nullptr, nullptr);
  std::string text((size_t)n, '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), (int)wide.size(), &text[0], n, nullptr, nullptr);
  return text;
}

std::wstring fullPathOf(const std::wstring& path) {
  std::wstring full = path;
  DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n) {
    full.assign(n, L'\0');
    n = GetFullPathNameW(path.c_str(), n, &full[0], nullptr);
    full.resize(n);
  }
  while (full.size() > 3 && full.back() == L'\\') full.pop_back();
  return full;
}

namespace {

typedef char*(CDECL* UnixNameFn)(LPCWSTR);
typedef WCHAR*(CDECL* DosNameFn)(const char*);

// Host path (UTF-8) of a Windows path, "" when Wine cannot give one.
std::string unixPathOf(const std::wstring& path) {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  UnixNameFn toUnix = kernel ? (UnixNameFn)(void*)GetProcAddress(kernel, "wine_get_unix_file_name") : nullptr;
  if (!toUnix) return std::string();
  std::wstring full = fullPathOf(path);
  char* unixName = toUnix(full.c_str());
  if (!unixName) return std::string();
  std::string result = unixName;
  HeapFree(GetProcessHeap(), 0, unixName);
  return result;
}

std::wstring dosPathOf(const char* unixPath) {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  DosNameFn toDos = kernel ? (DosNameFn)(void*)GetProcAddress(kernel, "wine_get_dos_file_name") : nullptr;
  if (!toDos) return std::wstring();
  WCHAR* dos = toDos(unixPath);
  if (!dos) return std::wstring();
  std::wstring result = dos;
  HeapFree(GetProcessHeap(), 0, dos);
  return result;
}

std::string shellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') quoted += "'\\''";
    else quoted += c;
  }
  return quoted + "'";
}

bool writeWholeFile(const std::wstring& path, const std::string& data) {
  FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.get(), data.data(), (DWORD)data.size(), &written, nullptr) &&
         written == data.size();
}

bool readWholeFile(const std::wstring& path, std::string& data) {
  FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  data.clear();
  char block[65536];
  DWORD got = 0;
  while (ReadFile(file.get(), block, sizeof block, &got, nullptr) && got) data.append(block, got);
  return true;
}

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The state of the runner's status file.
enum class StatusFile { missing, empty, written };
StatusFile statusFileState(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return StatusFile::missing;
  return data.nFileSizeLow != 0 || data.nFileSizeHigh != 0 ? StatusFile::written : StatusFile::empty;
}

// The folder of this DLL, where hostarc.sh lies beside it.
std::wstring moduleFolder() {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     (LPCWSTR)(void*)&moduleFolder, &self);
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(self, &path[0], (DWORD)path.size());
    if (n < path.size()) { path.resize(n); break; }
    path.resize(path.size() * 2);
  }
  size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// The progress window of the running call, if any, and whether its Cancel
// was pressed.
HWND progressWindow = nullptr;
bool progressCancelled = false;

INT_PTR CALLBACK progressProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
    progressCancelled = true;
    return TRUE;
  }
  return FALSE;
}

// Waits about `milliseconds`, handling the progress window's messages meanwhile.
void waitHandlingMessages(DWORD milliseconds) {
  if (!progressWindow) {
    Sleep(milliseconds);
    return;
  }
  MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds, QS_ALLINPUT);
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (progressWindow && IsDialogMessageW(progressWindow, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// Temporary files of one host run, removed when it ends.
struct RunFiles {
  std::wstring base, script, log, status, list;
  ~RunFiles() {
    for (const std::wstring* path : {&script, &log, &status, &list})
      if (!path->empty()) DeleteFileW(path->c_str());
    if (!base.empty()) DeleteFileW(base.c_str());
  }
};

DWORD timeoutMilliseconds() {
  char value[32];
  DWORD n = GetEnvironmentVariableA("HOSTARC_TIMEOUT", value, sizeof value);
  if (n > 0 && n < sizeof value) {
    long seconds = strtol(value, nullptr, 10);
    if (seconds > 0) return (DWORD)seconds * 1000;
  }
  return 3600 * 1000;
}

// Runs hostarc.sh with the arguments (UTF-8) and returns its exit status;
// -1 when it could not be started or did not end in time. The tail of the
// archiver's messages goes to output.
int runHost(const std::vector<std::string>& args, RunFiles& files, char* output, DWORD outputSize) {
  std::string tool = unixPathOf(moduleFolder() + L"hostarc.sh");
  std::wstring sh = dosPathOf("/bin/sh");
  if (tool.empty() || sh.empty()) {
    setOutput(output, outputSize, "hostarc: Wine host paths are not available");
    return -1;
  }
  std::string logUnix = unixPathOf(files.log), statusUnix = unixPathOf(files.status);
  std::string scriptUnix = unixPathOf(files.script);
  std::string script = "sh " + shellQuote(tool);
  for (const std::string& arg : args) script += " " + shellQuote(arg);
  script += " </dev/null >" + shellQuote(logUnix) + " 2>&1\n";
  // One write of "status\n": the status file is complete once it is not
  // empty (no rename, which would cost a process of its own). One that
  // stays empty for a second (the write failed) reads as no status.
  script += "echo $? >" + shellQuote(statusUnix) + "\n";
  if (!writeWholeFile(files.script, script)) {
    setOutput(output, outputSize, "hostarc: cannot write the runner script");
    return -1;
  }

  std::wstring commandLine = L"\"" + sh + L"\" \"" + toWide(scriptUnix, CP_UTF8) + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(sh.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                      nullptr, nullptr, &startup, &process)) {
    setOutput(output, outputSize, "hostarc: /bin/sh cannot be started");
    return -1;
  }
  KernelHandle processHandle(process.hProcess), threadHandle(process.hThread);

  // The status file is looked for every millisecond at first, then after
  // a twentieth of the time waited so far (at most 20 ms): a change
  // notification would wake sooner, but closing one costs Wine 15-20 ms.
  DWORD limit = timeoutMilliseconds(), started = GetTickCount(), emptySince = 0;
  bool seenEmpty = false;
  for (;;) {
    StatusFile state = statusFileState(files.status);
    DWORD waited = GetTickCount() - started;
    if (state == StatusFile::written) break;
    if (state == StatusFile::empty) {
      if (!seenEmpty) emptySince = waited;
      else if (waited - emptySince >= 1000) break;
      seenEmpty = true;
    }
    if (waited >= limit) {
      setOutput(output, outputSize, "hostarc: the host archiver did not finish in time");
      return -1;
    }
    waitHandlingMessages(waited < 20 ? 1 : waited < 400 ? waited / 20 : 20);
    if (progressCancelled) {
      setOutput(output, outputSize, "Cancel button was pushed");
      return -2;
    }
  }
  std::string status, log;
  readWholeFile(files.status, status);
  readWholeFile(files.log, log);
  if (log.size() > 4000) log.erase(0, log.size() - 4000);
  // The messages are UTF-8; the output buffer holds ANSI text, or UTF-8 in
  // Unicode mode.
  setOutput(output, outputSize, fromWide(toWide(log, CP_UTF8), hostTextCodePage()));
  DeleteFileW((files.status).c_str());
  return status.empty() ? -1 : atoi(status.c_str());
}

bool prepareRunFiles(RunFiles& files) {
  WCHAR folder[MAX_PATH + 1], name[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, folder);
  if (n == 0 || n > MAX_PATH || !GetTempFileNameW(folder, L"hst", 0, name)) return false;
  files.base = name;
  files.script = files.base + L".sh";
  files.log = files.base + L".log";
  files.status = files.base + L".rc";
  return true;
}

// Converts the converter's response file (ANSI, or UTF-8 in Unicode mode;
// "name" per line, backslashes) into a host list: UTF-8, one name per line,
// slashes.
bool convertListFile(const std::string& ansiPath, RunFiles& files, std::string& unixList) {
  std::string data;
  UINT codePage = hostTextCodePage();
  if (!readWholeFile(toWide(ansiPath, codePage), data)) return false;
  std::string converted;
  size_t pos = 0;
  while (pos < data.size()) {
    size_t end = data.find('\n', pos);
    if (end == std::string::npos) end = data.size();
    std::string line = data.substr(pos, end - pos);
    pos = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (line.size() >= 2 && line.front() == '"' && line.back() == '"') line = line.substr(1, line.size() - 2);
    if (line.empty()) continue;
    // Backslashes are replaced after decoding, so that a trail byte 0x5C of
    // a double-byte character stays part of its character.
    std::wstring wide = toWide(line, codePage);
    for (wchar_t& c : wide)
      if (c == L'\\') c = L'/';
    converted += fromWide(wide, CP_UTF8) + "\n";
  }
  files.list = files.base + L".lst";
  if (!writeWholeFile(files.list, converted)) return false;
  unixList = unixPathOf(files.list);
  return !unixList.empty();
}

// CAB writers set the UTF-8 name flag on every name that is not ASCII; the
// names written here are code page 932, so the flag is cleared again, as a
// cabinet from a Japanese Windows machine has it.
bool clearCabUtf8Flags(const std::wstring& path) {
  std::string data;
  if (!readWholeFile(path, data) || data.size() < 36 || data.compare(0, 4, "MSCF") != 0) return false;
  auto u16 = [&](size_t at) { return (unsigned)(unsigned char)data[at] | (unsigned)(unsigned char)data[at + 1] << 8; };
  size_t at = u16(16) | (size_t)u16(18) << 16;
  unsigned count = u16(28);
  for (unsigned i = 0; i < count; ++i) {
    if (at + 16 >= data.size()) return false;
    data[at + 14] = (char)(data[at + 14] & ~0x80);
    size_t end = data.find('\0', at + 16);
    if (end == std::string::npos) return false;
    at = end + 1;
  }
  return writeWholeFile(path, data);
}

// Host paths of the archive and the folder of one call.
bool hostPaths(const std::wstring& archive, const std::wstring& dir, std::string& archiveUnix,
               std::string& dirUnix, char* output, DWORD outputSize) {
  archiveUnix = unixPathOf(archive);
  dirUnix = unixPathOf(dir);
  if (!archiveUnix.empty() && !dirUnix.empty()) return true;
  setOutput(output, outputSize, "hostarc: no host path for the archive or the folder");
  return false;
}

// With HOSTARC_TIMES naming a host file, every call of a DLL appends a line
// "dll START END" (Unix times in seconds), so that a benchmark can tell the
// time spent inside archiver calls from the converter's own.
struct CallTimer {
  FILETIME start;
  CallTimer() { GetSystemTimeAsFileTime(&start); }
  ~CallTimer() {
    char target[1024];
    DWORD n = GetEnvironmentVariableA("HOSTARC_TIMES", target, sizeof target);
    if (n == 0 || n >= sizeof target) return;
    std::wstring path = dosPathOf(target);
    if (path.empty()) return;
    FILETIME end;
    GetSystemTimeAsFileTime(&end);
    char line[96];
    int length = snprintf(line, sizeof line, "dll %.3f %.3f\n", unixSeconds(start), unixSeconds(end));
    FileHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file && length > 0) WriteFile(file.get(), line, (DWORD)length, &written, nullptr);
  }
  static double unixSeconds(const FILETIME& time) {
    ULONGLONG ticks = (ULONGLONG)time.dwHighDateTime << 32 | time.dwLowDateTime;
    return (double)(ticks - 116444736000000000ULL) / 1e7;
  }
};

}  // namespace

std::vector<CommandToken> splitCommandLine(const char* line) {
  std::vector<CommandToken> tokens;
  const char* p = line ? line : "";
  for (;;) {
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') ++p;
    if (!*p) break;
    CommandToken token;
    bool inQuotes = false;
    while (*p && (inQuotes || (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n'))) {
      if (*p == '"') {
        inQuotes = !inQuotes;
        token.quoted = true;
      } else {
        token.text += *p;
      }
      ++p;
    }
    tokens.push_back(token);
  }
  return tokens;
}

ParsedCommand parseCommand(const char* line) {
  ParsedCommand cmd;
  for (const CommandToken& token : splitCommandLine(line)) {
    if (isSwitch(token)) cmd.switches.push_back(token.text);
    else cmd.words.push_back(token.text);
  }
  return cmd;
}

bool hasSwitch(const ParsedCommand& cmd, const char* name) {
  for (const std::string& s : cmd.switches)
    if (s == name) return true;
  return false;
}

bool readPackSpec(const std::vector<std::string>& words, size_t first, PackSpec& spec) {
  spec = PackSpec();
  if (words.size() <= first) return true;
  if (words.size() != first + 1) return false;
  const std::string& word = words[first];
  if (word == "*" || word == "*.*") return true;
  if (word.size() > 1 && word[0] == '@') {
    spec.whole = false;
    spec.listFile = word.substr(1);
    return true;
  }
  return false;
}

void setOutput(char* output, DWORD outputSize, const std::string& text) {
  if (!output || outputSize == 0) return;
  size_t n = text.size() < outputSize - 1 ? text.size() : outputSize - 1;
  memcpy(output, text.data(), n);
  output[n] = '\0';
}

int hostExtract(const char* format, const std::string& archive, const std::string& dir,
                char* output, DWORD outputSize) {
  CallTimer timer;
  std::wstring archiveW = toWide(archive, hostTextCodePage()), dirW = toWide(dir, hostTextCodePage());
  if (!exists(archiveW)) {
    setOutput(output, outputSize, "hostarc: archive not found");
    return HOST_ERROR_PATH;
  }
  // The tree a listing of this archive just extracted is what this
  // extraction would write.
  if (takeStagedExtraction(archiveW, dirW)) return 0;
  std::string archiveUnix, dirUnix;
  if (!hostPaths(archiveW, dirW, archiveUnix, dirUnix, output, outputSize)) return HOST_ERROR_PATH;
  RunFiles files;
  if (!prepareRunFiles(files)) return HOST_ERROR_START;
  int status = runHost({"extract", format, archiveUnix, dirUnix}, files, output, outputSize);
  if (status == -2) return HOST_ERROR_CANCELLED;
  if (status < 0) return HOST_ERROR_START;
  DWORD attributes = GetFileAttributesW(dirW.c_str());
  if (status != 0 || attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    return HOST_ERROR_TOOL;
  return 0;
}

int hostCreate(const char* format, const std::string& archive, const std::string& dir,
               const PackSpec& spec, const std::string& level,
               const std::vector<std::string>& extra, char* output, DWORD outputSize) {
  CallTimer timer;
  std::wstring archiveW = toWide(archive, hostTextCodePage()), dirW = toWide(dir, hostTextCodePage());
  std::string archiveUnix, dirUnix;
  if (!hostPaths(archiveW, dirW, archiveUnix, dirUnix, output, outputSize)) return HOST_ERROR_PATH;
  RunFiles files;
  if (!prepareRunFiles(files)) return HOST_ERROR_START;
  std::string listUnix;
  if (!spec.whole && !convertListFile(spec.listFile, files, listUnix)) {
    setOutput(output, outputSize, "hostarc: cannot read the response file");
    return HOST_ERROR_PATH;
  }
  // LZH names without a code page 932 form are stored in UTF-8 in Unicode
  // mode.
  if (hostUnicodeMode() && strcmp(format, "lzh") == 0) format = "lzh-utf8";
  std::vector<std::string> args = {"create", format, archiveUnix, dirUnix, listUnix, level};
  args.insert(args.end(), extra.begin(), extra.end());
  int status = runHost(args, files, output, outputSize);
  if (status == -2) return HOST_ERROR_CANCELLED;
  if (status < 0) return HOST_ERROR_START;
  if (status != 0 || !exists(archiveW)) return HOST_ERROR_TOOL;
  if (strcmp(format, "cab") == 0 && !clearCabUtf8Flags(archiveW)) return HOST_ERROR_TOOL;
  return 0;
}

int extractWithSwitch(const char* commandLine, const char* extractSwitch, const char* format,
                      char* output, DWORD outputSize) {
  setOutput(output, outputSize, "");
  ParsedCommand cmd = parseCommand(commandLine);
  if (!hasSwitch(cmd, extractSwitch) || cmd.words.size() != 2) return HOST_ERROR_COMMAND;
  return hostExtract(format, cmd.words[0], cmd.words[1], output, outputSize);
}

namespace {

// Appends a dialog template item: WORDs, strings as UTF-16 with their null.
void addWords(std::vector<WORD>& t, std::initializer_list<WORD> words) { t.insert(t.end(), words); }
void addDword(std::vector<WORD>& t, DWORD value) { addWords(t, {LOWORD(value), HIWORD(value)}); }
void addText(std::vector<WORD>& t, const wchar_t* text) {
  for (; *text; ++text) t.push_back((WORD)*text);
  t.push_back(0);
}
void addItem(std::vector<WORD>& t, DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom,
             const wchar_t* text) {
  if (t.size() % 2) t.push_back(0);   // items start on a DWORD boundary
  addDword(t, style | WS_CHILD | WS_VISIBLE);
  addDword(t, 0);
  addWords(t, {(WORD)x, (WORD)y, (WORD)cx, (WORD)cy, id, 0xFFFF, atom});
  addText(t, text);
  t.push_back(0);   // no creation data
}

HMODULE thisModule() {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     (LPCWSTR)(void*)&thisModule, &self);
  return self;
}

}  // namespace

ProgressWindow::ProgressWindow(const wchar_t* caption) : window_(nullptr), shownAt_(GetTickCount()) {
  std::vector<WORD> t;
  addDword(t, WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_MODALFRAME | DS_CENTER);
  addDword(t, 0);
  addWords(t, {2, 0, 0, 180, 60, 0, 0});   // two items; no menu, default class
  addText(t, caption);
  addItem(t, SS_LEFT, 10, 10, 160, 12, 0xFFFF, 0x0082, L"Processing...");
  addItem(t, BS_PUSHBUTTON, 65, 36, 50, 14, IDCANCEL, 0x0080, L"Cancel");
  progressCancelled = false;
  window_ = CreateDialogIndirectParamW(thisModule(), reinterpret_cast<LPCDLGTEMPLATEW>(t.data()), nullptr,
                                       progressProc, 0);
  progressWindow = window_;
}

ProgressWindow::~ProgressWindow() {
  wchar_t value[16];
  DWORD n = GetEnvironmentVariableW(L"HOSTARC_PROGRESS_MIN_MS", value, 16);
  DWORD least = n > 0 && n < 16 ? wcstoul(value, nullptr, 10) : 0;
  while (window_ && !progressCancelled && GetTickCount() - shownAt_ < least) waitHandlingMessages(10);
  progressWindow = nullptr;
  // A Cancel ends this call only: later calls without a window must not
  // read it as theirs.
  progressCancelled = false;
  if (window_) DestroyWindow(window_);
}

void narrowDllSearch() {
  typedef BOOL(WINAPI * SetDefaultDllDirectoriesProc)(DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  SetDefaultDllDirectoriesProc narrow = kernel ? reinterpret_cast<SetDefaultDllDirectoriesProc>(
                                                     GetProcAddress(kernel, "SetDefaultDllDirectories"))
                                               : nullptr;
  if (narrow) narrow(LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_USER_DIRS);
}
