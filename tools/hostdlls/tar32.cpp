// tar32.dll: TAR, TAR-GZ and TAR-BZ2 with the host's tar reader and writer.
//   extract: [--display-...] -xvf[z] "archive" "folder\"
//   create:  [--display-...] -cvf | -cvfzN | -cvfBN "archive" "folder\" "@list" | *.*
// As the real tar32.dll 2.x: an unowned progress window during each call
// unless --display-dialog=0, and names stored in UTF-8 unless
// --store-in-utf8=0 (then in code page 932); either is read.
#include "hostlist.h"
#include "hostrun.h"

extern "C" int WINAPI Tar(HWND window, LPCSTR commandLine, LPSTR output, DWORD outputSize) {
  setOutput(output, outputSize, "");
  ParsedCommand cmd = parseCommand(commandLine);
  bool dialog = !hasSwitch(cmd, "--display-dialog=0");
  bool utf8 = !hasSwitch(cmd, "--store-in-utf8=0");
  ProgressWindow* progress = dialog ? new ProgressWindow(L"tar32.dll") : nullptr;
  struct Closer {
    ProgressWindow* window;
    ~Closer() { delete window; }
  } closer = {progress};
  std::string mode;
  for (const std::string& s : cmd.switches)
    if (s.compare(0, 2, "--") != 0) mode += s.substr(1);
  if (cmd.words.size() < 2) return HOST_ERROR_COMMAND;
  if (mode.find('x') != std::string::npos)
    return hostExtract("tar", cmd.words[0], cmd.words[1], output, outputSize);
  if (mode.find('c') == std::string::npos) return HOST_ERROR_COMMAND;
  PackSpec spec;
  if (!readPackSpec(cmd.words, 2, spec)) return HOST_ERROR_COMMAND;
  std::string format = "tar";
  if (mode.find('z') != std::string::npos) format = "tgz";
  if (mode.find('B') != std::string::npos || mode.find('j') != std::string::npos) format = "tbz2";
  if (utf8) format += "-utf8";
  std::string level;
  for (char c : mode)
    if (c >= '0' && c <= '9') level = std::string(1, c);
  return hostCreate(format.c_str(), cmd.words[0], cmd.words[1], spec, level, {}, output, outputSize);
}

// Version 2.49, as the current tar32.dll: new enough for the dialog switches
// and bzip2 without bz2lib.dll.
extern "C" WORD WINAPI TarGetVersion() { return 249; }

// Listing: what the extraction of the archive writes.
HOST_LISTING_EXPORTS(Tar, "tar")
