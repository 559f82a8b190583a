// Registry access for the converter's settings: four routines that open and
// close the key on every call, the settings load and the destination history.
#include "base/settings.h"
#include "base/handles.h"
#include "base/wide_text.h"
#include <cstdio>
#include <cstring>

namespace {

const char BASE_KEY[] = "Software\\Kesta\\Veltrox\\";
const char FOLDER_HIST[] = "FolderHist";

std::string keyPath(const char* subKey) {
    return std::string(BASE_KEY) + subKey;
}

bool openForRead(const char* subKey, RegKey& key) {
    return RegOpenKeyExA(HKEY_CURRENT_USER, keyPath(subKey).c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

bool openForWrite(const char* subKey, RegKey& key) {
    return RegCreateKeyExA(HKEY_CURRENT_USER, keyPath(subKey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_ALL_ACCESS, nullptr, key.put(), nullptr) == ERROR_SUCCESS;
}

void copyText(char* output, const char* text) {
    size_t n = text ? strlen(text) : 0;
    if (n >= SETTINGS_STRING_SIZE) n = SETTINGS_STRING_SIZE - 1;
    if (n) memcpy(output, text, n);
    output[n] = '\0';
}

// History values are named "1".."20".
std::string historyValueName(size_t n) {
    char name[16];
    snprintf(name, sizeof name, "%u", static_cast<unsigned>(n));
    return name;
}

// Value names are ASCII.
std::wstring toWideName(const char* name) {
    return std::wstring(name, name + strlen(name));
}

// The values each numeric setting can take. A stored number outside them
// (written by hand, by another version, or damaged) counts as missing: the
// default applies, so that no list index, control id or option bit set is
// ever taken from a value that no dialog could have stored.
struct OptionRule {
    const char* name;
    int32_t defaultValue;
    int32_t low;
    int32_t high;
    bool (*allowed)(int32_t);   // further test inside the range, or null
};

bool notUnusedSfxKind(int32_t value) { return value != 1020; }
bool singleTargetFormat(int32_t value) {
    const int32_t targets = FMT_LZH | FMT_ZIP | FMT_CAB | FMT_TAR | FMT_TARGZ | FMT_TARBZ2 | FMT_BZA | FMT_GZA |
                            FMT_GCA | FMT_YZ1 | FMT_7Z;
    return (value & (value - 1)) == 0 && (value & targets) != 0;
}

const OptionRule OPTION_RULES[] = {
    {"fAfterDel", 0, 0, 1, nullptr},      {"fCurrent", 0, 0, 1, nullptr},
    {"SaveConvertType", 0, 0, 1, nullptr}, {"ConvertType", FMT_LZH, FMT_LZH, FMT_7Z, singleTargetFormat},
    {"AskSameConvert", 0, 0, 1, nullptr}, {"SameTime", 0, 0, 1, nullptr},
    {"Sort", 1, 0, 1, nullptr},           {"fUse7ZipLib", 0, 0, 1, nullptr},
    {"NotConvSfx", 0, 0, 1, nullptr},     {"lh-type", 1013, 1012, 1015, nullptr},
    {"lhSFX-Mode", 1019, 1016, 1021, notUnusedSfxKind},
    {"Zip-Level", 6, 0, 9, nullptr},      {"Tar-Level", 6, 1, 9, nullptr},
    {"Bga-Level", 9, 1, 9, nullptr},      {"Cab-Mode", 0, 0, 1, nullptr},
    {"Cab-Level", 15, 15, 21, nullptr},   {"7Zip-Level", 1, 0, 2, nullptr},
    {"7Zip-HeadComp", 1, 0, 1, nullptr},  {"7Zip-SolidMode", 1, 0, 1, nullptr},
    {"7Zip-SfxMode", 2, 1, 3, nullptr},
};

}  // namespace

int32_t readOption(const char* valueName) {
    for (const OptionRule& rule : OPTION_RULES) {
        if (strcmp(rule.name, valueName) != 0) continue;
        int32_t value = readDword(OPTIONS_SUBKEY, valueName, rule.defaultValue);
        if (value < rule.low || value > rule.high || (rule.allowed && !rule.allowed(value))) return rule.defaultValue;
        return value;
    }
    return readDword(OPTIONS_SUBKEY, valueName, 0);
}

int32_t readDword(const char* subKey, const char* valueName, int32_t defaultValue) {
    RegKey key;
    if (!openForRead(subKey, key)) return defaultValue;
    int32_t value = 0;
    DWORD size = sizeof value;
    // The type is not looked at: any value of exactly four bytes is a number.
    if (RegQueryValueExA(key.get(), valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        size != sizeof value)
        return defaultValue;
    return value;
}

bool writeDword(const char* subKey, const char* valueName, int32_t value) {
    RegKey key;
    if (!openForWrite(subKey, key)) return false;
    return RegSetValueExA(key.get(), valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
           ERROR_SUCCESS;
}

bool readString(const char* subKey, const char* valueName, char* output, const char* defaultText) {
    output[0] = '\0';
    RegKey key;
    if (openForRead(subKey, key)) {
        // One spare byte so that a value stored without its NUL is still
        // terminated inside our own buffer; such a value counts only when its
        // text leaves room for the NUL in the caller's 260 bytes.
        char buffer[SETTINGS_STRING_SIZE + 1];
        DWORD size = SETTINGS_STRING_SIZE;
        if (RegQueryValueExA(key.get(), valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) ==
                ERROR_SUCCESS &&
            size <= SETTINGS_STRING_SIZE) {
            buffer[size] = '\0';
            if (strlen(buffer) < SETTINGS_STRING_SIZE) {
                copyText(output, buffer);
                return true;
            }
        }
    }
    copyText(output, defaultText);
    return false;
}

bool writeString(const char* subKey, const char* valueName, const char* text) {
    RegKey key;
    if (!openForWrite(subKey, key)) return false;
    return RegSetValueExA(key.get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(strlen(text) + 1)) == ERROR_SUCCESS;
}

void loadSettings(ConverterContext& ctx) {
    // The fields that hold their option's number as it is.
    static const struct {
        int32_t ConverterContext::*field;
        const char* valueName;
    } plainOptions[] = {
        {&ConverterContext::fAfterDel, "fAfterDel"},        {&ConverterContext::fCurrent, "fCurrent"},
        {&ConverterContext::lhType, "lh-type"},             {&ConverterContext::lhSfxMode, "lhSFX-Mode"},
        {&ConverterContext::tarLevel, "Tar-Level"},         {&ConverterContext::zipLevel, "Zip-Level"},
        {&ConverterContext::cabLevel, "Cab-Level"},         {&ConverterContext::bgaLevel, "Bga-Level"},
        {&ConverterContext::cabMode, "Cab-Mode"},           {&ConverterContext::saveConvertType, "SaveConvertType"},
        {&ConverterContext::askSameConvert, "AskSameConvert"}, {&ConverterContext::sameTime, "SameTime"},
        {&ConverterContext::notConvSfx, "NotConvSfx"},      {&ConverterContext::sort, "Sort"},
    };
    for (const auto& option : plainOptions) ctx.*option.field = readOption(option.valueName);
    // Both directions go through 7-zip32.dll only when it is installed;
    // otherwise the bits the probe set stay as they are.
    if (readOption("fUse7ZipLib") != 0 && (ctx.formats & FMT_7Z)) ctx.fUse7ZipLib |= 3;
    ctx.sevenZipOptions = static_cast<uint32_t>(readOption("7Zip-Level"));
    if (readOption("7Zip-HeadComp") != 0) ctx.sevenZipOptions |= 0x10000;
    if (readOption("7Zip-SolidMode") != 0) ctx.sevenZipOptions |= 0x20000;
    // Searched folders have no single source folder to convert into.
    if (ctx.folderSearch > 0) ctx.fCurrent = -1;
}

bool readStringWide(const char* subKey, const char* valueName, std::wstring& output) {
    output.clear();
    RegKey key;
    if (!openForRead(subKey, key)) return false;
    // Room for one more character than the longest text that counts, so that
    // a value stored without its NUL is still terminated here.
    wchar_t buffer[SETTINGS_STRING_SIZE + 1];
    DWORD size = SETTINGS_STRING_SIZE * sizeof(wchar_t);
    if (RegQueryValueExW(key.get(), toWideName(valueName).c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                         &size) != ERROR_SUCCESS ||
        size > SETTINGS_STRING_SIZE * sizeof(wchar_t))
        return false;
    buffer[size / sizeof(wchar_t)] = L'\0';
    std::wstring text(buffer);
    // The same bound as a destination: 259 characters, and 259 bytes in the
    // ANSI measure, so that a code page 932 entry counts exactly when its
    // ANSI text fits in 260 bytes.
    if (text.size() >= SETTINGS_STRING_SIZE || ansiByteLength(text) >= SETTINGS_STRING_SIZE) return false;
    output.swap(text);
    return true;
}

bool writeStringWide(const char* subKey, const char* valueName, const std::wstring& text) {
    RegKey key;
    if (!openForWrite(subKey, key)) return false;
    return RegSetValueExW(key.get(), toWideName(valueName).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::vector<std::wstring> loadFolderHistory() {
    std::vector<std::wstring> history;
    std::wstring entry;
    for (size_t n = 1; n <= FOLDER_HISTORY_MAX; ++n) {
        if (!readStringWide(FOLDER_HIST, historyValueName(n).c_str(), entry) || entry.empty()) break;
        history.push_back(entry);
    }
    return history;
}

void saveFolderHistory(std::vector<std::wstring>& history, const std::wstring& accepted) {
    for (size_t i = 0; i < history.size(); ++i) {
        if (lstrcmpiW(history[i].c_str(), accepted.c_str()) == 0) {
            history.erase(history.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
    history.insert(history.begin(), accepted);
    if (history.size() > FOLDER_HISTORY_MAX) history.resize(FOLDER_HISTORY_MAX);
    for (size_t i = 0; i < history.size(); ++i)
        writeStringWide(FOLDER_HIST, historyValueName(i + 1).c_str(), history[i]);
}
