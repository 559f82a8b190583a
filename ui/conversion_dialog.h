#pragma once
// Helpers of the conversion dialog (dialog 102, shown by showConversionDialog).
#include <windows.h>
#include <string>

// Shell folder browser opened at `initialFolder` ("" = default); on success
// `result` is the picked file-system folder as the shell names it.
bool browseForFolder(HWND owner, const char* title, std::wstring& result, const std::wstring& initialFolder);

// Makes sure every level of `path` (X:\... or \\server\share\...) exists,
// asking once per missing level from the top down before creating it.
// Other forms fail without a message. The question and the error box are
// owned by `owner`, which is disabled while they are up.
bool confirmAndCreateFolder(const std::wstring& path, HWND owner = nullptr);
