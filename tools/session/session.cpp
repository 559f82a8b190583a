// session: stands for the user's logged-on session while a benchmark runs.
// On Windows the shell is always there when something is sent to a SendTo
// target; under Wine the desktop process (explorer.exe /desktop) ends about
// a second after its last program, and the next program waits for a new one
// (0.5 to 1 s, several times per drop). This program attaches to the desktop
// and sleeps, without a window, until the wineserver is stopped or the
// given number of seconds (default: one hour) has passed.
//
//   session [SECONDS]
#include <windows.h>
#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  long seconds = commandLine && *commandLine ? strtol(commandLine, nullptr, 10) : 0;
  if (seconds <= 0) seconds = 3600;
  GetDesktopWindow();
  Sleep((DWORD)seconds * 1000);
  return 0;
}
