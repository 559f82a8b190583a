// The converter context: constructor values, the availability probe of the
// archiver DLLs and the release of everything the context owns.
#include "base/converter_context.h"

#include "archivers/binding.h"
#include "archivers/versions.h"

#include <cstring>

ConverterContext* currentContext = nullptr;

namespace {

// "Found" means the load would find the name: the probe offers no format
// whose DLL then fails to load. Nothing is loaded.
bool onSearchPath(const char* fileName) { return archiverOnLoadPath(fileName); }

// tar32.dll newer than 0.50 handles bzip2 itself; older ones need bz2lib.dll.
const uint16_t TAR32_BUILTIN_BZIP2 = 50;

}  // namespace

ConverterContext::ConverterContext()
    : fCurrent(0), fAfterDel(0), saveConvertType(0), askSameConvert(0), sameTime(0), sort(1), lhType(0),
      lhSfxMode(0), tarLevel(0), zipLevel(0), cabLevel(0), bgaLevel(0), cabMode(0), sevenZipOptions(0),
      sfxMode(0), formats(0), fUse7ZipLib(0), ownerWindow(nullptr), listHeap(nullptr), hUnlha32(nullptr),
      hUnzip32(nullptr), hUnarj32j(nullptr), hCab32(nullptr), hTar32(nullptr), hZip32j(nullptr),
      hUnrar32(nullptr), hBga32(nullptr), hUngca32(nullptr), hYz1(nullptr), hUnacev2(nullptr),
      h7zip32(nullptr), notConvSfx(0), aceAvailable(-1), folderSearch(0) {
    std::memset(destFolder, 0, sizeof destFolder);
    std::memset(outputBuffer, 0, sizeof outputBuffer);
    std::memset(sourceFolder, 0, sizeof sourceFolder);
    currentContext = this;
    probeArchivers(*this);
}

ConverterContext::~ConverterContext() {
    if (listHeap) {
        HeapDestroy(listHeap);
        listHeap = nullptr;
    }
    unloadArchivers(*this);
    // Nothing may reach a destroyed context through the global pointer.
    if (currentContext == this) currentContext = nullptr;
}

void probeArchivers(ConverterContext& ctx) {
    if (onSearchPath("7-zip32.dll")) ctx.formats |= FMT_7Z;
    if (onSearchPath("unlha32.dll")) ctx.formats |= FMT_LZH;
    if (onSearchPath("zip32.dll") && onSearchPath("zip32j.dll")) {
        ctx.formats |= FMT_ZIP;
    } else if (ctx.formats & FMT_7Z) {
        ctx.formats |= FMT_ZIP;
        ctx.fUse7ZipLib |= 2;
    }
    if (onSearchPath("unzip32.dll")) {
        ctx.formats |= FMT_UNZIP;
    } else if (ctx.formats & FMT_7Z) {
        ctx.formats |= FMT_UNZIP;
        ctx.fUse7ZipLib |= 1;
    }
    if (onSearchPath("cab32.dll")) ctx.formats |= FMT_CAB;
    if (onSearchPath("unarj32j.dll")) ctx.formats |= FMT_ARJ;
    if (onSearchPath("tar32.dll")) {
        uint16_t version = getArchiverVersion(ctx, FMT_TAR);
        ctx.formats |= FMT_TAR;
        if (version > TAR32_BUILTIN_BZIP2) ctx.formats |= FMT_TARBZ2;
        else if (onSearchPath("bz2lib.dll")) ctx.formats |= FMT_TARBZ2;
        unloadArchivers(ctx);
    }
    if (onSearchPath("unrar.dll") && onSearchPath("unrar32.dll")) ctx.formats |= FMT_RAR;
    if (onSearchPath("bga32.dll")) ctx.formats |= FMT_BZA | FMT_GZA;
    if (onSearchPath("yz1.dll")) ctx.formats |= FMT_YZ1;
    if (onSearchPath("unacev2.dll")) ctx.formats |= FMT_ACE;
}
