// Entry points of Veltrox.dll.
#include <windows.h>
#include "shell/com_server.h"
#include "base/module.h"
#include "shell/uninstall.h"
#include <cstdlib>

// The runtime's default terminate handler prints the uncaught exception's
// demangled type name to a console that a shell extension never has, and
// brings the whole demangler (about 45 KB) into the module. A terminate in
// this module aborts without it.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) moduleInstance = instance;
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    return getClassObject(rclsid, riid, ppv);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return canUnloadNow(); }

extern "C" void CALLBACK Uninstall(HWND window, HINSTANCE, LPSTR commandLine, int) {
    try {
        runUninstall(window, commandLine);
    } catch (...) {
        // Nothing escapes into the rundll program.
    }
}
