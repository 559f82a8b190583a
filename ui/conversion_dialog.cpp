// Conversion dialog 102: destination (typed, from the history, browsed, or the
// source archive's folder), target format, self-extraction and run options.
// It works on currentContext and stores the choices on OK.
#include "ui/conversion_dialog.h"
#include "ui/dialogs.h"
#include "ui/about_dialog.h"
#include "ui/option_dialogs.h"
#include "base/settings.h"
#include "ui/resources/resource.h"
#include "base/converter_context.h"
#include "base/module.h"
#include "base/wide_text.h"
#include <shlobj.h>
#include <cstring>
#include <string>
#include <vector>

namespace {


struct FormatButton {
    ArchiveFormat format;
    int id;
};

const FormatButton FORMAT_BUTTONS[] = {
    {FMT_LZH, IDC_CONV_LZH},   {FMT_ZIP, IDC_CONV_ZIP}, {FMT_CAB, IDC_CONV_CAB}, {FMT_TAR, IDC_CONV_TAR},
    {FMT_TARGZ, IDC_CONV_TARGZ}, {FMT_TARBZ2, IDC_CONV_TARBZ2}, {FMT_BZA, IDC_CONV_BZA}, {FMT_GZA, IDC_CONV_GZA},
    {FMT_GCA, IDC_CONV_GCA},   {FMT_YZ1, IDC_CONV_YZ1}, {FMT_7Z, IDC_CONV_7Z},
};

// Whether a DLL of the capability mask writes `format` now: TAR-GZ comes
// with TAR, BZA and GZA with bga32.dll; GCA is only ever read.
bool writableTarget(ArchiveFormat format, uint32_t mask) {
    switch (format) {
    case FMT_TARGZ: return (mask & FMT_TAR) != 0;
    case FMT_BZA:
    case FMT_GZA: return (mask & (FMT_BZA | FMT_GZA)) != 0;
    case FMT_LZH: case FMT_ZIP: case FMT_CAB: case FMT_TAR: case FMT_TARBZ2: case FMT_YZ1: case FMT_7Z:
        return (mask & format) != 0;
    default: return false;
    }
}

// A remembered target that nothing installed can write would fail only at
// the first archive: the first target that can be written is taken instead.
ArchiveFormat availableTarget(ArchiveFormat remembered, uint32_t mask) {
    if (writableTarget(remembered, mask)) return remembered;
    for (const FormatButton& button : FORMAT_BUTTONS)
        if (writableTarget(button.format, mask)) return button.format;
    return remembered;
}

// Targets for which a self-extracting archive can be made.
bool offersSfx(ArchiveFormat format) {
    return (format & (FMT_LZH | FMT_ZIP | FMT_CAB | FMT_BZA | FMT_GZA | FMT_YZ1 | FMT_7Z)) != 0 &&
           (format & (format - 1)) == 0;
}

void enable(HWND dialog, int id, bool on) {
    EnableWindow(GetDlgItem(dialog, id), on ? TRUE : FALSE);
}

bool sfx32guiInstalled() {
    char path[MAX_PATH];
    return SearchPathA(nullptr, "sfx32gui.dat", nullptr, MAX_PATH, path, nullptr) != 0;
}

std::wstring wideWindowText(HWND window) {
    int length = GetWindowTextLengthW(window);
    if (length <= 0) return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int got = GetWindowTextW(window, &text[0], length + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

std::vector<std::wstring> comboEntries(HWND combo) {
    std::vector<std::wstring> entries;
    LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, i, 0);
        if (length < 0) continue;
        std::wstring entry(static_cast<size_t>(length) + 1, L'\0');
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&entry[0]));
        entry.resize(wcslen(entry.c_str()));
        entries.push_back(entry);
    }
    return entries;
}

// Whether a destination, with the backslash it gets, fits the context's
// MAX_PATH field and the 260-byte ANSI measure of the paths handed on to
// the archiver DLLs (the same rule for every script).
bool destinationFits(const std::wstring& folder) {
    size_t backslash = folder.back() == L'\\' ? 0 : 1;
    return folder.size() + backslash + 1 <= MAX_PATH && ansiByteLength(folder) + backslash + 1 <= MAX_PATH;
}

// The dialog's state around its OK steps (one conversion dialog per process
// at a time). While the steps run -- the folder question and its error box
// are modal loops -- the dialog is disabled, a second OK is ignored and a
// Cancel that still reaches it is remembered: the dialog then ends as
// cancelled and nothing is stored or converted.
struct DialogState {
    bool created = false;
    bool okRunning = false;
    bool cancelRequested = false;
    const ComponentVersions* versions = nullptr;   // what the About box shows
};
DialogState dialogState;

void initDialog(HWND dialog) {
    dialogState.created = true;
    dialogState.okRunning = false;
    dialogState.cancelRequested = false;
    ConverterContext& ctx = *currentContext;
    ctx.ownerWindow = GetParent(dialog);

    HWND combo = GetDlgItem(dialog, IDC_CONV_DEST);
    std::vector<std::wstring> history = loadFolderHistory();
    for (const std::wstring& entry : history)
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));

    if (ctx.fCurrent != 0 || history.empty()) {
        SetWindowTextW(combo, ctx.sourceFolder);
        if (ctx.fCurrent == -1) {
            // Searched folders have no single source folder.
            ctx.fCurrent = 0;
            enable(dialog, IDC_CONV_SAME_PLACE, false);
        } else if (ctx.fCurrent == 1) {
            CheckDlgButton(dialog, IDC_CONV_SAME_PLACE, BST_CHECKED);
        }
    } else {
        SendMessageW(combo, CB_SETCURSEL, 0, 0);
    }

    if (ctx.fAfterDel) CheckDlgButton(dialog, IDC_CONV_AFTER_DEL, BST_CHECKED);
    if (ctx.notConvSfx) CheckDlgButton(dialog, IDC_CONV_SKIP_SFX, BST_CHECKED);

    // A ZIP direction that only 7-zip32.dll serves goes through it whatever
    // the box says: the box shows that, ticked and disabled.
    if (!(ctx.formats & FMT_7Z)) enable(dialog, IDC_CONV_USE_7ZIP, false);
    else if (ctx.fUse7ZipLib || ctx.sevenZipOnly) CheckDlgButton(dialog, IDC_CONV_USE_7ZIP, BST_CHECKED);
    if ((ctx.formats & FMT_7Z) && ctx.sevenZipOnly) enable(dialog, IDC_CONV_USE_7ZIP, false);

    ArchiveFormat preselected = FMT_LZH;
    if (ctx.saveConvertType) {
        CheckDlgButton(dialog, IDC_CONV_SAVE_TYPE, BST_CHECKED);
        preselected = availableTarget(static_cast<ArchiveFormat>(readOption("ConvertType")), ctx.formats);
    }

    if (ctx.askSameConvert) CheckDlgButton(dialog, IDC_CONV_NO_SAME_ASK, BST_CHECKED);
    if (ctx.sameTime) CheckDlgButton(dialog, IDC_CONV_SAME_TIME, BST_CHECKED);
    if (ctx.sort) CheckDlgButton(dialog, IDC_CONV_SORT, BST_CHECKED);

    uint32_t mask = ctx.formats;
    if (mask & FMT_7Z) {
        enable(dialog, IDC_CONV_7Z, true);
        if (preselected == FMT_7Z) enable(dialog, IDC_CONV_SORT, false);
    }
    if (mask & FMT_YZ1) {
        enable(dialog, IDC_CONV_YZ1, true);
        if (preselected == FMT_YZ1) enable(dialog, IDC_CONV_SORT, false);
    }
    if (mask & FMT_GCA) enable(dialog, IDC_CONV_GCA, true);
    if (mask & (FMT_BZA | FMT_GZA)) {
        enable(dialog, IDC_CONV_BZA, true);
        enable(dialog, IDC_CONV_GZA, true);
    }
    if (mask & FMT_TARBZ2) enable(dialog, IDC_CONV_TARBZ2, true);
    if (mask & FMT_TAR) {
        enable(dialog, IDC_CONV_TAR, true);
        enable(dialog, IDC_CONV_TARGZ, true);
    }
    if (mask & FMT_ZIP) enable(dialog, IDC_CONV_ZIP, true);
    if (mask & FMT_CAB) enable(dialog, IDC_CONV_CAB, true);
    if (mask & FMT_LZH) enable(dialog, IDC_CONV_LZH, true);

    // Without any writable target LZH stays preselected, with no button checked.
    for (const FormatButton& button : FORMAT_BUTTONS) {
        if (button.format == preselected && IsWindowEnabled(GetDlgItem(dialog, button.id)))
            CheckDlgButton(dialog, button.id, BST_CHECKED);
    }
    ctx.formats = preselected;
    if (offersSfx(preselected)) enable(dialog, IDC_CONV_SFX, true);

    if (ctx.ownerWindow) {
        RECT owner, self;
        GetWindowRect(ctx.ownerWindow, &owner);
        GetWindowRect(dialog, &self);
        int x = owner.left + (owner.right - owner.left) / 2 - (self.right - self.left) / 2;
        int y = owner.top + (owner.bottom - owner.top) / 2 - (self.bottom - self.top) / 2;
        SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
    }
}

void chooseFormat(HWND dialog, ArchiveFormat format) {
    ConverterContext& ctx = *currentContext;
    ctx.formats = format;
    bool sfx = offersSfx(format);
    bool sort = true;
    switch (format) {
    case FMT_ZIP:
        // The ZIP self-extractor needs sfx32gui.dat; 7-zip32.dll packs unsorted.
        sfx = sfx32guiInstalled();
        sort = !isChecked(dialog, IDC_CONV_USE_7ZIP);
        break;
    case FMT_GCA:
    case FMT_YZ1:
    case FMT_7Z:
        sort = false;
        break;
    default:
        break;
    }
    enable(dialog, IDC_CONV_SFX, sfx);
    enable(dialog, IDC_CONV_SORT, sort);
}

void showError(HWND owner, const char* text) {
    MessageBoxA(owner, text, MESSAGE_CAPTION, MB_OK | MB_ICONERROR);
}

void browse(HWND dialog) {
    HWND combo = GetDlgItem(dialog, IDC_CONV_DEST);
    // A text too long for the destination is not a folder the browser could
    // open at; it starts at its default.
    std::wstring typed = wideWindowText(combo);
    if (typed.size() >= MAX_PATH) typed.clear();
    std::wstring picked;
    // The folder goes into the box as the shell names it; OK checks it.
    if (browseForFolder(dialog, "フォルダを選択してください。", picked, typed)) SetWindowTextW(combo, picked.c_str());
}

// OK: returns true when the dialog may end.
bool accept(HWND dialog) {
    ConverterContext& ctx = *currentContext;
    HWND combo = GetDlgItem(dialog, IDC_CONV_DEST);
    std::wstring typed = wideWindowText(combo);
    if (typed.empty()) {
        showError(dialog, "変換先のフォルダを指定してください。");
        return false;
    }
    // A destination too long for its field is refused rather than cut.
    if (!destinationFits(typed)) {
        showError(dialog, "変換先のフォルダ名が長すぎます。");
        return false;
    }
    if (!confirmAndCreateFolder(typed, dialog) || dialogState.cancelRequested) return false;
    std::wstring destination = typed;
    if (destination.back() != L'\\') destination += L'\\';
    memcpy(ctx.destFolder, destination.c_str(), (destination.size() + 1) * sizeof(wchar_t));

    std::vector<std::wstring> history = comboEntries(combo);
    saveFolderHistory(history, typed);

    if (!offersSfx(ctx.formats)) ctx.sfxMode = 0;
    if (ctx.sfxMode != 0 && ctx.formats == FMT_7Z) ctx.sfxMode = readOption("7Zip-SfxMode");

    writeDword(OPTIONS_SUBKEY, "fCurrent", ctx.fCurrent);
    writeDword(OPTIONS_SUBKEY, "fAfterDel", ctx.fAfterDel);
    writeDword(OPTIONS_SUBKEY, "SaveConvertType", ctx.saveConvertType);
    writeDword(OPTIONS_SUBKEY, "ConvertType", static_cast<int32_t>(ctx.formats));
    writeDword(OPTIONS_SUBKEY, "AskSameConvert", ctx.askSameConvert);

    ctx.sameTime = isChecked(dialog, IDC_CONV_SAME_TIME) ? 1 : 0;
    writeDword(OPTIONS_SUBKEY, "SameTime", ctx.sameTime);

    // fUse7ZipLib is still as it was when the dialog opened: a ZIP made by
    // 7-zip32.dll is not packed from a sorted list, whatever the box says.
    if (!IsWindowEnabled(GetDlgItem(dialog, IDC_CONV_SORT)) || (ctx.fUse7ZipLib != 0 && ctx.formats == FMT_ZIP)) {
        ctx.sort = 0;
    } else {
        ctx.sort = isChecked(dialog, IDC_CONV_SORT) ? 1 : 0;
        writeDword(OPTIONS_SUBKEY, "Sort", ctx.sort);
    }

    // The stored choice is the user's own: a box held ticked because nothing
    // else serves ZIP keeps it as it was.
    if (ctx.sevenZipOnly) {
        ctx.fUse7ZipLib |= ctx.sevenZipOnly;
    } else {
        if (isChecked(dialog, IDC_CONV_USE_7ZIP)) ctx.fUse7ZipLib |= 3;
        else ctx.fUse7ZipLib = 0;
        writeDword(OPTIONS_SUBKEY, "fUse7ZipLib", ctx.fUse7ZipLib ? 1 : 0);
    }

    ctx.notConvSfx = isChecked(dialog, IDC_CONV_SKIP_SFX) ? 1 : 0;
    writeDword(OPTIONS_SUBKEY, "NotConvSfx", ctx.notConvSfx);
    return true;
}

// OK: the steps run with the dialog disabled; it ends confirmed only when
// they succeed and no Cancel arrived meanwhile.
void confirm(HWND dialog) {
    dialogState.okRunning = true;
    EnableWindow(dialog, FALSE);
    bool accepted = accept(dialog);
    EnableWindow(dialog, TRUE);
    dialogState.okRunning = false;
    if (dialogState.cancelRequested) {
        EndDialog(dialog, -1);
        return;
    }
    if (accepted) EndDialog(dialog, 0);
    else SetFocus(GetDlgItem(dialog, IDC_CONV_DEST));
}

INT_PTR command(HWND dialog, WPARAM wParam) {
    ConverterContext& ctx = *currentContext;
    if (dialogState.okRunning) {
        // Messages that reach the dialog while its OK steps wait for an answer.
        if (LOWORD(wParam) == IDCANCEL) dialogState.cancelRequested = true;
        return TRUE;
    }
    for (const FormatButton& button : FORMAT_BUTTONS) {
        if (wParam == static_cast<WPARAM>(button.id)) {
            chooseFormat(dialog, button.format);
            return TRUE;
        }
    }
    switch (wParam) {
    case IDC_CONV_SFX:
        ctx.sfxMode = !ctx.sfxMode;
        return TRUE;
    case IDC_CONV_SAME_PLACE:
        ctx.fCurrent = !ctx.fCurrent;
        if (ctx.fCurrent == 1) SetDlgItemTextW(dialog, IDC_CONV_DEST, ctx.sourceFolder);
        return TRUE;
    case IDC_CONV_AFTER_DEL:
        ctx.fAfterDel = !ctx.fAfterDel;
        return FALSE;
    case IDC_CONV_SAVE_TYPE:
        ctx.saveConvertType = !ctx.saveConvertType;
        return FALSE;
    case IDC_CONV_NO_SAME_ASK:
        ctx.askSameConvert = !ctx.askSameConvert;
        return FALSE;
    case IDC_CONV_USE_7ZIP:
        if (isChecked(dialog, IDC_CONV_ZIP)) enable(dialog, IDC_CONV_SORT, !isChecked(dialog, IDC_CONV_USE_7ZIP));
        return FALSE;
    case IDC_CONV_SETTINGS:
        if (ctx.formats == FMT_TAR) {
            MessageBoxA(dialog, "TARファイルは無圧縮でアーカイブします。", "Veltrox", MB_OK | MB_ICONWARNING);
            return TRUE;
        }
        return showOptionDialogFor(dialog, ctx.formats) ? TRUE : FALSE;
    case IDC_CONV_BROWSE:
        browse(dialog);
        return TRUE;
    case IDC_CONV_ABOUT:
        showAboutDialog(dialog, *dialogState.versions);
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, -1);
        return TRUE;
    case IDOK:
        confirm(dialog);
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK conversionProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        initDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        return command(dialog, wParam);
    case WM_MOVE:
        // Let the window under the moved dialog repaint at once.
        if (currentContext->ownerWindow) UpdateWindow(currentContext->ownerWindow);
        return TRUE;
    case WM_DROPFILES:
        MessageBoxA(dialog, "WM_DROPFILES", nullptr, MB_OK);
        DragFinish(reinterpret_cast<HDROP>(wParam));
        return TRUE;
    }
    return FALSE;
}

int CALLBACK browseCallback(HWND window, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED) SendMessageW(window, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

}  // namespace

INT_PTR showConversionDialog(HWND owner, const ComponentVersions& versions) {
    initCommonControls();
    // The owner is the window that was in front at the drop; it may have
    // closed since. A dialog that cannot be created with it is tried once
    // more without owner, and one that cannot be created at all is reported:
    // its -1 would otherwise read as Cancel and the drop end in silence.
    if (owner && !IsWindow(owner)) owner = nullptr;
    for (;;) {
        dialogState = DialogState();
        dialogState.versions = &versions;
        INT_PTR result = DialogBoxParamW(moduleInstance, MAKEINTRESOURCEW(IDD_CONVERT), owner, conversionProc, 0);
        if (dialogState.created) return result;
        if (!owner) break;
        owner = nullptr;
    }
    MessageBoxA(nullptr, "Veltrox の変換処理を開始できません。", MESSAGE_CAPTION, MB_OK | MB_ICONERROR);
    return -1;
}

bool browseForFolder(HWND owner, const char* title, std::wstring& result, const std::wstring& initialFolder) {
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)) || !allocator) return false;
    wchar_t* displayName = static_cast<wchar_t*>(allocator->Alloc(MAX_PATH * sizeof(wchar_t)));
    if (!displayName) {
        allocator->Release();
        return false;
    }
    wchar_t wideTitle[256] = L"";
    if (title && MultiByteToWideChar(CP_ACP, 0, title, -1, wideTitle, 256) == 0) wideTitle[0] = L'\0';

    BROWSEINFOW info;
    memset(&info, 0, sizeof info);
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = wideTitle;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = browseCallback;
    info.lParam = reinterpret_cast<LPARAM>(initialFolder.c_str());

    bool picked = false;
    LPITEMIDLIST item = SHBrowseForFolderW(&info);
    if (item) {
        wchar_t path[MAX_PATH] = L"";
        if (SHGetPathFromIDListW(item, path)) {
            result = path;
            picked = true;
        }
        allocator->Free(item);
    }
    allocator->Free(displayName);
    allocator->Release();
    return picked;
}

bool confirmAndCreateFolder(const std::wstring& path, HWND owner) {
    std::wstring text = path;

    // Position of the first separator after the root.
    size_t separator;
    if (text.size() >= 3 && text[1] == L':' && text[2] == L'\\') {
        separator = 2;
    } else if (text.size() >= 8 && text[0] == L'\\' && text[1] == L'\\') {
        size_t afterServer = text.find(L'\\', 2);
        if (afterServer == std::wstring::npos) return false;
        separator = text.find(L'\\', afterServer + 1);
        if (separator == std::wstring::npos) return false;
    } else {
        return false;
    }
    if (text.back() != L'\\') text += L'\\';

    std::wstring prefix;
    size_t start = 0;
    while (separator != std::wstring::npos) {
        prefix += text.substr(start, separator - start);
        prefix += L'\\';
        if (GetFileAttributesW(prefix.c_str()) == INVALID_FILE_ATTRIBUTES) {
            if (MessageBoxA(owner, "指定した変換先フォルダは存在しません。\nフォルダを作成しますか？", MESSAGE_CAPTION,
                            MB_YESNO | MB_ICONQUESTION) != IDYES)
                return false;
            if (!CreateDirectoryW(prefix.c_str(), nullptr)) {
                MessageBoxA(owner, "フォルダを作成できません。", MESSAGE_CAPTION, MB_OK | MB_ICONERROR);
                return false;
            }
        }
        start = separator + 1;
        separator = text.find(L'\\', start);
    }
    return true;
}
