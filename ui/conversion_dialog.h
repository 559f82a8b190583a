#pragma once
// Helpers of the conversion dialog (dialog 102, shown by showConversionDialog).
#include <windows.h>
#include <string>

// Shell folder browser opened at `initialFolder` ("" = default); on success the
// picked file-system folder is copied into `result` (MAX_PATH bytes).
// Fails also when the picked folder's name has no ANSI form.
bool browseForFolder(HWND owner, const char* title, char* result, const char* initialFolder);
// The same, giving the folder as the shell names it (any characters).
bool browseForFolderWide(HWND owner, const char* title, std::wstring& result, const char* initialFolder);

// Makes sure every level of `path` (X:\... or \\server\share\...) exists,
// asking once per missing level from the top down before creating it.
// Other forms fail without a message. The question and the error box are
// owned by `owner`, which is disabled while they are up.
bool confirmAndCreateFolder(const char* path, HWND owner = nullptr);
