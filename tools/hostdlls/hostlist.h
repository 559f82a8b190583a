// Listing exports of the host-backed reading DLLs. A listing extracts the
// archive with the host reader into a staging folder and reports what is
// there (names in code page 932 as an ANSI DLL shows them, "?" for what has
// no form, sizes, folders with attribute "D"): exactly what its extraction
// writes. The extraction of the same, unchanged archive that follows takes
// the staged tree over instead of reading the archive again.
//
// HOSTARC_LISTING_EXTRA (tests only): "|"-separated names reported as
// further 5-byte files, "<archive file name>><name>" for one archive only.
#pragma once
#include <windows.h>
#include <string>

HANDLE hostOpenArchive(const char* format, LPCSTR archive);
int hostCloseArchive(HANDLE listing);
// pattern given: from the first entry. 0 an entry, -1 no more, 1 bad handle.
int hostFindEntry(HANDLE listing, LPCSTR pattern, void* record);

// Moves the tree staged by the last listing of `archive` to `dir` (which
// must not exist or be empty); false when there is none for it (any other
// staged tree is removed then).
bool takeStagedExtraction(const std::wstring& archive, const std::wstring& dir);

// The four exports of a reading DLL with the command export `prefix`.
#define HOST_LISTING_EXPORTS(prefix, format)                                                          \
  extern "C" HANDLE WINAPI prefix##OpenArchive(HWND, LPCSTR archive, DWORD) {                        \
    return hostOpenArchive(format, archive);                                                         \
  }                                                                                                  \
  extern "C" int WINAPI prefix##CloseArchive(HANDLE listing) { return hostCloseArchive(listing); }   \
  extern "C" int WINAPI prefix##FindFirst(HANDLE listing, LPCSTR pattern, void* record) {            \
    return hostFindEntry(listing, pattern ? pattern : "*", record);                                  \
  }                                                                                                  \
  extern "C" int WINAPI prefix##FindNext(HANDLE listing, void* record) {                             \
    return hostFindEntry(listing, nullptr, record);                                                  \
  }
