#pragma once
// The drop list that the 64-bit shell entry hands to VeltroxHost.exe: a file
// in the user's temporary folder, because a command line cannot hold the
// thousands of paths a drop may carry.
//
// Layout (UTF-16LE): byte-order mark, then NUL-terminated strings: the tag
// "VeltroxDropList1", the foreground window at the drop (hexadecimal, the 32
// bits that are shared between 32-bit and 64-bit processes), the marker
// file's path (may be empty), one string per dropped path, and an empty
// string that ends the list. A file that does not end exactly there is
// refused as a whole: a drop is never carried out with part of its paths.
#include <windows.h>
#include <string>
#include <vector>

struct DropList {
    DWORD ownerWindow = 0;
    std::wstring markerPath;
    std::vector<std::wstring> paths;
};

// Creates a new, empty list file with a unique name in the temporary folder
// and returns its path ("" when it cannot).
std::wstring createDropListFile();
// Whether the file is one that createDropListFile could have made: a plain
// file named "vlx<hex>.tmp" directly in the user's temporary folder. The
// host deletes a list only when it passes this and readDropList.
bool isHandOffListFile(const std::wstring& fileName);
bool writeDropList(const std::wstring& fileName, const DropList& list);
bool readDropList(const std::wstring& fileName, DropList& list);

// Tells the user that the conversion could not be started: the 64-bit entry
// when the host does not start, the host when it cannot deliver the drop.
void reportHandOffFailure(HWND owner);

// Window handles are 32-bit values in both worlds; these convert between a
// handle and the number written to the list (sign-extended on the way back).
DWORD windowToNumber(HWND window);
HWND numberToWindow(DWORD number);
