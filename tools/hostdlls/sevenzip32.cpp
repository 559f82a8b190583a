// 7-zip32.dll: 7z (and ZIP when the archive name ends in .zip) with 7-Zip.
//   x -y "archive" "folder\"
//   a -t7z|-tzip --r|-r0 [-m...] "archive" "folder\" "@list" | *
// As the real 7-zip32.dll 24.x: every command narrows the process's DLL
// search, shows an unowned progress window, and an extraction leaves the
// process's current directory in its output folder.
#include "hostlist.h"
#include "hostrun.h"
#include "unicode_mode.h"

namespace {

int sevenZipCommand(LPCSTR commandLine, LPSTR output, DWORD outputSize) {
  setOutput(output, outputSize, "");
  ParsedCommand cmd = parseCommand(commandLine);
  if (cmd.words.size() < 3) return HOST_ERROR_COMMAND;
  const std::string& verb = cmd.words[0];
  if (verb == "x" || verb == "e") {
    if (cmd.words.size() != 3) return HOST_ERROR_COMMAND;
    int result = hostExtract("7z", cmd.words[1], cmd.words[2], output, outputSize);
    SetCurrentDirectoryW(toWide(cmd.words[2], hostTextCodePage()).c_str());
    return result;
  }
  if (verb != "a") return HOST_ERROR_COMMAND;
  PackSpec spec;
  if (!readPackSpec(cmd.words, 3, spec)) return HOST_ERROR_COMMAND;
  // Method and level switches are 7-Zip's own and are passed on.
  std::vector<std::string> extra;
  for (const std::string& s : cmd.switches)
    if (s.compare(0, 2, "-m") == 0) extra.push_back(s);
  const char* format = hasSwitch(cmd, "-tzip") ? "7zip" : "7z";
  return hostCreate(format, cmd.words[1], cmd.words[2], spec, "", extra, output, outputSize);
}

}  // namespace

extern "C" int WINAPI SevenZip(HWND window, LPCSTR commandLine, LPSTR output, DWORD outputSize) {
  narrowDllSearch();
  ProgressWindow progress(L"7-zip32.dll");
  return sevenZipCommand(commandLine, output, outputSize);
}

extern "C" WORD WINAPI SevenZipGetVersion() { return 920; }

// Listing: what the extraction of the archive writes.
HOST_LISTING_EXPORTS(SevenZip, "7z")
