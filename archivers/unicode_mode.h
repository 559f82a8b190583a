#pragma once
// The Unicode mode of the archiver DLLs that have one (7-zip32.dll,
// unlha32.dll, unrar32.dll): in it their command line, response file and
// listing are UTF-8, so entry and path names outside the ANSI code page
// reach them exactly. The mode is state of the whole process in the DLL; it
// is found at run time, set for one call and set back.
#include "base/converter_context.h"
#include <windows.h>

typedef BOOL (WINAPI* ArchiverUnicodeModeProc)(BOOL unicode);

// "<command export>SetUnicodeMode" on `module`, for the DLLs known to take
// UTF-8 in that mode (command export "SevenZip", "Unlha" or "Unrar"); null
// for every other DLL, whatever it exports, and when the export is missing.
ArchiverUnicodeModeProc findUnicodeMode(HMODULE module, const char* commandExport);

// Sets the mode on for its lifetime (active() when the DLL accepts it) and
// off again after; nothing when `proc` is null.
class UnicodeModeScope {
public:
    explicit UnicodeModeScope(ArchiverUnicodeModeProc proc);
    ~UnicodeModeScope();
    UnicodeModeScope(const UnicodeModeScope&) = delete;
    UnicodeModeScope& operator=(const UnicodeModeScope&) = delete;
    bool active() const { return active_; }

private:
    ArchiverUnicodeModeProc proc_;
    bool active_;
};


// Whether the DLL serving `format` (loaded on first use) has a Unicode mode,
// so that it can carry names outside the ANSI code page.
bool archiverCarriesUnicodeNames(ConverterContext& ctx, ArchiveFormat format);
