// About dialog 100: the converter's own file version and, per archiver
// component, whether it is installed and which version it has.
#include "ui/about_dialog.h"
#include "ui/dialogs.h"
#include "ui/resources/resource.h"
#include "base/component_versions.h"
#include "base/converter_context.h"
#include "base/module.h"
#include "ui/send_to.h"
#include <shellapi.h>
#include <cstdio>
#include <cstring>

namespace {

const char NOT_INSTALLED[] = "not installed.";

enum VersionSource { FILE_VERSION, ARCHIVER_VERSION, ZIP32_VERSION, UNRAR_VERSION, SFX32GUI_PRESENCE, ACE_FILE_VERSION };

struct ComponentLine {
    int id;
    VersionSource source;
    const char* fileName;     // FILE_VERSION sources
    ArchiveFormat format;     // ARCHIVER_VERSION sources
    size_t tabLimit;          // a version text of at most this many characters gets one more tab
};

// The line order of the dialog. The appended tab keeps the credit column
// aligned whether the version text is short or "not installed.".
const ComponentLine COMPONENTS[] = {
    {1034, FILE_VERSION, "UNLHA32.DLL", 0, 8},
    {1035, ARCHIVER_VERSION, nullptr, FMT_UNZIP, 7},
    {1036, ZIP32_VERSION, nullptr, 0, 7},
    {1037, ARCHIVER_VERSION, nullptr, FMT_ZIP, 6},
    {1038, SFX32GUI_PRESENCE, nullptr, 0, 6},
    {1039, ARCHIVER_VERSION, nullptr, FMT_TAR, 6},
    {1040, ARCHIVER_VERSION, nullptr, FMT_CAB, 6},
    {1041, ARCHIVER_VERSION, nullptr, FMT_RAR, 6},
    {1042, UNRAR_VERSION, nullptr, 0, 6},
    {1043, FILE_VERSION, "UNARJ32J.DLL", 0, 8},
    {1044, ARCHIVER_VERSION, nullptr, FMT_BZA, 6},
    {1045, ARCHIVER_VERSION, nullptr, FMT_YZ1, 6},
    {1046, ACE_FILE_VERSION, "UNACEV2.DLL", 0, 0},
    {1047, ARCHIVER_VERSION, nullptr, FMT_7Z, 8},
};

std::string fileVersionText(const ComponentVersions& versions, const char* fileName) {
    char text[64] = "";
    if (!versions.fileVersionText(fileName, text, sizeof text)) return std::string();
    return text;
}

std::string componentVersion(ConverterContext& ctx, const ComponentVersions& versions, const ComponentLine& line) {
    std::string version;
    switch (line.source) {
    case FILE_VERSION:
    case ACE_FILE_VERSION: {
        std::string found = fileVersionText(versions, line.fileName);
        if (found.empty()) return NOT_INSTALLED;
        version = found;
        if (line.source == ACE_FILE_VERSION) return version + "  \t";
        break;
    }
    case ARCHIVER_VERSION:
        version = versionNumberText(versions.archiverVersion(ctx, line.format));
        break;
    case ZIP32_VERSION:
        version = versionNumberText(versions.zip32Version());
        break;
    case UNRAR_VERSION: {
        int v = versions.unrarVersion();
        version = versionNumberText(v > 0 ? static_cast<uint32_t>(v) : 0);
        break;
    }
    case SFX32GUI_PRESENCE: {
        char path[MAX_PATH];
        version = SearchPathA(nullptr, "SFX32GUI.DAT", nullptr, MAX_PATH, path, nullptr) ? "installed." : NOT_INSTALLED;
        break;
    }
    }
    if (version.size() <= line.tabLimit) version += '\t';
    return version;
}

void showVersionLine(HWND dialog, const ComponentVersions& versions) {
    char modulePath[MAX_PATH] = "";
    DWORD length = GetModuleFileNameA(moduleInstance, modulePath, sizeof modulePath);
    std::string version;
    if (length > 0 && length < sizeof modulePath) version = fileVersionText(versions, modulePath);
    std::string line = "Archive converter Version " + version;
    SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, line.c_str());
}

void showComponentLines(HWND dialog, const ComponentVersions& versions) {
    ConverterContext& ctx = *currentContext;
    for (const ComponentLine& line : COMPONENTS) {
        char lineTemplate[128] = "";
        GetDlgItemTextA(dialog, line.id, lineTemplate, sizeof lineTemplate);
        std::string text = fillComponentLine(lineTemplate, componentVersion(ctx, versions, line));
        SetDlgItemTextA(dialog, line.id, text.c_str());
    }
}

// The SendTo marker file carries the user documentation; Notepad opens it
// from the SendTo folder.
void openReadme(HWND dialog) {
    std::string sendTo = sendToFolder();
    if (sendTo.empty()) return;
    ShellExecuteA(dialog, "open", "notepad", SENDTO_MARKER_NAME, sendTo.c_str(), SW_SHOWNORMAL);
}

INT_PTR CALLBACK aboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        const ComponentVersions& versions = *reinterpret_cast<const ComponentVersions*>(lParam);
        showVersionLine(dialog, versions);
        showComponentLines(dialog, versions);
        return TRUE;
    }
    case WM_COMMAND:
        switch (wParam) {
        case IDC_ABOUT_README:
            openReadme(dialog);
            return TRUE;
        case IDOK:
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

}  // namespace

std::string versionNumberText(uint32_t version) {
    if (version == 0) return NOT_INSTALLED;
    char text[32];
    snprintf(text, sizeof text, "%4.2f", version * 0.01);
    return text;
}

std::string fillComponentLine(const std::string& lineTemplate, const std::string& version) {
    size_t at = lineTemplate.find("%s");
    if (at == std::string::npos) return lineTemplate;
    return lineTemplate.substr(0, at) + version + lineTemplate.substr(at + 2);
}

INT_PTR showAboutDialog(HWND owner, const ComponentVersions& versions) {
    initCommonControls();
    return DialogBoxParamA(moduleInstance, MAKEINTRESOURCEA(IDD_ABOUT), owner, aboutProc,
                           reinterpret_cast<LPARAM>(&versions));
}
