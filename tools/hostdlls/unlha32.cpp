// unlha32.dll: LZH, read with the host's LZH reader and written with jlha.
//   e -x1r2 -jf0 -y -c -a1 "archive" "folder\"
//   a -x -a1 -jmN "archive" "folder\" "@list"   a -x1r2 -p -a1 -jmN "archive" "folder\" *.*
// The self-extracting form (s) needs a Windows stub and is refused.
#include "hostlist.h"
#include "hostrun.h"

extern "C" int WINAPI Unlha(HWND window, LPCSTR commandLine, LPSTR output, DWORD outputSize) {
  setOutput(output, outputSize, "");
  ParsedCommand cmd = parseCommand(commandLine);
  if (cmd.words.empty()) return HOST_ERROR_COMMAND;
  const std::string& verb = cmd.words[0];
  if (verb == "s") {
    setOutput(output, outputSize, "hostarc: no self-extracting LZH on this host");
    return HOST_ERROR_NOT_SUPPORTED;
  }
  if (cmd.words.size() < 3) return HOST_ERROR_COMMAND;
  if (verb == "e" || verb == "x") {
    if (cmd.words.size() != 3) return HOST_ERROR_COMMAND;
    return hostExtract("lzh", cmd.words[1], cmd.words[2], output, outputSize);
  }
  if (verb != "a") return HOST_ERROR_COMMAND;
  PackSpec spec;
  if (!readPackSpec(cmd.words, 3, spec)) return HOST_ERROR_COMMAND;
  // -jm0 stores, -jm2/3/4 are lh5/lh6/lh7.
  std::string level = "5";
  for (const std::string& s : cmd.switches) {
    if (s == "-jm0") level = "0";
    else if (s == "-jm3") level = "6";
    else if (s == "-jm4") level = "7";
  }
  return hostCreate("lzh", cmd.words[1], cmd.words[2], spec, level, {}, output, outputSize);
}

extern "C" WORD WINAPI UnlhaGetVersion() { return 300; }

// Listing: what the extraction of the archive writes.
HOST_LISTING_EXPORTS(Unlha, "lzh")
