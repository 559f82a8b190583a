// Folder question (dialog 104): search dropped folders, with or without
// their subfolders, or skip them.
#include "ui/dialogs.h"

#include "base/module.h"
#include "ui/resources/resource.h"

namespace {

INT_PTR CALLBACK folderQuestionProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDYES:
            EndDialog(dialog, IsDlgButtonChecked(dialog, IDC_FOLDER_SUBFOLDERS) == BST_CHECKED ? 2 : 1);
            return TRUE;
        case IDNO:
            EndDialog(dialog, -1);
            return TRUE;
        default:
            // Esc and the close box arrive as IDCANCEL: the user must answer.
            return TRUE;
        }
    }
    return FALSE;
}

}  // namespace

INT_PTR askFolderSearch(HWND owner) {
    INT_PTR result = DialogBoxParamA(moduleInstance, MAKEINTRESOURCEA(IDD_FOLDER_QUESTION), owner,
                                     folderQuestionProc, 0);
    // A dialog that could not be shown counts as "skip the folders".
    return result == 1 || result == 2 ? result : -1;
}
