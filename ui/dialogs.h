#pragma once
// Dialogs of the converter; each reaches the context through currentContext.
#include <windows.h>
#include "base/component_versions.h"
#include "base/module.h"

// Conversion dialog 102: 0 = confirmed (context filled and stored), -1 = cancelled.
// Its About box shows the component versions of `versions`.
INT_PTR showConversionDialog(HWND owner, const ComponentVersions& versions);

// Folder question 104 when folders were dropped: 1 folder only,
// 2 with subfolders, -1 skip folders.
INT_PTR askFolderSearch(HWND owner);

// Whether a check box or radio button of the dialog is checked.
inline bool isChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

// Registers the trackbar and progress bar classes; safe to call repeatedly.
void initCommonControls();
