// The progress and password dialogs of ACE extraction. The progress dialog is
// modeless and lives only while unacev2.dll reports progress: each report
// pumps one message, so the dialog repaints and sees its cancel button there.
#include "ui/ace_dialogs.h"

#include <commctrl.h>

#include "archivers/ace.h"
#include "base/module.h"
#include "ui/dialogs.h"
#include "ui/resources/resource.h"


HWND createProgressDialog(AceExtractor& extractor, HWND parent) {
    initCommonControls();
    extractor.progressDialog = CreateDialogParamA(moduleInstance, MAKEINTRESOURCEA(IDD_ACE_PROGRESS),
                                                  parent, progressDialogProc, 0);
    if (extractor.progressDialog) {
        ShowWindow(extractor.progressDialog, SW_SHOW);
        UpdateWindow(extractor.progressDialog);
    }
    return extractor.progressDialog;
}

INT_PTR CALLBACK progressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        centerOverParent(dialog);
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(dialog);
        return TRUE;
    case WM_COMMAND:
        // The dialog stays open until the extraction call has returned.
        if (wParam == IDCANCEL && currentAceExtractor) currentAceExtractor->cancelRequested = 1;
        return FALSE;
    default:
        return FALSE;
    }
}

void centerOverParent(HWND window) {
    HWND parent = GetParent(window);
    if (!parent) return;
    RECT own, outer;
    GetWindowRect(window, &own);
    GetWindowRect(parent, &outer);
    int x = outer.left + (outer.right - outer.left) / 2 - (own.right - own.left) / 2;
    int y = outer.top + (outer.bottom - outer.top) / 2 - (own.bottom - own.top) / 2;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

int pumpMessage(HWND dialog) {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return 1;
    if (msg.message == WM_QUIT) {
        // Not ours to take: leave it for the thread's own message loop.
        PostQuitMessage(static_cast<int>(msg.wParam));
    } else if (!IsDialogMessageA(dialog, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return currentAceExtractor && currentAceExtractor->cancelRequested ? 0 : 1;
}

int updateProgress(AceExtractor& extractor, const char* fileName, uint32_t totalBytes, uint32_t doneBytes) {
    if (pumpMessage(extractor.progressDialog) == 0) return ACE_CALLBACK_CANCEL;
    formatMessage("Extracting : %s", fileName);
    if (extractor.progressDialog) SetDlgItemTextA(extractor.progressDialog, IDC_ACE_PROGRESS_TEXT, messageBuffer);
    if (!extractor.progressBar && extractor.progressDialog) {
        // The range comes from the first report of this dialog only.
        extractor.progressBar = GetDlgItem(extractor.progressDialog, IDC_ACE_PROGRESS_BAR);
        SendMessageA(extractor.progressBar, PBM_SETRANGE32, 0, static_cast<LPARAM>(totalBytes >> 10));
    }
    if (extractor.progressDialog)
        SendMessageA(extractor.progressBar, PBM_SETPOS, static_cast<WPARAM>(doneBytes >> 10), 0);
    return ACE_CALLBACK_OK;
}

void closeProgressDialog(AceExtractor& extractor) {
    if (extractor.progressDialog) {
        SendMessageA(extractor.progressDialog, WM_CLOSE, 0, 0);
        extractor.progressDialog = nullptr;
        extractor.progressBar = nullptr;
    }
    if (extractor.cancelRequested) {
        MessageBoxA(nullptr, "ユーザによって中断されました。", MESSAGE_CAPTION, MB_OK | MB_ICONERROR);
        extractor.cancelRequested = 0;
    }
}

int askPassword(AceExtractor& extractor, const char* fileName) {
    INT_PTR ended = DialogBoxParamA(moduleInstance, MAKEINTRESOURCEA(IDD_ACE_PASSWORD), extractor.progressDialog,
                                    passwordDialogProc, reinterpret_cast<LPARAM>(fileName));
    return ended == 0 ? ACE_CALLBACK_OK : ACE_CALLBACK_CANCEL;
}

INT_PTR CALLBACK passwordDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        // The prompt's resource text is the template: file name, then the request.
        char prompt[ACE_MESSAGE_BUFFER_SIZE];
        GetDlgItemTextA(dialog, IDC_ACE_PASSWORD_PROMPT, prompt, sizeof prompt);
        formatMessage(prompt, reinterpret_cast<const char*>(lParam));
        SetDlgItemTextA(dialog, IDC_ACE_PASSWORD_PROMPT, messageBuffer);
        return TRUE;
    }
    case WM_COMMAND:
        if (wParam == IDOK) {
            if (!currentAceExtractor) return FALSE;
            char* password = currentAceExtractor->password;
            // At most 255 characters and the terminating zero.
            GetDlgItemTextA(dialog, IDC_ACE_PASSWORD_EDIT, password, sizeof currentAceExtractor->password);
            if (password[0] != '\0') {
                EndDialog(dialog, 0);
                return TRUE;
            }
            MessageBoxA(dialog, "パスワードを入力してください。", MESSAGE_CAPTION, MB_OK | MB_ICONERROR);
            return FALSE;
        }
        if (wParam == IDCANCEL) {
            EndDialog(dialog, -1);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

const AceDialogs converterAceDialogs = {createProgressDialog, updateProgress, askPassword, closeProgressDialog};
