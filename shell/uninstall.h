#pragma once
#include <windows.h>
#include <string>

// The body of the rundll32 entry Uninstall: asks, deletes the SendTo marker
// and starts the INF's DefaultUninstall section (commandLine = INF path).
// `start` is the shell's program start (ShellExecuteA); tests put a recorder
// in its place.
typedef HINSTANCE(WINAPI* ProgramStarter)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
void runUninstall(HWND window, const char* commandLine, ProgramStarter start = nullptr);

// What the system offers for running an INF section.
struct UninstallSystem {
    bool nt = true;                  // VER_PLATFORM_WIN32_NT
    bool wow64 = false;              // a 32-bit process on 64-bit Windows
    bool syssetupHasAction = true;   // syssetup.dll exports SetupInfObjectInstallAction
    std::string windowsFolder;       // the system's Windows folder (used under WoW64)
};
struct UninstallCommand {
    std::string program;
    std::string parameters;
};
// The program and parameters that run the DefaultUninstall section of `inf`.
// Under WoW64 the 64-bit rundll32 (reached through Sysnative) is started, so
// that the NTamd64 sections remove the 64-bit entry and both views' class.
UninstallCommand uninstallCommand(const UninstallSystem& system, const std::string& inf);
// The running system, as uninstallCommand needs it.
UninstallSystem currentUninstallSystem();
