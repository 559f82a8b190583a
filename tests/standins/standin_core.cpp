// What a stand-in archiver DLL does when it is called: it understands the
// command-line shapes the converter sends (extraction, compression,
// self-extracting archive), performs them on stand-in archives, and logs every
// call. Behaviour is read from STANDIN_* environment variables at every call,
// so a test in the same process can change it between calls.
#include "standin.h"
#include "support/text.h"
#include "archivers/individual_info.h"
#include "support/standin_archive.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The DLL's Unicode mode (<Command>SetUnicodeMode): command lines, response
// files and the listing are UTF-8 then (what is logged stays as given).
bool unicodeMode = false;

const int RESULT_BAD_COMMAND = 0x8001;   // command not understood
const int RESULT_FAILED = 0x8010;        // archive unreadable, file missing, write failed

bool readEnv(const std::string& name, std::string& value) {
    char small[1024];
    DWORD n = GetEnvironmentVariableA(name.c_str(), small, sizeof small);
    if (n == 0) return false;
    if (n < sizeof small) { value.assign(small, n); return true; }
    std::vector<char> big(n);
    DWORD m = GetEnvironmentVariableA(name.c_str(), big.data(), n);
    if (m == 0 || m >= n) return false;
    value.assign(big.data(), m);
    return true;
}

std::string setting(const StandinIdentity& id, const char* what) {
    std::string value;
    readEnv(std::string("STANDIN_") + id.key + "_" + what, value);
    return value;
}

long settingNumber(const StandinIdentity& id, const char* what, long fallback) {
    std::string text = setting(id, what);
    if (text.empty()) return fallback;
    return std::strtol(text.c_str(), nullptr, 0);
}

std::string currentFolder() {
    char buffer[MAX_PATH * 2];
    DWORD n = GetCurrentDirectoryA(sizeof buffer, buffer);
    return (n > 0 && n < sizeof buffer) ? std::string(buffer, n) : std::string();
}

std::string fullPath(const std::string& path) {
    char buffer[MAX_PATH * 2];
    DWORD n = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
    return (n > 0 && n < sizeof buffer) ? std::string(buffer, n) : path;
}

// Appends a record to the log named by STANDIN_LOG (nothing when unset).
void appendLog(const std::string& record) {
    std::string path;
    if (!readEnv("STANDIN_LOG", path)) return;
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    CloseHandle(file);
}

std::string recordHead(const StandinIdentity& id, const char* exportName) {
    return std::string("call\t") + id.dllName + "\t" + exportName + "\ncwd\t" + currentFolder() + "\n";
}

void logSimpleCall(const StandinIdentity& id, const char* exportName, long result) {
    appendLog(recordHead(id, exportName) + "result\t" + std::to_string(result) + "\n\n");
}

struct Token {
    std::string text;
    bool quoted;
};

// Splits at blanks; a double-quoted token keeps its inside (blanks included).
std::vector<Token> tokenize(const char* line) {
    std::vector<Token> tokens;
    const char* p = line;
    for (;;) {
        while (*p == ' ' || *p == '\t') ++p;
        if (!*p) break;
        Token t{std::string(), false};
        if (*p == '"') {
            t.quoted = true;
            ++p;
            while (*p && *p != '"') t.text += *p++;
            if (*p == '"') ++p;
        } else {
            while (*p && *p != ' ' && *p != '\t') t.text += *p++;
        }
        tokens.push_back(t);
    }
    return tokens;
}

enum class Operation { Unknown, Extract, Compress, SelfExtract };

struct Command {
    Operation operation = Operation::Unknown;
    std::vector<std::string> switches;
    std::vector<std::string> arguments;   // archive, folder, then file specs
};

// Recognises the converter's command shapes: a leading command letter
// (e/x extract, a/c compress, s self-extract) or a leading switch (-x.. extract,
// -a, -c.., -S compress, --sfx and -f self-extract); "--display-*" switches
// are skipped when deciding.
Command parseCommand(const char* line) {
    Command c;
    std::vector<Token> tokens = tokenize(line);
    size_t i = 0;
    if (!tokens.empty() && !tokens[0].quoted && tokens[0].text.size() == 1) {
        char letter = tokens[0].text[0];
        if (letter == 'e' || letter == 'x') c.operation = Operation::Extract;
        if (letter == 'a' || letter == 'c') c.operation = Operation::Compress;
        if (letter == 's') c.operation = Operation::SelfExtract;
        i = 1;
    }
    for (; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (!t.quoted && t.text.size() > 1 && t.text[0] == '-') {
            c.switches.push_back(t.text);
            if (c.operation != Operation::Unknown || t.text.compare(0, 10, "--display-") == 0) continue;
            if (t.text == "--sfx" || t.text == "-f") c.operation = Operation::SelfExtract;
            else if (t.text.compare(0, 2, "-x") == 0) c.operation = Operation::Extract;
            else if (t.text == "-a" || t.text == "-S" || t.text.compare(0, 2, "-c") == 0)
                c.operation = Operation::Compress;
        } else {
            c.arguments.push_back(t.text);
        }
    }
    return c;
}

bool isFolder(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string withBackslash(std::string path) {
    if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
    return path;
}

// Creates every missing folder of `path` (which names a folder).
void makeFolders(const std::string& path) {
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\') {
            std::string prefix = path.substr(0, i);
            if (!prefix.empty() && !isFolder(prefix)) CreateDirectoryA(prefix.c_str(), nullptr);
        }
        // A lead byte of code page 932 swallows the next byte, which may be 0x5C.
        if (i < path.size() && IsDBCSLeadByte(static_cast<BYTE>(path[i]))) ++i;
    }
}

std::string parentOf(const std::string& path) {
    size_t cut = std::string::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '\\') cut = i;
        else if (IsDBCSLeadByte(static_cast<BYTE>(path[i]))) ++i;
    }
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

// ---- Extra extraction behaviours (STANDIN_<KEY>_EXTRA, _READBACK) ----

std::wstring wideSetting(const StandinIdentity& id, const char* what) {
    std::wstring name = L"STANDIN_";
    for (const char* p = id.key; *p; ++p) name += static_cast<wchar_t>(*p);
    name += L"_";
    for (const char* p = what; *p; ++p) name += static_cast<wchar_t>(*p);
    DWORD n = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (n == 0) return std::wstring();
    std::wstring value(n, L'\0');
    n = GetEnvironmentVariableW(name.c_str(), &value[0], n);
    value.resize(n);
    return value;
}

std::wstring wideOf(const std::string& ansi) {
    int n = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
    std::wstring wide(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, &wide[0], n);
    return wide;
}

// The Unix path Wine maps a Windows path to (the last part may be missing).
std::string unixPathOf(const std::wstring& path) {
    typedef char*(CDECL * ToUnix)(LPCWSTR);
    ToUnix toUnix = reinterpret_cast<ToUnix>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name"));
    if (!toUnix) return std::string();
    char* unix = toUnix(path.c_str());
    if (!unix) return std::string();
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

// A Unix symbolic link made with the Linux system call itself, as an archiver
// that restores links would leave it; Wine has no call of its own for it.
long linuxSymlink(const char* target, const char* link) {
    long result = -1;
#if defined(__i386__)
    __asm__ volatile("int $0x80" : "=a"(result) : "a"(83), "b"(target), "c"(link) : "memory");
#elif defined(__x86_64__)
    __asm__ volatile("syscall" : "=a"(result) : "a"(88), "D"(target), "S"(link) : "rcx", "r11", "memory");
#endif
    return result;
}

// Creates every folder of a "\\?\" path up to its last backslash.
void makeLongFolders(const std::wstring& path) {
    for (size_t i = 7; i < path.size(); ++i)
        if (path[i] == L'\\') CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
}

// STANDIN_<KEY>_EXTRA (UTF-16), entries separated by "|": "f:<name>" adds a
// file holding "extra" (names and depths that the ANSI API cannot reach are
// fine); "l:<name>><Windows path>" adds a symbolic link to that path.
bool addExtras(const StandinIdentity& id, const std::string& dest, std::string& error) {
    std::wstring extras = wideSetting(id, "EXTRA");
    std::wstring base = L"\\\\?\\" + wideOf(dest);
    size_t pos = 0;
    while (pos < extras.size()) {
        size_t end = extras.find(L'|', pos);
        if (end == std::wstring::npos) end = extras.size();
        std::wstring item = extras.substr(pos, end - pos);
        pos = end + 1;
        if (item.size() < 3) continue;
        std::wstring name = item.substr(2);
        if (item[0] == L'f') {
            std::wstring path = base + name;
            makeLongFolders(path);
            HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (file == INVALID_HANDLE_VALUE) { error = "cannot write an extra file"; return false; }
            DWORD written = 0;
            WriteFile(file, "extra", 5, &written, nullptr);
            CloseHandle(file);
        } else if (item[0] == L'l') {
            size_t arrow = name.find(L'>');
            if (arrow == std::wstring::npos) continue;
            std::wstring linkPath = wideOf(dest) + name.substr(0, arrow);
            makeLongFolders(L"\\\\?\\" + linkPath);
            std::string target = unixPathOf(name.substr(arrow + 1));
            std::string link = unixPathOf(linkPath);
            if (target.empty() || link.empty() || linuxSymlink(target.c_str(), link.c_str()) != 0) {
                error = "cannot make a link";
                return false;
            }
        }
    }
    return true;
}

// STANDIN_<KEY>_READBACK: "<change|drop>:<archive file name>" separated by
// ";". When this archive is extracted, "change" flips the first byte of its
// first file and "drop" deletes its last file: an archive that does not hold
// what was packed.
void spoilExtraction(const StandinIdentity& id, const std::string& archivePath, const StandinArchive& archive,
                     const std::string& dest) {
    std::string spec = setting(id, "READBACK");
    std::string archiveName = archivePath.substr(parentOf(archivePath).size() + 1);
    size_t pos = 0;
    while (pos < spec.size()) {
        size_t end = spec.find(';', pos);
        if (end == std::string::npos) end = spec.size();
        std::string item = spec.substr(pos, end - pos);
        pos = end + 1;
        size_t colon = item.find(':');
        if (colon == std::string::npos || lstrcmpiA(item.substr(colon + 1).c_str(), archiveName.c_str()) != 0) continue;
        std::string op = item.substr(0, colon);
        const StandinEntry* first = nullptr;
        const StandinEntry* last = nullptr;
        for (const StandinEntry& e : archive.entries)
            if (!e.folder && !e.data.empty()) {
                if (!first) first = &e;
                last = &e;
            }
        if (op == "change" && first) {
            std::string data = first->data;
            data[0] = static_cast<char>(data[0] ^ 0x20);
            writeWholeFile(dest + first->name, data);
        } else if (op == "drop" && last) {
            DeleteFileA((dest + last->name).c_str());
        }
    }
}

bool extract(const StandinIdentity& id, const Command& c, std::string& error) {
    if (c.arguments.empty()) { error = "no archive named"; return false; }
    std::string bytes;
    StandinArchive archive;
    if (!readWholeFile(fullPath(c.arguments[0]), bytes)) { error = "cannot read archive"; return false; }
    if (!decodeStandinArchive(bytes, archive)) { error = "not a stand-in archive"; return false; }
    std::string dest = withBackslash(fullPath(c.arguments.size() > 1 ? c.arguments[1] : currentFolder()));
    makeFolders(dest);
    for (const StandinEntry& e : archive.entries) {
        std::string target = dest + e.name;
        if (e.folder) {
            makeFolders(target);
            continue;
        }
        std::string parent = parentOf(target);
        if (!parent.empty()) makeFolders(parent);
        if (!writeWholeFile(target, e.data)) { error = "cannot write " + target; return false; }
    }
    spoilExtraction(id, fullPath(c.arguments[0]), archive, dest);
    return addExtras(id, dest, error);
}

struct Packer {
    std::string base;          // with trailing backslash
    std::string skip;          // the archive itself, never packed into itself
    StandinArchive archive;
    std::string error;

    bool addFile(const std::string& name) {
        StandinEntry e;
        e.name = name;
        if (!readWholeFile(base + name, e.data)) { error = "cannot read " + base + name; return false; }
        archive.entries.push_back(e);
        return true;
    }
    // Adds what matches `pattern` in base\prefix, recursing into every folder.
    bool addMatches(const std::string& prefix, const std::string& pattern) {
        WIN32_FIND_DATAA found;
        HANDLE find = FindFirstFileA((base + prefix + pattern).c_str(), &found);
        if (find == INVALID_HANDLE_VALUE) return true;
        bool ok = true;
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            std::string relative = prefix + name;
            if (lstrcmpiA(fullPath(base + relative).c_str(), skip.c_str()) == 0) continue;
            ok = addNamed(relative);
        } while (ok && FindNextFileA(find, &found));
        FindClose(find);
        return ok;
    }
    bool addNamed(const std::string& relative) {
        if (isFolder(base + relative)) {
            StandinEntry e;
            e.folder = true;
            e.name = relative;
            archive.entries.push_back(e);
            return addMatches(relative + "\\", "*");
        }
        return addFile(relative);
    }
    bool addSpec(const std::string& spec) {
        if (spec == "*" || spec == "*.*") return addMatches("", "*");
        if (spec.find_first_of("*?") != std::string::npos) return addMatches("", spec);
        if (GetFileAttributesA((base + spec).c_str()) == INVALID_FILE_ATTRIBUTES) {
            error = "missing " + spec;
            return false;
        }
        return addNamed(spec);
    }
};

// Lines of a list file without line ends and surrounding double quotes.
std::vector<std::string> listEntries(const std::vector<std::string>& lines) {
    std::vector<std::string> names;
    for (std::string line : lines) {
        if (line.size() >= 2 && line.front() == '"' && line.back() == '"') line = line.substr(1, line.size() - 2);
        if (!line.empty()) names.push_back(line);
    }
    return names;
}

std::vector<std::string> fileLines(const std::string& path) {
    std::vector<std::string> lines;
    std::string bytes;
    if (!readWholeFile(path, bytes)) return lines;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        pos = end + 1;
    }
    return lines;
}

bool compress(const StandinIdentity& id, const Command& c, std::string& error) {
    if (c.arguments.empty()) { error = "no archive named"; return false; }
    Packer packer;
    std::string archivePath = fullPath(c.arguments[0]);
    packer.skip = archivePath;
    packer.base = withBackslash(fullPath(c.arguments.size() > 1 ? c.arguments[1] : currentFolder()));
    packer.archive.madeBy = id.dllName;
    std::vector<std::string> specs(c.arguments.begin() + (c.arguments.size() > 1 ? 2 : 1), c.arguments.end());
    if (specs.empty()) specs.push_back("*");
    for (const std::string& spec : specs) {
        bool ok = true;
        if (!spec.empty() && spec[0] == '@') {
            std::vector<std::string> lines = fileLines(fullPath(spec.substr(1)));
            if (unicodeMode)
                for (std::string& line : lines) line = toAnsi(line);
            for (const std::string& name : listEntries(lines))
                if (!(ok = packer.addSpec(name))) break;
        } else {
            ok = packer.addSpec(spec);
        }
        if (!ok) { error = packer.error; return false; }
    }
    if (!writeWholeFile(archivePath, encodeStandinArchive(packer.archive))) {
        error = "cannot write " + archivePath;
        return false;
    }
    return true;
}

// The executable is a stub followed by the archive's bytes, written as
// <destination><archive stem>.exe like the real self-extractor commands do.
bool selfExtract(const StandinIdentity& id, const Command& c, std::string& error) {
    if (c.arguments.size() < 2) { error = "archive and destination expected"; return false; }
    std::string archivePath = fullPath(c.arguments[0]);
    std::string bytes;
    if (!readWholeFile(archivePath, bytes)) { error = "cannot read archive"; return false; }
    std::string name = archivePath.substr(parentOf(archivePath).size() + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
    std::string exe = withBackslash(fullPath(c.arguments[1])) + name + ".exe";
    std::string stub = std::string("MZ STANDIN-SFX ") + id.dllName + "\n";
    if (!writeWholeFile(exe, stub + bytes)) { error = "cannot write " + exe; return false; }
    return true;
}

std::string describeLoad(const std::string& name) {
    HMODULE module = LoadLibraryA(name.c_str());
    if (!module) return "load\t" + name + "\tfailed\n";
    char path[MAX_PATH * 2] = "";
    GetModuleFileNameA(module, path, sizeof path);
    FreeLibrary(module);
    return "load\t" + name + "\t" + path + "\n";
}

}  // namespace

int standinRunCommand(const StandinIdentity& id, HWND owner, LPCSTR commandLine, LPSTR output,
                      DWORD outputSize) {
    std::string record = recordHead(id, id.commandName);
    char ownerText[32];
    std::snprintf(ownerText, sizeof ownerText, "%p", static_cast<void*>(owner));
    record += std::string("owner\t") + ownerText + "\n";
    record += "bufsize\t" + std::to_string(outputSize) + "\n";
    record += "outfirst\t" + std::to_string(output && outputSize ? static_cast<unsigned char>(output[0]) : -1) + "\n";
    record += std::string("cmd\t") + (commandLine ? commandLine : "") + "\n";

    std::string text = commandLine ? commandLine : "";
    Command command = parseCommand(unicodeMode ? toAnsi(text).c_str() : text.c_str());
    for (const std::string& argument : command.arguments) {
        if (argument.size() > 1 && argument[0] == '@')
            for (const std::string& line : fileLines(fullPath(argument.substr(1)))) record += "list\t" + line + "\n";
    }

    std::string toLoad = setting(id, "LOADLIBRARY");
    if (!toLoad.empty()) record += describeLoad(toLoad);

    int result = static_cast<int>(settingNumber(id, "RESULT", 0));
    std::string action = setting(id, "ACTION");
    bool perform = action == "always" || (action != "none" && result == 0);
    if (perform) {
        std::string error;
        bool ok = false;
        switch (command.operation) {
        case Operation::Extract: ok = extract(id, command, error); break;
        case Operation::Compress: ok = compress(id, command, error); break;
        case Operation::SelfExtract: ok = selfExtract(id, command, error); break;
        case Operation::Unknown: error = "command not understood"; break;
        }
        if (!ok) {
            record += "error\t" + error + "\n";
            if (result == 0) result = command.operation == Operation::Unknown ? RESULT_BAD_COMMAND : RESULT_FAILED;
        }
        // zip32j.dll keeps its helper izip32j.dll loaded after compressing.
        if (ok && command.operation == Operation::Compress && std::strcmp(id.key, "ZIP32J") == 0)
            if (LoadLibraryA("izip32j.dll")) record += "keep\tizip32j.dll\n";
    }
    if (output && outputSize) {
        const char text[] = "stand-in archiver output";
        lstrcpynA(output, text, static_cast<int>(outputSize < sizeof text ? outputSize : sizeof text));
    }
    record += "result\t" + std::to_string(result) + "\n\n";
    appendLog(record);
    return result;
}

namespace {

struct ListedItem {
    std::string name;
    DWORD size;
    std::string attribute;
};

struct Listing {
    std::vector<ListedItem> items;
    size_t next = 0;
    bool utf8 = false;   // opened in Unicode mode: names reported in UTF-8
};

// tar32.dll names entries as stored ("./d/", "./d/f.txt", folders with the
// attribute "----" and a trailing "/"); the others "d\f.txt" with folders
// marked "D".
ListedItem listedItem(const StandinIdentity& id, const std::string& name, bool folder, size_t size) {
    bool tar = std::strcmp(id.key, "TAR32") == 0;
    ListedItem item{name, static_cast<DWORD>(size), folder ? "D" : "A"};
    if (tar) {
        for (char& c : item.name)
            if (c == '\\') c = '/';
        item.name = "./" + item.name + (folder ? "/" : "");
        item.attribute = "----";
    }
    return item;
}

}  // namespace

// STANDIN_<KEY>_LISTING: "fail", or "|"-separated entries added to the
// listing: "f:<name>" a 5-byte file, "d:<name>" a folder (names raw ANSI, as
// the DLL reports them).
HANDLE standinOpenListing(const StandinIdentity& id, HWND, LPCSTR archivePath, DWORD) {
    // A companion the DLL needs (unrar32.dll's unrar.dll): without it the
    // archive cannot be opened.
    std::string companion = setting(id, "LOADLIBRARY");
    if (!companion.empty()) {
        HMODULE module = LoadLibraryA(companion.c_str());
        if (!module) return nullptr;
        FreeLibrary(module);
    }
    std::string spec = setting(id, "LISTING");
    std::string bytes;
    StandinArchive archive;
    std::string path = archivePath ? archivePath : "";
    if (unicodeMode) path = toAnsi(path);
    if (spec == "fail" || !readWholeFile(fullPath(path), bytes) ||
        !decodeStandinArchive(bytes, archive))
        return nullptr;
    Listing* listing = new Listing;
    listing->utf8 = unicodeMode;
    if (std::strcmp(id.key, "TAR32") == 0) listing->items.push_back(ListedItem{"./", 0, "----"});
    for (const StandinEntry& e : archive.entries) listing->items.push_back(listedItem(id, e.name, e.folder, e.data.size()));
    size_t pos = 0;
    while (pos < spec.size()) {
        size_t end = spec.find('|', pos);
        if (end == std::string::npos) end = spec.size();
        std::string item = spec.substr(pos, end - pos);
        pos = end + 1;
        if (item.size() > 2 && item[1] == ':') listing->items.push_back(listedItem(id, item.substr(2), item[0] == 'd', 5));
    }
    return reinterpret_cast<HANDLE>(listing);
}

int standinCloseListing(HANDLE handle) {
    delete reinterpret_cast<Listing*>(handle);
    return 0;
}

int standinFindEntry(HANDLE handle, LPCSTR pattern, void* record) {
    Listing* listing = reinterpret_cast<Listing*>(handle);
    if (!listing || !record) return 1;
    if (pattern) listing->next = 0;
    if (listing->next >= listing->items.size()) return -1;
    const ListedItem& item = listing->items[listing->next++];
    IndividualInfo& out = *static_cast<IndividualInfo*>(record);
    std::memset(&out, 0, sizeof out);
    out.dwOriginalSize = out.dwCompressedSize = item.size;
    std::string name = listing->utf8 ? fromAnsi(item.name) : item.name;
    lstrcpynA(out.szFileName, name.c_str(), sizeof out.szFileName);
    lstrcpynA(out.szAttribute, item.attribute.c_str(), sizeof out.szAttribute);
    return 0;
}

WORD standinReportVersion(const StandinIdentity& id) {
    WORD version = static_cast<WORD>(settingNumber(id, "VERSION", static_cast<long>(id.defaultVersion)));
    logSimpleCall(id, id.versionName, version);
    return version;
}

void standinFillZpVersion(const StandinIdentity& id, unsigned char* record) {
    std::memset(record, 0, 64);
    record[0] = 64;
    std::memcpy(record + 4, "stand-in", 8);
    unsigned a = 2, b = 3, c = 0;
    std::string text = setting(id, "RECORD");
    if (!text.empty()) std::sscanf(text.c_str(), "%u,%u,%u", &a, &b, &c);
    record[56] = static_cast<unsigned char>(a);
    record[57] = static_cast<unsigned char>(b);
    record[58] = static_cast<unsigned char>(c);
    logSimpleCall(id, "ZpVersion", static_cast<long>(a * 10000 + b * 100 + c));
}

BOOL standinSetUnicodeMode(const StandinIdentity& id, BOOL unicode) {
    std::string name = std::string(id.commandName) + "SetUnicodeMode";
    logSimpleCall(id, name.c_str(), unicode ? 1 : 0);
    unicodeMode = unicode != FALSE;
    return TRUE;
}

int standinReportRarVersion(const StandinIdentity& id) {
    int version = static_cast<int>(settingNumber(id, "VERSION", static_cast<long>(id.defaultVersion)));
    logSimpleCall(id, "RARGetDllVersion", version);
    return version;
}
