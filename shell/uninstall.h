#pragma once
#include <windows.h>

// The body of the rundll32 entry Uninstall: asks, deletes the SendTo marker
// and starts the INF's DefaultUninstall section (commandLine = INF path).
void runUninstall(HWND window, const char* commandLine);
