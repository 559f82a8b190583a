#pragma once
// The SendTo marker file: its name, and the user's SendTo folder it lives in.
#include <string>

// The marker file Setup puts into the SendTo folder; its type carries the
// drop handler, its text the user documentation.
inline constexpr char SENDTO_MARKER_NAME[] = "書庫を変換して保存....Veltrox";

// The user's SendTo folder as Explorer records it ("Shell Folders" "SendTo"),
// or "" when it is not recorded or longer than MAX_PATH.
std::string sendToFolder();
