// Registry access for the converter's settings: four routines that open and
// close the key on every call, the settings load and the destination history.
#include "ui/settings.h"
#include "engine/handles.h"
#include <cstdio>
#include <cstring>

namespace {

const char BASE_KEY[] = "Software\\Kesta\\Veltrox\\";
const char OPTION[] = "option";
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

}  // namespace

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
    ctx.fAfterDel = readDword(OPTION, "fAfterDel", 0);
    ctx.fCurrent = readDword(OPTION, "fCurrent", 0);
    ctx.lhType = readDword(OPTION, "lh-type", 1013);
    ctx.lhSfxMode = readDword(OPTION, "lhSFX-Mode", 1019);
    ctx.tarLevel = readDword(OPTION, "Tar-Level", 6);
    ctx.zipLevel = readDword(OPTION, "Zip-Level", 6);
    ctx.cabLevel = readDword(OPTION, "Cab-Level", 15);
    ctx.bgaLevel = readDword(OPTION, "Bga-Level", 9);
    ctx.cabMode = readDword(OPTION, "Cab-Mode", 0);
    ctx.saveConvertType = readDword(OPTION, "SaveConvertType", 0);
    ctx.askSameConvert = readDword(OPTION, "AskSameConvert", 0);
    ctx.sameTime = readDword(OPTION, "SameTime", 0);
    // Both directions go through 7-zip32.dll only when it is installed;
    // otherwise the bits the probe set stay as they are.
    if (readDword(OPTION, "fUse7ZipLib", 0) != 0 && (ctx.formats & FMT_7Z)) ctx.fUse7ZipLib |= 3;
    ctx.notConvSfx = readDword(OPTION, "NotConvSfx", 0);
    ctx.sort = readDword(OPTION, "Sort", 1);
    ctx.sevenZipOptions = static_cast<uint32_t>(readDword(OPTION, "7Zip-Level", 1));
    if (readDword(OPTION, "7Zip-HeadComp", 1) != 0) ctx.sevenZipOptions |= 0x10000;
    if (readDword(OPTION, "7Zip-SolidMode", 1) != 0) ctx.sevenZipOptions |= 0x20000;
    // Searched folders have no single source folder to convert into.
    if (ctx.folderSearch > 0) ctx.fCurrent = -1;
}

std::vector<std::string> loadFolderHistory() {
    std::vector<std::string> history;
    char entry[SETTINGS_STRING_SIZE];
    for (size_t n = 1; n <= FOLDER_HISTORY_MAX; ++n) {
        readString(FOLDER_HIST, historyValueName(n).c_str(), entry, "");
        if (entry[0] == '\0') break;
        history.push_back(entry);
    }
    return history;
}

void saveFolderHistory(std::vector<std::string>& history, const std::string& accepted) {
    for (size_t i = 0; i < history.size(); ++i) {
        if (lstrcmpiA(history[i].c_str(), accepted.c_str()) == 0) {
            history.erase(history.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
    history.insert(history.begin(), accepted);
    if (history.size() > FOLDER_HISTORY_MAX) history.resize(FOLDER_HISTORY_MAX);
    for (size_t i = 0; i < history.size(); ++i)
        writeString(FOLDER_HIST, historyValueName(i + 1).c_str(), history[i].c_str());
}
