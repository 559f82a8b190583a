// tar32.dll: TAR, TAR-GZ and TAR-BZ2 with the host's tar reader and writer.
//   extract: [--display-...] -xvf[z] "archive" "folder\"
//   create:  [--display-...] -cvf | -cvfzN | -cvfBN "archive" "folder\" "@list" | *.*
#include "hostlist.h"
#include "hostrun.h"

extern "C" int WINAPI Tar(HWND window, LPCSTR commandLine, LPSTR output, DWORD outputSize) {
  setOutput(output, outputSize, "");
  ParsedCommand cmd = parseCommand(commandLine);
  std::string mode;
  for (const std::string& s : cmd.switches)
    if (s.compare(0, 2, "--") != 0) mode += s.substr(1);
  if (cmd.words.size() < 2) return HOST_ERROR_COMMAND;
  if (mode.find('x') != std::string::npos)
    return hostExtract("tar", cmd.words[0], cmd.words[1], output, outputSize);
  if (mode.find('c') == std::string::npos) return HOST_ERROR_COMMAND;
  PackSpec spec;
  if (!readPackSpec(cmd.words, 2, spec)) return HOST_ERROR_COMMAND;
  const char* format = "tar";
  if (mode.find('z') != std::string::npos) format = "tgz";
  if (mode.find('B') != std::string::npos || mode.find('j') != std::string::npos) format = "tbz2";
  std::string level;
  for (char c : mode)
    if (c >= '0' && c <= '9') level = std::string(1, c);
  return hostCreate(format, cmd.words[0], cmd.words[1], spec, level, {}, output, outputSize);
}

// Version 2.50: new enough for the dialog switches and bzip2 without bz2lib.
extern "C" WORD WINAPI TarGetVersion() { return 250; }

// Listing: what the extraction of the archive writes.
HOST_LISTING_EXPORTS(Tar, "tar")
