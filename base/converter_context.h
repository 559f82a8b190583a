#pragma once
// The object one drop works on from start to end: capability mask / target
// format, the user's settings for this run, destination, owner window, the
// archiver DLL output buffer, the loaded archiver modules and the input list.
// A record with defaults: what a drop needs besides (the availability probe of
// the archiver DLLs, the ACE dialogs) is filled in by whoever makes it.
#include <windows.h>
#include <cstdint>

struct AceDialogs;

typedef uint32_t ArchiveFormat;

// One bit per format; an OR of codes is a set. The same numbers are stored in
// the registry value "ConvertType".
const ArchiveFormat FMT_LZH    = 0x0001;
const ArchiveFormat FMT_UNZIP  = 0x0002;  // ZIP as a source (unzip32.dll)
const ArchiveFormat FMT_ZIP    = 0x0004;  // ZIP as a target (zip32j.dll)
const ArchiveFormat FMT_CAB    = 0x0008;
const ArchiveFormat FMT_ARJ    = 0x0010;
const ArchiveFormat FMT_TAR    = 0x0020;
const ArchiveFormat FMT_TARGZ  = 0x0040;  // also plain gzip / compress streams as sources
const ArchiveFormat FMT_TARBZ2 = 0x0080;  // also plain bzip2 streams as sources
const ArchiveFormat FMT_RAR    = 0x0100;
const ArchiveFormat FMT_BZA    = 0x0200;
const ArchiveFormat FMT_GZA    = 0x0400;
const ArchiveFormat FMT_GCA    = 0x0800;
const ArchiveFormat FMT_YZ1    = 0x1000;
const ArchiveFormat FMT_ACE    = 0x2000;
const ArchiveFormat FMT_7Z     = 0x4000;
const ArchiveFormat FORMAT_UNKNOWN = 0xFFFFFFFFu;

const size_t OUTPUT_BUFFER_SIZE = 32768;

struct ConverterContext {
    // Settings record (named after the registry values, loaded by loadSettings).
    int32_t fCurrent;
    int32_t fAfterDel;
    int32_t saveConvertType;
    int32_t askSameConvert;
    int32_t sameTime;
    int32_t sort;
    int32_t lhType;
    int32_t lhSfxMode;
    int32_t tarLevel;
    int32_t zipLevel;
    int32_t cabLevel;
    int32_t bgaLevel;
    int32_t cabMode;
    uint32_t sevenZipOptions;   // bits 0-15 level, 0x10000 header compression, 0x20000 solid

    int32_t sfxMode;            // 0 plain archive; otherwise self-extracting (7z: 1..3)
    uint32_t formats;           // capability mask, then the single target format
    uint32_t fUse7ZipLib;       // bit 0: ZIP sources via 7-zip32.dll; bit 1: ZIP targets
    wchar_t destFolder[MAX_PATH];   // ends in a backslash once the dialog has accepted it
    char outputBuffer[OUTPUT_BUFFER_SIZE];
    wchar_t sourceFolder[MAX_PATH]; // folder of the first source archive
    HWND ownerWindow;
    HANDLE listHeap;
    int32_t unicodeNames;       // archiver calls in the DLLs' Unicode mode (names outside the ANSI code page)

    // Archiver modules, in release order.
    HMODULE hUnlha32;
    HMODULE hUnzip32;
    HMODULE hUnarj32j;
    HMODULE hCab32;
    HMODULE hTar32;
    HMODULE hZip32j;
    HMODULE hUnrar32;
    HMODULE hBga32;
    HMODULE hUngca32;
    HMODULE hYz1;
    HMODULE hUnacev2;
    HMODULE h7zip32;

    int32_t notConvSfx;
    int32_t aceAvailable;       // -1 not looked for, 1 found, 0 absent
    int32_t folderSearch;       // 0 not asked, 1 folder only, 2 with subfolders, -1 skip folders
    const AceDialogs* aceDialogs;   // what an ACE extraction shows; null: no ACE extraction
    uint32_t sevenZipOnly;      // bits as fUse7ZipLib: ZIP directions only 7-zip32.dll serves (probe)
    int32_t lastArchiverResult;     // what the last archiver call returned (0 = success)

    ConverterContext();
    virtual ~ConverterContext();

    ConverterContext(const ConverterContext&) = delete;
    ConverterContext& operator=(const ConverterContext&) = delete;
};

// The live context; set by the constructor, never cleared. Dialog procedures
// and the binding's messages reach the context through it.
extern ConverterContext* currentContext;

// Frees every loaded archiver module in release order and nulls its handle.
void releaseArchiverModules(ConverterContext& ctx);
