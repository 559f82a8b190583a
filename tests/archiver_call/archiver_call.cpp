// Calls archiver DLL exports the way the converter does, for tests that
// check the DLLs from the host side. Reads a batch file (UTF-8), one call a
// line, fields separated by tabs:
//   DLL  EXPORT                      -> calls the version export
//   DLL  EXPORT  FOLDER  COMMAND     -> calls the command export with the
//                                       command line in the ANSI code page,
//                                       FOLDER as the current folder ("" = keep)
//   DLL  EXPORT  FOLDER  COMMAND  MODE  -> the same in Unicode mode: MODE(TRUE)
//                                       before, the command line in UTF-8,
//                                       MODE(FALSE) after ("noexport" without it)
// Writes one line per call into RESULTFILE: the result number (or "noload",
// "noexport"); the DLL's message of a failed call goes to standard error.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

typedef int(WINAPI* CommandFn)(HWND, LPCSTR, LPSTR, DWORD);
typedef WORD(WINAPI* VersionFn)();
typedef BOOL(WINAPI* ModeFn)(BOOL);

std::wstring utf8ToWide(const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), nullptr, 0);
  std::wstring wide((size_t)n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), &wide[0], n);
  return wide;
}

std::string wideToAnsi(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), (int)wide.size(), nullptr, 0, nullptr, nullptr);
  std::string text((size_t)n, '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), (int)wide.size(), &text[0], n, nullptr, nullptr);
  return text;
}

std::vector<std::string> splitTabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: archiver_call BATCHFILE RESULTFILE\n");
    return 2;
  }
  FILE* batch = _wfopen(argv[1], L"rb");
  FILE* results = _wfopen(argv[2], L"wb");
  if (!batch || !results) {
    fprintf(stderr, "archiver_call: cannot open the batch or the result file\n");
    if (batch) fclose(batch);
    if (results) fclose(results);
    return 2;
  }
  static char output[32768];
  char buffer[8192];
  while (fgets(buffer, sizeof buffer, batch)) {
    std::string line = buffer;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (line.empty()) continue;
    std::vector<std::string> fields = splitTabs(line);
    HMODULE dll = LoadLibraryW(utf8ToWide(fields[0]).c_str());
    if (!dll) {
      fprintf(results, "noload\n");
      continue;
    }
    // As the converter does: the DLL's folder is on the DLL search during the
    // call, for the companions it loads by name.
    std::wstring dllPath = utf8ToWide(fields[0]);
    DLL_DIRECTORY_COOKIE folder = AddDllDirectory(dllPath.substr(0, dllPath.find_last_of(L'\\')).c_str());
    FARPROC proc = fields.size() > 1 ? GetProcAddress(dll, fields[1].c_str()) : nullptr;
    if (!proc) {
      fprintf(results, "noexport\n");
    } else if (fields.size() < 4) {
      fprintf(results, "%u\n", (unsigned)((VersionFn)(void*)proc)());
    } else if (fields.size() > 4 && !GetProcAddress(dll, fields[4].c_str())) {
      fprintf(results, "noexport\n");
    } else {
      ModeFn mode = fields.size() > 4 ? (ModeFn)(void*)GetProcAddress(dll, fields[4].c_str()) : nullptr;
      std::string commandLine = mode ? fields[3] : wideToAnsi(utf8ToWide(fields[3]));
      if (mode) mode(TRUE);
      WCHAR saved[MAX_PATH];
      GetCurrentDirectoryW(MAX_PATH, saved);
      if (!fields[2].empty()) SetCurrentDirectoryW(utf8ToWide(fields[2]).c_str());
      output[0] = '\0';
      int result = ((CommandFn)(void*)proc)(nullptr, commandLine.c_str(), output, sizeof output);
      SetCurrentDirectoryW(saved);
      if (mode) mode(FALSE);
      fprintf(results, "%d\n", result);
      if (result != 0 && output[0]) fprintf(stderr, "%s\n", output);
    }
    fflush(results);
    if (folder) RemoveDllDirectory(folder);
    FreeLibrary(dll);
  }
  fclose(batch);
  fclose(results);
  return 0;
}
