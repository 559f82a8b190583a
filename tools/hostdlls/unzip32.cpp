// unzip32.dll: ZIP reading with the host's ZIP reader.
//   -x -s -o --j -i "archive" "folder\"
#include "hostrun.h"

extern "C" int WINAPI UnZip(HWND window, LPCSTR commandLine, LPSTR output, DWORD outputSize) {
  setOutput(output, outputSize, "");
  ParsedCommand cmd = parseCommand(commandLine);
  if (!hasSwitch(cmd, "-x") || cmd.words.size() != 2) return HOST_ERROR_COMMAND;
  return hostExtract("zip", cmd.words[0], cmd.words[1], output, outputSize);
}

extern "C" WORD WINAPI UnZipGetVersion() { return 600; }
