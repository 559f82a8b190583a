// The progress and password dialogs of ACE extraction. The progress dialog is
// modeless and lives only while unacev2.dll reports progress: each report
// pumps one message, so the dialog repaints and sees its cancel button there.
#include "ui/ace_dialogs.h"

#include <commctrl.h>

#include "base/module.h"
#include "ui/dialogs.h"
#include "ui/resources/resource.h"

namespace {

// The prompt state one of these dialogs was opened for (its user data); null
// before WM_INITDIALOG.
AcePromptState* promptStateOf(HWND dialog) {
    return dialog ? reinterpret_cast<AcePromptState*>(GetWindowLongPtrA(dialog, DWLP_USER)) : nullptr;
}

// What the password dialog is opened with.
struct PasswordRequest {
    AcePromptState* state;
    const char* fileName;
};

// Handles at most one waiting message for `dialog`; 0 when one was handled
// and the extraction of `state` has been cancelled, else 1.
int pumpFor(HWND dialog, const AcePromptState* state) {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return 1;
    if (msg.message == WM_QUIT) {
        // Not ours to take: leave it for the thread's own message loop.
        PostQuitMessage(static_cast<int>(msg.wParam));
    } else if (!IsDialogMessageA(dialog, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return state && state->cancelRequested ? 0 : 1;
}

}  // namespace

HWND createProgressDialog(AcePromptState& state, HWND parent) {
    initCommonControls();
    state.progressDialog = CreateDialogParamA(moduleInstance, MAKEINTRESOURCEA(IDD_ACE_PROGRESS), parent,
                                              progressDialogProc, reinterpret_cast<LPARAM>(&state));
    if (state.progressDialog) {
        ShowWindow(state.progressDialog, SW_SHOW);
        UpdateWindow(state.progressDialog);
    }
    return state.progressDialog;
}

INT_PTR CALLBACK progressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        centerOverParent(dialog);
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(dialog);
        return TRUE;
    case WM_COMMAND:
        // The dialog stays open until the extraction call has returned.
        if (wParam == IDCANCEL) {
            AcePromptState* state = promptStateOf(dialog);
            if (state) state->cancelRequested = 1;
        }
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

int pumpMessage(HWND dialog) { return pumpFor(dialog, promptStateOf(dialog)); }

int updateProgress(AcePromptState& state, const char* fileName, uint32_t totalBytes, uint32_t doneBytes) {
    if (pumpFor(state.progressDialog, &state) == 0) return ACE_CALLBACK_CANCEL;
    formatMessage("Extracting : %s", fileName);
    if (state.progressDialog) SetDlgItemTextA(state.progressDialog, IDC_ACE_PROGRESS_TEXT, messageBuffer);
    if (!state.progressBar && state.progressDialog) {
        // The range comes from the first report of this dialog only.
        state.progressBar = GetDlgItem(state.progressDialog, IDC_ACE_PROGRESS_BAR);
        SendMessageA(state.progressBar, PBM_SETRANGE32, 0, static_cast<LPARAM>(totalBytes >> 10));
    }
    if (state.progressDialog)
        SendMessageA(state.progressBar, PBM_SETPOS, static_cast<WPARAM>(doneBytes >> 10), 0);
    return ACE_CALLBACK_OK;
}

void closeProgressDialog(AcePromptState& state) {
    if (state.progressDialog) {
        SendMessageA(state.progressDialog, WM_CLOSE, 0, 0);
        state.progressDialog = nullptr;
        state.progressBar = nullptr;
    }
    if (state.cancelRequested) {
        MessageBoxA(nullptr, "ユーザによって中断されました。", MESSAGE_CAPTION, MB_OK | MB_ICONERROR);
        state.cancelRequested = 0;
    }
}

int askPassword(AcePromptState& state, const char* fileName) {
    PasswordRequest request = {&state, fileName};
    INT_PTR ended = DialogBoxParamA(moduleInstance, MAKEINTRESOURCEA(IDD_ACE_PASSWORD), state.progressDialog,
                                    passwordDialogProc, reinterpret_cast<LPARAM>(&request));
    return ended == 0 ? ACE_CALLBACK_OK : ACE_CALLBACK_CANCEL;
}

INT_PTR CALLBACK passwordDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        // The prompt's resource text is the template: file name, then the request.
        const PasswordRequest* request = reinterpret_cast<const PasswordRequest*>(lParam);
        SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(request->state));
        char prompt[ACE_MESSAGE_BUFFER_SIZE];
        GetDlgItemTextA(dialog, IDC_ACE_PASSWORD_PROMPT, prompt, sizeof prompt);
        formatMessage(prompt, request->fileName);
        SetDlgItemTextA(dialog, IDC_ACE_PASSWORD_PROMPT, messageBuffer);
        return TRUE;
    }
    case WM_COMMAND:
        if (wParam == IDOK) {
            AcePromptState* state = promptStateOf(dialog);
            if (!state) return FALSE;
            char* password = state->password;
            // At most 255 characters and the terminating zero.
            GetDlgItemTextA(dialog, IDC_ACE_PASSWORD_EDIT, password, sizeof state->password);
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
