// Uninstall entry: confirmation, the SendTo marker file, then the INF's
// DefaultUninstall section in a process of its own, run by the system's own
// word size (so that 64-bit Windows removes its 64-bit registration too).
#include "shell/uninstall.h"
#include "base/handles.h"
#include "base/paths.h"
#include "ui/send_to.h"
#include <shellapi.h>
#include <cstring>
#include <string>

namespace {

void deleteSendToMarker() {
    std::string marker = sendToFolder();
    if (marker.empty()) return;
    addTrailingBackslash(marker);
    marker += SENDTO_MARKER_NAME;
    DeleteFileA(marker.c_str());
}

}  // namespace

UninstallCommand uninstallCommand(const UninstallSystem& system, const std::string& inf) {
    UninstallCommand command;
    if (!system.nt) {
        command.program = "rundll.exe";
        command.parameters = "setupx.dll,InstallHinfSection DefaultUninstall 132 " + inf;
        return command;
    }
    command.program = "rundll32.exe";
    if (system.wow64 && !system.windowsFolder.empty()) {
        command.program = system.windowsFolder;
        addTrailingBackslash(command.program);
        command.program += "Sysnative\\rundll32.exe";
    }
    command.parameters = system.syssetupHasAction
                             ? "syssetup.dll,SetupInfObjectInstallAction DefaultUninstall 132 " + inf
                             : "setupapi.dll,InstallHinfSection DefaultUninstall 132 " + inf;
    return command;
}

UninstallSystem currentUninstallSystem() {
    UninstallSystem system;
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;   // 148
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExA(&version);
#pragma GCC diagnostic pop
    system.nt = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
    if (!system.nt) return system;

    BOOL wow64 = FALSE;
    system.wow64 = IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
    char folder[MAX_PATH + 1] = {0};
    UINT length = GetSystemWindowsDirectoryA(folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH) system.windowsFolder = folder;

    // syssetup.dll is looked up in the system folder only (never the current
    // folder); where it lacks the action, setupapi's entry does the same work.
    system.syssetupHasAction = false;
    length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        std::string path(folder);
        addTrailingBackslash(path);
        path += "syssetup.dll";
        Module syssetup(LoadLibraryExA(path.c_str(), nullptr, 0));
        system.syssetupHasAction =
            syssetup && GetProcAddress(syssetup.get(), "SetupInfObjectInstallAction") != nullptr;
    }
    return system;
}

void runUninstall(HWND window, const char* commandLine, ProgramStarter start) {
    if (!commandLine || strlen(commandLine) >= 260) return;
    const UninstallCommand command = uninstallCommand(currentUninstallSystem(), commandLine);

    if (MessageBoxA(window, "Veltrox をアンインストールしますか？", "Veltrox のアンインストール",
                    MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;

    deleteSendToMarker();

    (start ? start : ShellExecuteA)(window, "open", command.program.c_str(), command.parameters.c_str(),
                                    nullptr, SW_SHOWDEFAULT);
}
