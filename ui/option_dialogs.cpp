// Per-format compression option dialogs: LZH (103), level (178), CAB (1058)
// and 7z (1082). Each starts from the settings in currentContext and, on OK,
// updates those settings and the registry at once.
#include "ui/option_dialogs.h"
#include "ui/dialogs.h"
#include "base/settings.h"
#include "ui/resources/resource.h"
#include "base/module.h"
#include <commctrl.h>

namespace {

INT_PTR showModal(HWND owner, int templateId, DLGPROC proc) {
    initCommonControls();
    return DialogBoxParamA(moduleInstance, MAKEINTRESOURCEA(templateId), owner, proc, 0);
}

// Cancel and the close box end every option dialog with -1 and store nothing.
bool cancelled(HWND dialog, WPARAM wParam) {
    if (wParam != IDCANCEL) return false;
    EndDialog(dialog, -1);
    return true;
}

// ---- LZH dialog 103 ----

const int LZH_METHODS[] = {IDC_LZH_LH0, IDC_LZH_LH5, IDC_LZH_LH6, IDC_LZH_LH7};
// 1020 is not a control of the dialog; scanning it finds nothing checked.
const int LZH_SFX_KINDS[] = {IDC_LZH_DOSSFX, IDC_LZH_WINSFX, IDC_LZH_WINSFXM, IDC_LZH_WINSFX32,
                             IDC_LZH_UNUSED, IDC_LZH_WINSFX32M};

template <size_t N>
int oneOf(int value, const int (&ids)[N], int fallback) {
    for (int id : ids)
        if (id == value && id != IDC_LZH_UNUSED) return value;
    return fallback;
}

INT_PTR CALLBACK lzhProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    ConverterContext& ctx = *currentContext;
    switch (message) {
    case WM_INITDIALOG:
        // A value that names none of the buttons shows (and so stores) the default.
        CheckDlgButton(dialog, oneOf(ctx.lhType, LZH_METHODS, 1013), BST_CHECKED);
        CheckDlgButton(dialog, oneOf(ctx.lhSfxMode, LZH_SFX_KINDS, 1019), BST_CHECKED);
        return TRUE;
    case WM_COMMAND:
        if (wParam == IDOK) {
            for (int id : LZH_METHODS) {
                if (isChecked(dialog, id)) {
                    ctx.lhType = id;
                    writeDword(OPTIONS_SUBKEY, "lh-type", id);
                    break;
                }
            }
            for (int id : LZH_SFX_KINDS) {
                if (isChecked(dialog, id)) {
                    ctx.lhSfxMode = id;
                    writeDword(OPTIONS_SUBKEY, "lhSFX-Mode", id);
                    break;
                }
            }
            EndDialog(dialog, 0);
            return TRUE;
        }
        if (cancelled(dialog, wParam)) return TRUE;
        break;
    }
    return FALSE;
}

// ---- level dialog 178 ----

struct LevelFamily {
    const char* caption;
    int maximum;        // slider runs 0..maximum
    int offset;         // setting = position + offset
    const char* lowLabel;
    bool notice;        // the 7-zip32.dll notice applies
    int32_t ConverterContext::*setting;
    const char* valueName;
};

bool levelFamily(ArchiveFormat target, LevelFamily& family) {
    switch (target) {
    case FMT_ZIP:
        family = {"ZIP圧縮レベルの指定", 9, 0, "0", true, &ConverterContext::zipLevel, "Zip-Level"};
        return true;
    case FMT_TARGZ:
        family = {"GZIP圧縮レベルの指定", 8, 1, "1", false, &ConverterContext::tarLevel, "Tar-Level"};
        return true;
    case FMT_TARBZ2:
        family = {"BZIP2圧縮レベルの指定", 8, 1, "1", false, &ConverterContext::tarLevel, "Tar-Level"};
        return true;
    case FMT_BZA:
    case FMT_GZA:
        family = {"BGA 圧縮レベルの指定", 8, 1, "1", false, &ConverterContext::bgaLevel, "Bga-Level"};
        return true;
    default:
        return false;
    }
}

void setSliderRange(HWND slider, int minimum, int maximum, int position) {
    SendMessageA(slider, TBM_SETRANGE, TRUE, MAKELPARAM(minimum, maximum));
    for (int tick = minimum; tick <= maximum; ++tick) SendMessageA(slider, TBM_SETTIC, 0, tick);
    SendMessageA(slider, TBM_SETPOS, TRUE, position);
}

int sliderPosition(HWND dialog) {
    return static_cast<int>(SendDlgItemMessageA(dialog, IDC_LEVEL_SLIDER, TBM_GETPOS, 0, 0));
}

INT_PTR CALLBACK levelProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    ConverterContext& ctx = *currentContext;
    LevelFamily family;
    bool known = levelFamily(ctx.formats, family);
    switch (message) {
    case WM_INITDIALOG: {
        if (!known) return TRUE;   // opened for a format without levels: template as it is
        SetWindowTextA(dialog, family.caption);
        HWND slider = GetDlgItem(dialog, IDC_LEVEL_SLIDER);
        setSliderRange(slider, 0, family.maximum, ctx.*family.setting - family.offset);
        SetDlgItemTextA(dialog, IDC_LEVEL_LOW, family.lowLabel);
        if (family.notice) EnableWindow(GetDlgItem(dialog, IDC_LEVEL_7ZIP_NOTICE), TRUE);
        SetFocus(slider);
        return TRUE;
    }
    case WM_COMMAND:
        if (wParam == IDOK) {
            if (known) {
                ctx.*family.setting = sliderPosition(dialog) + family.offset;
                writeDword(OPTIONS_SUBKEY, family.valueName, ctx.*family.setting);
            }
            EndDialog(dialog, 0);
            return TRUE;
        }
        if (cancelled(dialog, wParam)) return TRUE;
        break;
    }
    return FALSE;
}

// ---- CAB dialog 1058 ----

void enableCabLevel(HWND dialog, bool on) {
    const int ids[] = {IDC_CAB_SPEED, IDC_CAB_RATIO, IDC_CAB_LOW, IDC_CAB_HIGH, IDC_LEVEL_SLIDER};
    for (int id : ids) EnableWindow(GetDlgItem(dialog, id), on);
}

INT_PTR CALLBACK cabProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    ConverterContext& ctx = *currentContext;
    switch (message) {
    case WM_INITDIALOG:
        setSliderRange(GetDlgItem(dialog, IDC_LEVEL_SLIDER), 15, 21, ctx.cabLevel);
        CheckDlgButton(dialog, ctx.cabMode == 0 ? IDC_CAB_MSZIP : IDC_CAB_LZX, BST_CHECKED);
        enableCabLevel(dialog, ctx.cabMode != 0);
        return TRUE;
    case WM_COMMAND:
        switch (wParam) {
        // The method changes the run's setting at once; Cancel keeps it.
        case IDC_CAB_MSZIP:
            ctx.cabMode = 0;
            enableCabLevel(dialog, false);
            return TRUE;
        case IDC_CAB_LZX:
            ctx.cabMode = 1;
            enableCabLevel(dialog, true);
            return TRUE;
        case IDOK:
            ctx.cabLevel = sliderPosition(dialog);
            writeDword(OPTIONS_SUBKEY, "Cab-Level", ctx.cabLevel);
            writeDword(OPTIONS_SUBKEY, "Cab-Mode", ctx.cabMode);
            EndDialog(dialog, 0);
            return TRUE;
        }
        if (cancelled(dialog, wParam)) return TRUE;
        break;
    }
    return FALSE;
}

// ---- 7z dialog 1082 ----

const char* const SEVEN_ZIP_LEVELS[] = {"無圧縮", "標準", "最高圧縮率"};

INT_PTR CALLBACK sevenZipProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    ConverterContext& ctx = *currentContext;
    switch (message) {
    case WM_INITDIALOG: {
        for (const char* level : SEVEN_ZIP_LEVELS)
            SendDlgItemMessageA(dialog, IDC_7Z_LEVEL, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(level));
        // An index outside the list shows (and so stores) the normal level.
        uint32_t level = ctx.sevenZipOptions & 0xFFFF;
        if (level >= sizeof SEVEN_ZIP_LEVELS / sizeof SEVEN_ZIP_LEVELS[0]) level = 1;
        SendDlgItemMessageA(dialog, IDC_7Z_LEVEL, CB_SETCURSEL, level, 0);
        if (ctx.sevenZipOptions & 0x10000) CheckDlgButton(dialog, IDC_7Z_HEADER, BST_CHECKED);
        if (ctx.sevenZipOptions & 0x20000) CheckDlgButton(dialog, IDC_7Z_SOLID, BST_CHECKED);
        int sfxKind = readOption("7Zip-SfxMode");
        CheckRadioButton(dialog, IDC_7Z_SFX_CONSOLE, IDC_7Z_SFX_UPX, IDC_7Z_SFX_CONSOLE + sfxKind - 1);
        return TRUE;
    }
    case WM_COMMAND:
        if (wParam == IDOK) {
            LRESULT level = SendDlgItemMessageA(dialog, IDC_7Z_LEVEL, CB_GETCURSEL, 0, 0);
            if (level < 0) level = 1;   // the list always has a selection; never store CB_ERR
            ctx.sevenZipOptions = static_cast<uint32_t>(level);
            writeDword(OPTIONS_SUBKEY, "7Zip-Level", static_cast<int32_t>(level));
            bool header = isChecked(dialog, IDC_7Z_HEADER);
            if (header) ctx.sevenZipOptions |= 0x10000;
            writeDword(OPTIONS_SUBKEY, "7Zip-HeadComp", header ? 1 : 0);
            bool solid = isChecked(dialog, IDC_7Z_SOLID);
            if (solid) ctx.sevenZipOptions |= 0x20000;
            writeDword(OPTIONS_SUBKEY, "7Zip-SolidMode", solid ? 1 : 0);
            int sfxKind = 2;
            if (isChecked(dialog, IDC_7Z_SFX_CONSOLE)) sfxKind = 1;
            else if (isChecked(dialog, IDC_7Z_SFX_WINDOWS)) sfxKind = 2;
            else if (isChecked(dialog, IDC_7Z_SFX_UPX)) sfxKind = 3;
            writeDword(OPTIONS_SUBKEY, "7Zip-SfxMode", sfxKind);
            EndDialog(dialog, 0);
            return TRUE;
        }
        if (cancelled(dialog, wParam)) return TRUE;
        break;
    }
    return FALSE;
}

}  // namespace

INT_PTR showLzhOptions(HWND owner) { return showModal(owner, IDD_LZH_OPTIONS, lzhProc); }
INT_PTR showLevelOptions(HWND owner) { return showModal(owner, IDD_LEVEL_OPTIONS, levelProc); }
INT_PTR showCabOptions(HWND owner) { return showModal(owner, IDD_CAB_OPTIONS, cabProc); }
INT_PTR show7zOptions(HWND owner) { return showModal(owner, IDD_7Z_OPTIONS, sevenZipProc); }

bool showOptionDialogFor(HWND owner, ArchiveFormat target) {
    switch (target) {
    case FMT_LZH:
        showLzhOptions(owner);
        return true;
    case FMT_ZIP:
    case FMT_TARGZ:
    case FMT_TARBZ2:
    case FMT_BZA:
    case FMT_GZA:
        showLevelOptions(owner);
        return true;
    case FMT_CAB:
        showCabOptions(owner);
        return true;
    case FMT_7Z:
        show7zOptions(owner);
        return true;
    default:
        return false;
    }
}
