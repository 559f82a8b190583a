#pragma once
// The class identifier of the drop handler {6F3C2A81-4B7D-4E19-9A52-3D8E1C07B4F6}:
// the same for Veltrox.dll, Veltrox64.dll and install/Veltrox.inf.
// VeltroxHost.exe asks Veltrox.dll's class factory for it, as the shell does.
#include <windows.h>

inline constexpr CLSID CLSID_VeltroxDropHandler = {
    0x6f3c2a81, 0x4b7d, 0x4e19, {0x9a, 0x52, 0x3d, 0x8e, 0x1c, 0x07, 0xb4, 0xf6}};
