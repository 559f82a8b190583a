// The user's SendTo folder, read from Explorer's record of the shell folders.
#include "ui/send_to.h"
#include "base/handles.h"

std::string sendToFolder() {
    RegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                      KEY_READ, key.put()) != ERROR_SUCCESS)
        return std::string();
    char sendTo[MAX_PATH + 1] = "";
    DWORD size = MAX_PATH;
    if (RegQueryValueExA(key.get(), "SendTo", nullptr, nullptr, reinterpret_cast<BYTE*>(sendTo), &size) !=
            ERROR_SUCCESS ||
        size > MAX_PATH)
        return std::string();
    sendTo[size] = '\0';
    return sendTo;
}
