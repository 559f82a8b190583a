// The converter context: constructor values and the release of everything
// the context owns.
#include "base/converter_context.h"

#include <cstring>

ConverterContext* currentContext = nullptr;

ConverterContext::ConverterContext()
    : fCurrent(0), fAfterDel(0), saveConvertType(0), askSameConvert(0), sameTime(0), sort(1), lhType(0),
      lhSfxMode(0), tarLevel(0), zipLevel(0), cabLevel(0), bgaLevel(0), cabMode(0), sevenZipOptions(0),
      sfxMode(0), formats(0), fUse7ZipLib(0), ownerWindow(nullptr), listHeap(nullptr), hUnlha32(nullptr),
      hUnzip32(nullptr), hUnarj32j(nullptr), hCab32(nullptr), hTar32(nullptr), hZip32j(nullptr),
      hUnrar32(nullptr), hBga32(nullptr), hUngca32(nullptr), hYz1(nullptr), hUnacev2(nullptr),
      h7zip32(nullptr), notConvSfx(0), aceAvailable(-1), folderSearch(0),
      aceDialogs(nullptr), sevenZipOnly(0), lastArchiverResult(0) {
    std::memset(destFolder, 0, sizeof destFolder);
    std::memset(outputBuffer, 0, sizeof outputBuffer);
    std::memset(sourceFolder, 0, sizeof sourceFolder);
    unicodeNames = 0;
    currentContext = this;
}

ConverterContext::~ConverterContext() {
    if (listHeap) {
        HeapDestroy(listHeap);
        listHeap = nullptr;
    }
    releaseArchiverModules(*this);
    // Nothing may reach a destroyed context through the global pointer.
    if (currentContext == this) currentContext = nullptr;
}

void releaseArchiverModules(ConverterContext& ctx) {
    HMODULE ConverterContext::* const modules[] = {
        &ConverterContext::hUnlha32, &ConverterContext::hUnzip32, &ConverterContext::hUnarj32j,
        &ConverterContext::hCab32,   &ConverterContext::hTar32,   &ConverterContext::hZip32j,
        &ConverterContext::hUnrar32, &ConverterContext::hBga32,   &ConverterContext::hUngca32,
        &ConverterContext::hYz1,     &ConverterContext::hUnacev2, &ConverterContext::h7zip32};
    for (HMODULE ConverterContext::* field : modules) {
        HMODULE& handle = ctx.*field;
        if (handle) {
            FreeLibrary(handle);
            handle = nullptr;
        }
    }
}
