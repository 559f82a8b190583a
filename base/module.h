#pragma once
#include <windows.h>

// The module whose resources hold every dialog template: Veltrox.dll, or the
// test program that links the same resources.
extern HINSTANCE moduleInstance;
