// unrar32.dll: RAR reading with the host's RAR reader.
//   -x -y -o "archive" "folder\"
// As the current unrar32.dll, each command needs unrar.dll and looks for it
// only in the program's folder, the folders added with AddDllDirectory and
// the system folder (LOAD_LIBRARY_SEARCH_DEFAULT_DIRS); without it the
// command fails with 0x8023.
#include "hostlist.h"
#include "hostrun.h"

extern "C" int WINAPI Unrar(HWND window, LPCSTR commandLine, LPSTR output, DWORD outputSize) {
  HMODULE unrar = LoadLibraryExW(L"unrar.dll", nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
  if (!unrar) {
    setOutput(output, outputSize, "unrar.dll cannot be loaded");
    return HOST_ERROR_DLL;
  }
  int result = extractWithSwitch(commandLine, "-x", "rar", output, outputSize);
  FreeLibrary(unrar);
  return result;
}

extern "C" WORD WINAPI UnrarGetVersion() { return 100; }

// Listing: what the extraction of the archive writes.
HOST_LISTING_EXPORTS(Unrar, "rar")
