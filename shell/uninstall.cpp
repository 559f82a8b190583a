// Uninstall entry: confirmation, the SendTo marker file, then the INF's
// DefaultUninstall section in a process of its own.
#include "shell/uninstall.h"
#include "engine/handles.h"
#include "engine/paths.h"
#include <shellapi.h>
#include <cstring>
#include <string>

namespace {

const char MARKER_NAME[] = "書庫を変換して保存....Veltrox";
const char SHELL_FOLDERS_KEY[] = "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

void deleteSendToMarker() {
    RegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SHELL_FOLDERS_KEY, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return;
    char sendTo[261] = {0};
    DWORD size = 260;
    DWORD type = 0;
    LONG result = RegQueryValueExA(key.get(), "SendTo", nullptr, &type,
                                   reinterpret_cast<BYTE*>(sendTo), &size);
    key.reset();
    if (result != ERROR_SUCCESS || sendTo[0] == '\0') return;
    std::string marker(sendTo);
    addTrailingBackslash(marker);
    marker += MARKER_NAME;
    DeleteFileA(marker.c_str());
}

}  // namespace

void runUninstall(HWND window, const char* commandLine, ProgramStarter start) {
    if (!commandLine || strlen(commandLine) >= 260) return;

    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;   // 148
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExA(&version);
#pragma GCC diagnostic pop
    const bool nt = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
    const char* program = nt ? "rundll32.exe" : "rundll.exe";
    const char* parameterPrefix = nt ? "syssetup.dll,SetupInfObjectInstallAction DefaultUninstall 132 "
                                     : "setupx.dll,InstallHinfSection DefaultUninstall 132 ";

    if (MessageBoxA(window, "Veltrox をアンインストールしますか？", "Veltrox のアンインストール",
                    MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;

    deleteSendToMarker();

    std::string parameters = std::string(parameterPrefix) + commandLine;
    (start ? start : ShellExecuteA)(window, "open", program, parameters.c_str(), nullptr, SW_SHOWDEFAULT);
}
