// ACE extraction through unacev2.dll's own interface: initialise the DLL with
// four callbacks, check the archive's header, then extract while answering
// the DLL's errors, questions and progress reports.
#include "archivers/ace.h"
#include "archivers/binding.h"
#include "base/module.h"

#include <cstdio>
#include <cstring>
#include <new>

AceExtractor* currentAceExtractor = nullptr;
AceExtractor::AceExtractor(HMODULE unacev2, const AceDialogs& shownDialogs)
    : AcePromptState(), hUnacev2(unacev2), commentBuffer(nullptr), dialogs(&shownDialogs) {
    fileMask[0] = '\0';
    tempDir[0] = '\0';
    currentAceExtractor = this;
}

AceExtractor::~AceExtractor() {
    delete[] commentBuffer;
    commentBuffer = nullptr;
    SecureZeroMemory(password, sizeof password);
    hUnacev2 = nullptr;
}

int AceExtractor::initAce() {
    if (!commentBuffer) {
        commentBuffer = new (std::nothrow) char[ACE_COMMENT_BUFFER_SIZE];
        if (!commentBuffer) return 1;
        commentBuffer[0] = '\0';
    }
    GetTempPathA(sizeof tempDir, tempDir);

    AceInitData init;
    memset(&init, 0, sizeof init);
    init.globalData.applicationObject = nullptr;
    init.globalData.maxArchiveTestBytes = 0x1FFFF;
    init.globalData.maxFileBufferSize = 0x2FFFF;
    init.globalData.commentBuffer = commentBuffer;
    init.globalData.commentBufferSize = ACE_COMMENT_BUFFER_SIZE;
    init.globalData.tempDir = tempDir;
    init.globalData.infoCallback = aceInfoCallback;
    init.globalData.errorCallback = aceErrorCallback;
    init.globalData.requestCallback = aceRequestCallback;
    init.globalData.stateCallback = aceStateCallback;

    AceInitDllFunction initDll =
        reinterpret_cast<AceInitDllFunction>(GetProcAddress(hUnacev2, "ACEInitDll"));
    if (!initDll) return 1;
    return initDll(&init);
}

int AceExtractor::runAceExtract(const char* archivePath, const char* destinationFolder) {
    AceExtractData extract;
    memset(&extract, 0, sizeof extract);
    extract.sourceDir = "";
    extract.fileList = fileMask;
    extract.excludeList = "";
    extract.fullMatch = 0;
    extract.destinationDir = destinationFolder;
    extract.excludePath = 0;
    extract.decryptPassword = password;

    AceExtractFunction extractFunction =
        reinterpret_cast<AceExtractFunction>(GetProcAddress(hUnacev2, "ACEExtract"));
    if (!extractFunction) return 1;
    return extractFunction(archivePath, &extract);
}

int AceExtractor::extractAceArchive(HWND owner, const char* archivePath, const char* destinationFolder) {
    ArchiverCallScope scope(hUnacev2);
    if (initAce() != 0) return -1;

    AceReadArchiveDataFunction readArchiveData = reinterpret_cast<AceReadArchiveDataFunction>(
        GetProcAddress(hUnacev2, "ACEReadArchiveData"));
    if (!readArchiveData) return -1;
    AceReadArchiveData archive;
    memset(&archive, 0, sizeof archive);
    readArchiveData(archivePath, &archive);
    if (!archive.archiveData) {
        formatMessage("%s\n\nは書庫と認識できないか、または未対応の形式です。", archivePath);
        MessageBoxA(owner, messageBuffer, MESSAGE_CAPTION, MB_OK | MB_ICONWARNING);
        return -1;
    }

    fileMask[0] = '*';
    fileMask[1] = '\0';
    dialogs->openProgress(*this, owner);
    int result = runAceExtract(archivePath, destinationFolder);
    dialogs->closeProgress(*this);
    return result;
}

bool extractAce(ConverterContext& ctx, const char* archivePath, const char* workFolder) {
    if (!ctx.hUnacev2 || !ctx.aceDialogs) return false;
    AceExtractor extractor(ctx.hUnacev2, *ctx.aceDialogs);
    ctx.lastArchiverResult = extractor.extractAceArchive(ctx.ownerWindow, archivePath, workFolder);
    return ctx.lastArchiverResult == 0;
}

int askUser(const char* format, const char* argument) {
    formatMessage(format, argument);
    HWND owner = currentAceExtractor ? currentAceExtractor->progressDialog : nullptr;
    int pressed = MessageBoxA(owner, messageBuffer, MESSAGE_CAPTION, MB_OKCANCEL | MB_ICONQUESTION);
    return pressed == IDCANCEL ? ACE_CALLBACK_CANCEL : ACE_CALLBACK_OK;
}

static const char* archiveNameOf(const AceCallbackData* data) {
    return data->archiveData ? data->archiveData->archiveName : nullptr;
}

static const char* fileNameOf(const AceCallbackData* data) {
    const char* name = data->fileData ? data->fileData->fileName : nullptr;
    return name ? name : "";
}

static bool isListed(uint32_t code, const uint32_t* codes, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (codes[i] == code) return true;
    return false;
}

int WINAPI aceInfoCallback(AceCallbackData*) {
    return ACE_CALLBACK_OK;
}

int WINAPI aceErrorCallback(AceCallbackData* data) {
    // Errors the extraction can go on after; everything else stops it.
    static const uint32_t globalCodes[] = {512, 518};
    static const uint32_t archiveCodes[] = {546, 550, 552, 556, 558, 559, 561};
    static const uint32_t fileCodes[] = {576, 580, 582, 586, 587, 588};
    bool goOn = false;
    switch (data->structureType) {
    case ACE_TYPE_GLOBAL:
        goOn = isListed(data->code, globalCodes, sizeof globalCodes / sizeof globalCodes[0]);
        break;
    case ACE_TYPE_ARCHIVE:
        goOn = isListed(data->code, archiveCodes, sizeof archiveCodes / sizeof archiveCodes[0]);
        break;
    case ACE_TYPE_ARCHIVED_FILE:
        goOn = isListed(data->code, fileCodes, sizeof fileCodes / sizeof fileCodes[0]);
        break;
    default:
        break;
    }
    return goOn ? ACE_CALLBACK_OK : ACE_CALLBACK_CANCEL;
}

int WINAPI aceRequestCallback(AceCallbackData* data) {
    if (data->structureType == ACE_TYPE_ARCHIVE && data->code == ACE_REQUEST_CHANGE_VOLUME) {
        const char* volume = archiveNameOf(data);
        if (!volume) return ACE_CALLBACK_CANCEL;
        char found[MAX_PATH];
        if (SearchPathA(nullptr, volume, nullptr, sizeof found, found, nullptr) != 0)
            return ACE_CALLBACK_OK;
        return askUser("'%s'\n\nが存在する事を確認して「OK」ボタンをクリックしてください。", volume);
    }
    if (data->structureType == ACE_TYPE_ARCHIVED_FILE) {
        if (data->code == ACE_REQUEST_OVERWRITE) return ACE_CALLBACK_OK;
        if (data->code == ACE_REQUEST_PASSWORD && currentAceExtractor)
            return currentAceExtractor->dialogs->askPassword(*currentAceExtractor, fileNameOf(data));
    }
    return ACE_CALLBACK_CANCEL;
}

int WINAPI aceStateCallback(AceCallbackData* data) {
    if (data->structureType == ACE_TYPE_PROGRESS && data->code == ACE_STATE_PROGRESS &&
        data->operation == ACE_OPERATION_EXTRACT && data->progressData && currentAceExtractor) {
        return currentAceExtractor->dialogs->showProgress(*currentAceExtractor, fileNameOf(data),
                                                          data->progressData->totalBytes,
                                                          data->progressData->processedBytes);
    }
    return ACE_CALLBACK_OK;
}
