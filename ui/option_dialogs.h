#pragma once
// Compression option dialogs opened from the conversion dialog; each one
// works on currentContext and writes its values on its own OK.
#include <windows.h>
#include "base/converter_context.h"

// Opens the dialog for the target format: LZH 103; ZIP, TAR-GZ, TAR-BZ2,
// BZA, GZA 178; CAB 1058; 7z 1082. Returns false when the format has none.
bool showOptionDialogFor(HWND owner, ArchiveFormat target);

INT_PTR showLzhOptions(HWND owner);
INT_PTR showLevelOptions(HWND owner);
INT_PTR showCabOptions(HWND owner);
INT_PTR show7zOptions(HWND owner);
