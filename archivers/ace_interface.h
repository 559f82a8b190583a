#pragma once
// The programming interface of unacev2.dll: the structures the DLL reads and
// writes, its three functions and its four callbacks. Every function and
// callback uses the Windows API calling convention (the callee pops the
// arguments); a mismatch corrupts the stack on 32-bit Windows.
//
// The offsets given in the comments are those of the 32-bit DLL; they are
// checked at compile time for 32-bit builds. A 64-bit build keeps the field
// order with natural alignment (only the test stand-in exists there).
#include <windows.h>
#include <cstddef>
#include <cstdint>
#include "base/ace_prompts.h"   // the answers a callback gives

// Structure types of the callback argument.
const uint32_t ACE_TYPE_GLOBAL = 0;
const uint32_t ACE_TYPE_ARCHIVE = 1;
const uint32_t ACE_TYPE_ARCHIVED_FILE = 2;
const uint32_t ACE_TYPE_PROGRESS = 7;

// Codes of the request and state callbacks the extractor answers specially.
const uint32_t ACE_REQUEST_CHANGE_VOLUME = 801;   // 0x321, type 1
const uint32_t ACE_REQUEST_OVERWRITE = 832;       // 0x340, type 2
const uint32_t ACE_REQUEST_PASSWORD = 835;        // 0x343, type 2
const uint32_t ACE_STATE_START_ARCHIVE = 1024;    // 0x400, type 1
const uint32_t ACE_STATE_START_FILE = 1040;       // 0x410, type 2
const uint32_t ACE_STATE_PROGRESS = 1056;         // 0x420, type 7
const uint32_t ACE_OPERATION_EXTRACT = 3;

// The archive the DLL works on (reached from the callback argument and from
// the read-archive-data structure). Only the name is used.
struct AceArchiveData {
    const char* archiveName;      // 0: archive or volume name
    uint32_t reserved[16];
};

// A file inside the archive. Only the name is used.
struct AceFileData {
    const char* fileName;         // 0
    uint32_t reserved[16];
};

// Progress of the current operation.
struct AceProgressData {
    const void* address;          // 0: data block being processed
    uint32_t size;                // 4: size of that block
    uint32_t processedBytes;      // 8: bytes of the file processed so far
    uint32_t reserved1[3];        // 12
    uint32_t totalBytes;          // 24: bytes of the file in all
    uint32_t reserved2;           // 28
};

struct AceGlobalData;

// The one argument of every callback. The first three fields are always
// valid; the pointers that follow depend on the structure type: type 1 has
// archiveData, types 2 and 7 also fileData, type 7 also progressData.
struct AceCallbackData {
    uint32_t structureType;       // 0
    uint32_t code;                // 4
    uint32_t operation;           // 8
    AceGlobalData* globalData;    // 12
    AceArchiveData* archiveData;  // 16
    AceFileData* fileData;        // 20
    AceProgressData* progressData;// 24
};

typedef int (WINAPI* AceCallback)(AceCallbackData* data);

// Argument of ACEInitDll, 320 bytes; the first 256 are the global data.
struct AceGlobalData {
    void* applicationObject;      // 0
    uint32_t maxArchiveTestBytes; // 4
    uint32_t maxFileBufferSize;   // 8
    char* commentBuffer;          // 12
    uint32_t commentBufferSize;   // 16
    uint8_t reserved1[76];        // 20
    char* tempDir;                // 96
    uint8_t reserved2[76];        // 100
    AceCallback infoCallback;     // 176
    AceCallback errorCallback;    // 180
    AceCallback requestCallback;  // 184
    AceCallback stateCallback;    // 188
    uint8_t reserved3[64];        // 192
};

struct AceInitData {
    AceGlobalData globalData;     // 0
    uint8_t reserved[64];         // 256
};

// Second argument of ACEReadArchiveData. The DLL sets archiveData, or leaves
// it null when the file is not an ACE archive.
struct AceReadArchiveData {
    AceArchiveData* archiveData;  // 0
    uint8_t reserved[64];         // 4
};

// Second argument of ACEExtract, 156 bytes.
struct AceExtractData {
    const char* sourceDir;        // 0: folder inside the archive
    const char* fileList;         // 4: files to extract
    const char* excludeList;      // 8: files to leave out
    int32_t fullMatch;            // 12
    uint8_t reserved1[64];        // 16
    const char* destinationDir;   // 80
    int32_t excludePath;          // 84: 0 recreates the stored folders
    const char* decryptPassword;  // 88
    uint8_t reserved2[64];        // 92
};

typedef int (WINAPI* AceInitDllFunction)(AceInitData* init);
typedef int (WINAPI* AceReadArchiveDataFunction)(LPCSTR archivePath, AceReadArchiveData* data);
typedef int (WINAPI* AceExtractFunction)(LPCSTR archivePath, AceExtractData* extract);

#ifndef _WIN64
static_assert(sizeof(AceCallbackData) == 28, "callback argument");
static_assert(offsetof(AceCallbackData, archiveData) == 16, "callback archive data");
static_assert(offsetof(AceCallbackData, fileData) == 20, "callback file data");
static_assert(offsetof(AceCallbackData, progressData) == 24, "callback progress data");
static_assert(offsetof(AceProgressData, processedBytes) == 8, "processed bytes");
static_assert(offsetof(AceProgressData, totalBytes) == 24, "total bytes");
static_assert(sizeof(AceGlobalData) == 256, "global data");
static_assert(sizeof(AceInitData) == 320, "initialisation structure");
static_assert(offsetof(AceGlobalData, maxArchiveTestBytes) == 4, "max test bytes");
static_assert(offsetof(AceGlobalData, maxFileBufferSize) == 8, "max file buffer");
static_assert(offsetof(AceGlobalData, commentBuffer) == 12, "comment buffer");
static_assert(offsetof(AceGlobalData, commentBufferSize) == 16, "comment buffer size");
static_assert(offsetof(AceGlobalData, tempDir) == 96, "temporary directory");
static_assert(offsetof(AceGlobalData, infoCallback) == 176, "info callback");
static_assert(offsetof(AceGlobalData, errorCallback) == 180, "error callback");
static_assert(offsetof(AceGlobalData, requestCallback) == 184, "request callback");
static_assert(offsetof(AceGlobalData, stateCallback) == 188, "state callback");
static_assert(sizeof(AceExtractData) == 156, "extraction structure");
static_assert(offsetof(AceExtractData, fileList) == 4, "file list");
static_assert(offsetof(AceExtractData, excludeList) == 8, "exclude list");
static_assert(offsetof(AceExtractData, fullMatch) == 12, "full match");
static_assert(offsetof(AceExtractData, destinationDir) == 80, "destination");
static_assert(offsetof(AceExtractData, excludePath) == 84, "exclude path");
static_assert(offsetof(AceExtractData, decryptPassword) == 88, "password");
#endif
