// The Unicode mode of the host-backed DLLs that have one (7-zip32.dll,
// unlha32.dll, unrar32.dll): a switch for the whole process, as in the
// Windows DLLs. In Unicode mode command lines, response files and output
// are UTF-8; otherwise they are ANSI text.
#pragma once
#include <windows.h>

void setHostUnicodeMode(bool on);
bool hostUnicodeMode();
// CP_UTF8 in Unicode mode, CP_ACP otherwise.
UINT hostTextCodePage();
