#pragma once
// Dialogs of the converter; each reaches the context through currentContext.
#include <windows.h>

// Conversion dialog 102: 0 = confirmed (context filled and stored), -1 = cancelled.
INT_PTR showConversionDialog(HWND owner);

// Folder question 104 when folders were dropped: 1 folder only,
// 2 with subfolders, -1 skip folders.
INT_PTR askFolderSearch(HWND owner);

// Caption of the converter's message boxes.
inline constexpr char MESSAGE_CAPTION[] = "Veltrox.dll";

// Whether a check box or radio button of the dialog is checked.
inline bool isChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

// Registers the trackbar and progress bar classes; safe to call repeatedly.
void initCommonControls();
