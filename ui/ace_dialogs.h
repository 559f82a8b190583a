#pragma once
// The progress dialog (1061) and the password dialog (214) of ACE extraction.
// Both work on the current extractor (currentAceExtractor).
#include <windows.h>
#include <cstdint>

class AceExtractor;

// Opens the modeless progress dialog over parent; the handle is also stored
// in extractor.progressDialog. Null when the dialog cannot be created.
HWND createProgressDialog(AceExtractor& extractor, HWND parent);
// Handles at most one waiting message. 1 = go on, 0 = the user cancelled.
int pumpMessage(HWND dialog);
// Shows the file and moves the bar. 0 = go on, 2 = cancel.
int updateProgress(AceExtractor& extractor, const char* fileName, uint32_t totalBytes, uint32_t doneBytes);
// Asks for the password of fileName into extractor.password.
// 0 = entered, 2 = cancelled.
int askPassword(AceExtractor& extractor, const char* fileName);
// Closes the progress dialog and reports a cancellation once.
void closeProgressDialog(AceExtractor& extractor);
INT_PTR CALLBACK progressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK passwordDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Centres window over its parent (no parent: stays where it is).
void centerOverParent(HWND window);
