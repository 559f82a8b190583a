// unzip32.dll: ZIP reading with the host's ZIP reader.
//   -x -s -o --j -i "archive" "folder\"
#include "hostlist.h"
#include "hostrun.h"

extern "C" int WINAPI UnZip(HWND window, LPCSTR commandLine, LPSTR output, DWORD outputSize) {
  return extractWithSwitch(commandLine, "-x", "zip", output, outputSize);
}

extern "C" WORD WINAPI UnZipGetVersion() { return 600; }

// Listing: what the extraction of the archive writes.
HOST_LISTING_EXPORTS(UnZip, "zip")
