#pragma once
#include "base/converter_context.h"
#include "archivers/ace_interface.h"

// Extracts an ACE archive into workFolder through unacev2.dll's callback
// interface (ctx.hUnacev2 is loaded). True on success.
bool extractAce(ConverterContext& ctx, const char* archivePath, const char* workFolder);

class AceExtractor;

// What an ACE extraction shows the user: the extractor is given one and
// knows nothing else of dialogs.
struct AceDialogs {
    // Opens the progress dialog over parent; also stored in
    // extractor.progressDialog. Null when it cannot be created.
    HWND (*openProgress)(AceExtractor& extractor, HWND parent);
    // Shows the file and moves the bar. 0 = go on, 2 = cancel.
    int (*showProgress)(AceExtractor& extractor, const char* fileName, uint32_t totalBytes, uint32_t doneBytes);
    // Asks for the password of fileName into extractor.password.
    // 0 = entered, 2 = cancelled.
    int (*askPassword)(AceExtractor& extractor, const char* fileName);
    // Closes the progress dialog and reports a cancellation once.
    void (*closeProgress)(AceExtractor& extractor);
};

// The converter's own ACE dialogs (ui/ace_dialogs).
extern const AceDialogs converterAceDialogs;

// Drives one ACE extraction: initialisation, header check, extraction with
// the progress and password dialogs. One extractor per archive, kept as a
// local object; the callbacks reach it through currentAceExtractor.
class AceExtractor {
public:
    HMODULE hUnacev2;          // not owned
    char password[256];        // typed in the password dialog
    char fileMask[4];          // file list of the extraction call ("*")
    char* commentBuffer;       // 8192 bytes, allocated by the first initAce
    char tempDir[260];
    int32_t cancelRequested;   // 1 after the progress dialog's cancel button
    HWND progressDialog;
    HWND progressBar;
    const AceDialogs* dialogs; // not owned

    explicit AceExtractor(HMODULE unacev2, const AceDialogs& shownDialogs = converterAceDialogs);
    virtual ~AceExtractor();
    AceExtractor(const AceExtractor&) = delete;
    AceExtractor& operator=(const AceExtractor&) = delete;

    // 0 on success; -1 when the DLL cannot be initialised or the file is not
    // an ACE archive; otherwise the extraction call's nonzero result.
    int extractAceArchive(HWND owner, const char* archivePath, const char* destinationFolder);
    int initAce();
    int runAceExtract(const char* archivePath, const char* destinationFolder);
};

const size_t ACE_COMMENT_BUFFER_SIZE = 8192;
const size_t ACE_MESSAGE_BUFFER_SIZE = 512;

// The extractor most recently constructed (not reset by its destructor).
extern AceExtractor* currentAceExtractor;
// Text the callbacks and the ACE dialogs format what they show into.
extern char messageBuffer[ACE_MESSAGE_BUFFER_SIZE];

// Formats into messageBuffer, never past its end (a longer text is cut at a
// character boundary of code page 932).
const char* formatMessage(const char* format, const char* argument);

int WINAPI aceInfoCallback(AceCallbackData* data);
int WINAPI aceErrorCallback(AceCallbackData* data);
int WINAPI aceRequestCallback(AceCallbackData* data);
int WINAPI aceStateCallback(AceCallbackData* data);

// Message box "Veltrox.dll" with OK and Cancel owned by the progress dialog;
// the template is filled with argument. OK answers 0, Cancel 2.
int askUser(const char* format, const char* argument);
