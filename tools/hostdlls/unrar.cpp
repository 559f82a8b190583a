// unrar.dll: the companion of unrar32.dll; only its version is asked.
#include <windows.h>

extern "C" int WINAPI RARGetDllVersion() { return 8; }
