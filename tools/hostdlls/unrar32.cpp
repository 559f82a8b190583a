// unrar32.dll: RAR reading with the host's RAR reader.
//   -x -y -o "archive" "folder\"
#include "hostlist.h"
#include "hostrun.h"

extern "C" int WINAPI Unrar(HWND window, LPCSTR commandLine, LPSTR output, DWORD outputSize) {
  return extractWithSwitch(commandLine, "-x", "rar", output, outputSize);
}

extern "C" WORD WINAPI UnrarGetVersion() { return 100; }

// Listing: what the extraction of the archive writes.
HOST_LISTING_EXPORTS(Unrar, "rar")
