#pragma once
#include <windows.h>

// Creates a DropHandler and asks it for riid; the object is freed again when
// that fails.
HRESULT createDropHandler(REFIID riid, void** ppv);
