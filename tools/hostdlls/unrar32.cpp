// unrar32.dll: RAR reading with the host's RAR reader.
//   -x -y -o "archive" "folder\"
#include "hostrun.h"

extern "C" int WINAPI Unrar(HWND window, LPCSTR commandLine, LPSTR output, DWORD outputSize) {
  setOutput(output, outputSize, "");
  ParsedCommand cmd = parseCommand(commandLine);
  if (!hasSwitch(cmd, "-x") || cmd.words.size() != 2) return HOST_ERROR_COMMAND;
  return hostExtract("rar", cmd.words[0], cmd.words[1], output, outputSize);
}

extern "C" WORD WINAPI UnrarGetVersion() { return 100; }
