#include "unicode_mode.h"

// Each DLL links its own copy of this file, so each has its own mode.
namespace {
volatile LONG unicodeMode = 0;
}

void setHostUnicodeMode(bool on) { InterlockedExchange(&unicodeMode, on ? 1 : 0); }
bool hostUnicodeMode() { return InterlockedCompareExchange(&unicodeMode, 0, 0) != 0; }
UINT hostTextCodePage() { return hostUnicodeMode() ? CP_UTF8 : CP_ACP; }

// The exports; each DLL's .def file names the one it has.
extern "C" BOOL WINAPI SevenZipSetUnicodeMode(BOOL on) {
  setHostUnicodeMode(on != FALSE);
  return TRUE;
}
extern "C" BOOL WINAPI UnlhaSetUnicodeMode(BOOL on) {
  setHostUnicodeMode(on != FALSE);
  return TRUE;
}
extern "C" BOOL WINAPI UnrarSetUnicodeMode(BOOL on) {
  setHostUnicodeMode(on != FALSE);
  return TRUE;
}
