#pragma once
// Delivering a SendTo drop the way Explorer does: the drop handler registered
// for the marker file's type is created in this process, initialised, given
// the marker's path, and sent DragEnter, DragOver and Drop with the paths as
// CF_HDROP data. Used by droptool and by tests that drop on the installed DLL.
#include <string>
#include <vector>

// Full paths expected. Returns 0 when Drop returned S_OK, 2 when no handler
// is registered for the marker's type, 3 when a COM call failed. COM must be
// initialised (apartment-threaded) on the calling thread.
int deliverDrop(const std::wstring& marker, const std::vector<std::wstring>& paths);
