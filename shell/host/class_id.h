#pragma once
// The class identifier of the drop handler: the same for Veltrox.dll (which
// defines it for itself), Veltrox64.dll and the INF. VeltroxHost.exe asks
// Veltrox.dll's class factory for it, as the shell does.
#include <windows.h>

static const CLSID dropHandlerClassId = {
    0x6f3c2a81, 0x4b7d, 0x4e19, {0x9a, 0x52, 0x3d, 0x8e, 0x1c, 0x07, 0xb4, 0xf6}};
