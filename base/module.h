#pragma once
// The converter module: its instance and the caption of its message boxes.
#include <windows.h>

// The module whose resources hold every dialog template: Veltrox.dll, or the
// test program that links the same resources.
extern HINSTANCE moduleInstance;

// Caption of the converter's message boxes.
inline constexpr char MESSAGE_CAPTION[] = "Veltrox.dll";
inline constexpr wchar_t MESSAGE_CAPTION_W[] = L"Veltrox.dll";
