#pragma once
#include <windows.h>

// The body of the rundll32 entry Uninstall: asks, deletes the SendTo marker
// and starts the INF's DefaultUninstall section (commandLine = INF path).
// `start` is the shell's program start (ShellExecuteA); tests put a recorder
// in its place.
typedef HINSTANCE(WINAPI* ProgramStarter)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
void runUninstall(HWND window, const char* commandLine, ProgramStarter start = nullptr);
