#pragma once
// Per-user settings under HKEY_CURRENT_USER "Software\Kesta\Veltrox\".
#include "engine/converter_context.h"
#include <cstddef>

int32_t readDword(const char* subKey, const char* valueName, int32_t defaultValue);
bool writeDword(const char* subKey, const char* valueName, int32_t value);
// output holds 260 bytes.
bool readString(const char* subKey, const char* valueName, char* output, const char* defaultText);
bool writeString(const char* subKey, const char* valueName, const char* text);

// Fills the settings record of the context from the registry, with defaults.
void loadSettings(ConverterContext& ctx);
