// Entry points of Veltrox.dll.
#include <windows.h>
#include "shell/module.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) moduleInstance = instance;
    return TRUE;
}
