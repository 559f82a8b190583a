#pragma once
// A data object holding CF_HDROP data of wide-character paths, as the shell's
// own data object for dropped files does.
#include <windows.h>
#include <string>
#include <vector>

// A new data object (reference count 1) or null when memory runs out.
IDataObject* createDropDataObject(const std::vector<std::wstring>& paths);
