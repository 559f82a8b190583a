// unarj32j.dll: ARJ reading with the host's arj.
//   x -jf0 -y -p1 -c -a1 "archive" "folder\"
#include "hostlist.h"
#include "hostrun.h"

extern "C" int WINAPI Unarj(HWND window, LPCSTR commandLine, LPSTR output, DWORD outputSize) {
  setOutput(output, outputSize, "");
  ParsedCommand cmd = parseCommand(commandLine);
  if (cmd.words.size() != 3 || (cmd.words[0] != "x" && cmd.words[0] != "e")) return HOST_ERROR_COMMAND;
  return hostExtract("arj", cmd.words[1], cmd.words[2], output, outputSize);
}

extern "C" WORD WINAPI UnarjGetVersion() { return 100; }

// Listing: what the extraction of the archive writes.
HOST_LISTING_EXPORTS(Unarj, "arj")
