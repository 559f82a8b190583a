// cab32.dll: CAB with the host's cabinet reader and writer (MSZIP only).
//   -x -r -o "archive" "folder\"
//   -a [-r] -mz | -ml:N "archive" "folder\" "@list" | *.*
// The self-extracting form (-f) needs a Windows stub and is refused.
#include "hostlist.h"
#include "hostrun.h"

extern "C" int WINAPI Cab(HWND window, LPCSTR commandLine, LPSTR output, DWORD outputSize) {
  setOutput(output, outputSize, "");
  ParsedCommand cmd = parseCommand(commandLine);
  if (hasSwitch(cmd, "-f")) {
    setOutput(output, outputSize, "hostarc: no self-extracting CAB on this host");
    return HOST_ERROR_NOT_SUPPORTED;
  }
  if (cmd.words.size() < 2) return HOST_ERROR_COMMAND;
  if (hasSwitch(cmd, "-x")) {
    if (cmd.words.size() != 2) return HOST_ERROR_COMMAND;
    return hostExtract("cab", cmd.words[0], cmd.words[1], output, outputSize);
  }
  if (!hasSwitch(cmd, "-a")) return HOST_ERROR_COMMAND;
  PackSpec spec;
  if (!readPackSpec(cmd.words, 2, spec)) return HOST_ERROR_COMMAND;
  return hostCreate("cab", cmd.words[0], cmd.words[1], spec, "", {}, output, outputSize);
}

extern "C" WORD WINAPI CabGetVersion() { return 98; }

// Listing: what the extraction of the archive writes.
HOST_LISTING_EXPORTS(Cab, "cab")
