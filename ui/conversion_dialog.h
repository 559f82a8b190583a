#pragma once
// Helpers of the conversion dialog (dialog 102, shown by showConversionDialog).
#include <windows.h>

// Shell folder browser opened at `initialFolder` ("" = default); on success the
// picked file-system folder is copied into `result` (MAX_PATH bytes).
bool browseForFolder(HWND owner, const char* title, char* result, const char* initialFolder);

// Makes sure every level of `path` (X:\... or \\server\share\...) exists,
// asking once per missing level from the top down before creating it.
// Other forms fail without a message.
bool confirmAndCreateFolder(const char* path);
