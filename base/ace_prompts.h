#pragma once
// What an ACE extraction shows the user. The extractor is given a table of
// functions and the state they work on; the dialogs behind the table know
// nothing of the extractor, and the extractor nothing of dialogs.
#include <windows.h>
#include <cstddef>
#include <cstdint>

// Answers of the prompts; they go back to unacev2.dll as callback answers.
const int ACE_CALLBACK_OK = 0;
const int ACE_CALLBACK_CANCEL = 2;

const size_t ACE_MESSAGE_BUFFER_SIZE = 512;

// The part of one extraction that its dialogs read and write.
struct AcePromptState {
    char password[256];        // typed in the password dialog
    int32_t cancelRequested;   // 1 after the progress dialog's cancel button
    HWND progressDialog;
    HWND progressBar;
};

struct AceDialogs {
    // Opens the progress dialog over parent; also stored in
    // state.progressDialog. Null when it cannot be created.
    HWND (*openProgress)(AcePromptState& state, HWND parent);
    // Shows the file and moves the bar. 0 = go on, 2 = cancel.
    int (*showProgress)(AcePromptState& state, const char* fileName, uint32_t totalBytes, uint32_t doneBytes);
    // Asks for the password of fileName into state.password.
    // 0 = entered, 2 = cancelled.
    int (*askPassword)(AcePromptState& state, const char* fileName);
    // Closes the progress dialog and reports a cancellation once.
    void (*closeProgress)(AcePromptState& state);
};

// Text the extraction's messages and its dialogs format what they show into.
extern char messageBuffer[ACE_MESSAGE_BUFFER_SIZE];

// Formats into messageBuffer, never past its end (a longer text is cut at a
// character boundary of code page 932).
const char* formatMessage(const char* format, const char* argument);
