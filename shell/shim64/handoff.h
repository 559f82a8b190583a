#pragma once
// Hands a drop over to VeltroxHost.exe, which runs the 32-bit converter.
#include <windows.h>
#include <string>

// This module's instance handle, kept at process attach; the host is
// looked for in the folder this module was loaded from.
extern HINSTANCE shimInstance;

// Reads the dropped paths (CF_HDROP), writes them to a list file and starts
// the host beside this module with it. Returns at once; the conversion runs
// in the host. When the host cannot be started the user is told so here.
// A data object without CF_HDROP paths is ignored silently.
void handOffDrop(IDataObject* dataObject, const std::wstring& markerPath);
