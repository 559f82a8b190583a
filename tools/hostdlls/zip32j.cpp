// zip32j.dll: ZIP writing with the host's ZIP writer.
//   -S -N [-r] "archive" "folder\" "@list" | *.*
// The self-extracting form (--sfx) needs a Windows self-extractor stub that
// the host does not have; it is refused.
#include "hostrun.h"

extern "C" int WINAPI Zip(HWND window, LPCSTR commandLine, LPSTR output, DWORD outputSize) {
  setOutput(output, outputSize, "");
  ParsedCommand cmd = parseCommand(commandLine);
  if (hasSwitch(cmd, "--sfx")) {
    setOutput(output, outputSize, "hostarc: no self-extracting ZIP on this host");
    return HOST_ERROR_NOT_SUPPORTED;
  }
  if (cmd.words.size() < 2) return HOST_ERROR_COMMAND;
  PackSpec spec;
  if (!readPackSpec(cmd.words, 2, spec)) return HOST_ERROR_COMMAND;
  std::string level;
  for (const std::string& s : cmd.switches)
    if (s.size() == 2 && s[1] >= '0' && s[1] <= '9') level = s.substr(1);
  return hostCreate("zip", cmd.words[0], cmd.words[1], spec, level, {}, output, outputSize);
}

// Version 3.00: may compress and may be asked for self-extracting archives.
extern "C" WORD WINAPI ZipGetVersion() { return 300; }
