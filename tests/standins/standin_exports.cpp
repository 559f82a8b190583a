// The exports of one stand-in DLL; STANDIN_* macros come from CMakeLists.txt.
// All entry points exist in every stand-in; its .def file decides which
// ones are exported and under which names.
#include "standin.h"

static const StandinIdentity identity = {STANDIN_DLL, STANDIN_KEY, STANDIN_COMMAND, STANDIN_VERSION_EXPORT,
                                         STANDIN_DEFAULT_VERSION};

extern "C" {
int WINAPI standinCommand(HWND owner, LPCSTR commandLine, LPSTR output, DWORD outputSize) {
    return standinRunCommand(identity, owner, commandLine, output, outputSize);
}
WORD WINAPI standinVersion(void) { return standinReportVersion(identity); }
void WINAPI standinZpVersion(unsigned char* record) { standinFillZpVersion(identity, record); }
int WINAPI standinRarGetDllVersion(void) { return standinReportRarVersion(identity); }
HANDLE WINAPI standinOpenArchive(HWND owner, LPCSTR archive, DWORD mode) {
    return standinOpenListing(identity, owner, archive, mode);
}
int WINAPI standinCloseArchive(HANDLE listing) { return standinCloseListing(listing); }
int WINAPI standinFindFirst(HANDLE listing, LPCSTR pattern, void* record) {
    return standinFindEntry(listing, pattern, record);
}
int WINAPI standinFindNext(HANDLE listing, void* record) { return standinFindEntry(listing, nullptr, record); }
BOOL WINAPI standinUnicodeMode(BOOL unicode) { return standinSetUnicodeMode(identity, unicode); }
}
