#pragma once
// Per-user settings under HKEY_CURRENT_USER "Software\Kesta\Veltrox\".
#include "base/converter_context.h"
#include <cstddef>
#include <string>
#include <vector>

int32_t readDword(const char* subKey, const char* valueName, int32_t defaultValue);
bool writeDword(const char* subKey, const char* valueName, int32_t value);
// output holds 260 bytes.
bool readString(const char* subKey, const char* valueName, char* output, const char* defaultText);
bool writeString(const char* subKey, const char* valueName, const char* text);
// The same through the wide registry API, for texts in any script (stored as
// REG_SZ as before). A text counts only when it has fewer than 260
// characters and its ANSI form fewer than 260 bytes; otherwise `output` is
// left empty and the result is false.
bool readStringWide(const char* subKey, const char* valueName, std::wstring& output);
bool writeStringWide(const char* subKey, const char* valueName, const std::wstring& text);

// The sub-key of the converter's options.
inline constexpr char OPTIONS_SUBKEY[] = "option";

// A numeric setting of the sub-key "option" by its value name: the stored
// number when it is one the setting can take, else the setting's default
// (also when it is missing or unreadable).
int32_t readOption(const char* valueName);

// Fills the settings record of the context from the registry, with defaults.
void loadSettings(ConverterContext& ctx);

// Size of a string read back from the registry, NUL included.
const size_t SETTINGS_STRING_SIZE = 260;
// Entries kept in the destination history.
const size_t FOLDER_HISTORY_MAX = 20;

// Destination history "FolderHist" "1".."20", most recent first; ends at the
// first entry that is missing, empty or too long.
std::vector<std::wstring> loadFolderHistory();
// Moves `accepted` to the front of `history` (an entry equal to it without
// regard to case is removed first), drops entries beyond 20 and writes the
// list as "1".."n". Values above n are left alone.
void saveFolderHistory(std::vector<std::wstring>& history, const std::wstring& accepted);
