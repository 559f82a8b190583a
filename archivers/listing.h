#pragma once
// Listing an archive with its own archiver DLL before it is extracted:
// <Prefix>OpenArchive / FindFirst / FindNext / CloseArchive of the archiver
// DLL convention, where <Prefix> is the DLL's command export name.
#include "base/converter_context.h"
#include <cstdint>
#include <string>
#include <vector>

struct ListedEntry {
    std::string name;    // as the DLL reports it (ANSI, "/" or "\" separated)
    uint32_t size = 0;   // original size (the convention's record holds 32 bits)
    bool folder = false; // attribute "D", or a name ending in a separator
    // Listed in the DLL's Unicode mode: the name in UTF-16, and whether it
    // has no ANSI form (then `name` is empty and only `wide` names it).
    std::wstring wide;
    bool outsideAnsi = false;
};

enum class ListingResult {
    listed,        // entries holds every entry
    unsupported,   // no listing exports (or a format without a command export)
    failed,        // the DLL could not open or walk the archive
};

// Lists `archivePath` with the loaded DLL serving `format`, in its Unicode
// mode when it has one (names with an ANSI form come out as an ANSI listing
// gives them).
ListingResult listArchive(ConverterContext& ctx, ArchiveFormat format, const char* archivePath,
                          std::vector<ListedEntry>& entries);
