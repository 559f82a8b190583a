#pragma once
#include "base/ace_prompts.h"
#include "base/converter_context.h"
#include "archivers/ace_interface.h"

// Extracts an ACE archive into workFolder through unacev2.dll's callback
// interface (ctx.hUnacev2 is loaded), showing ctx.aceDialogs. True on success;
// false without the DLL or without dialogs.
bool extractAce(ConverterContext& ctx, const char* archivePath, const char* workFolder);

// Drives one ACE extraction: initialisation, header check, extraction with
// the progress and password dialogs it is given (the prompt state it derives
// from is what they work on). One extractor per archive, kept as a local
// object; the callbacks reach it through currentAceExtractor.
class AceExtractor : public AcePromptState {
public:
    HMODULE hUnacev2;          // not owned
    char fileMask[4];          // file list of the extraction call ("*")
    char* commentBuffer;       // 8192 bytes, allocated by the first initAce
    char tempDir[260];
    const AceDialogs* dialogs; // not owned

    AceExtractor(HMODULE unacev2, const AceDialogs& shownDialogs);
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

// The extractor most recently constructed (not reset by its destructor).
extern AceExtractor* currentAceExtractor;

int WINAPI aceInfoCallback(AceCallbackData* data);
int WINAPI aceErrorCallback(AceCallbackData* data);
int WINAPI aceRequestCallback(AceCallbackData* data);
int WINAPI aceStateCallback(AceCallbackData* data);

// Message box with OK and Cancel owned by the progress dialog;
// the template is filled with argument. OK answers 0, Cancel 2.
int askUser(const char* format, const char* argument);
