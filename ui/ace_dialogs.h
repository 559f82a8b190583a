#pragma once
// The progress dialog (1061) and the password dialog (214) of ACE extraction.
// Both work on the prompt state they are given; each dialog keeps it as its
// user data.
#include <windows.h>
#include <cstdint>
#include "base/ace_prompts.h"

// The converter's ACE dialogs, for the extraction to be given.
extern const AceDialogs converterAceDialogs;

// Opens the modeless progress dialog over parent; the handle is also stored
// in state.progressDialog. Null when the dialog cannot be created.
HWND createProgressDialog(AcePromptState& state, HWND parent);
// Handles at most one waiting message. 1 = go on, 0 = the user cancelled
// (the cancel button of the progress dialog `dialog`).
int pumpMessage(HWND dialog);
// Shows the file and moves the bar. 0 = go on, 2 = cancel.
int updateProgress(AcePromptState& state, const char* fileName, uint32_t totalBytes, uint32_t doneBytes);
// Asks for the password of fileName into state.password.
// 0 = entered, 2 = cancelled.
int askPassword(AcePromptState& state, const char* fileName);
// Closes the progress dialog and reports a cancellation once.
void closeProgressDialog(AcePromptState& state);
INT_PTR CALLBACK progressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK passwordDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Centres window over its parent (no parent: stays where it is).
void centerOverParent(HWND window);
