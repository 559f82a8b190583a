#include "support/standins.h"
#include <cctype>
#include <cstdio>
#include <cstdlib>

const char* const STANDIN_ARCHIVER_DLLS[11] = {"unlha32.dll", "unzip32.dll", "zip32j.dll",  "cab32.dll",
                                               "unarj32j.dll", "tar32.dll",  "unrar32.dll", "bga32.dll",
                                               "ungca32.dll", "yz1.dll",     "7-zip32.dll"};
const char* const STANDIN_COMPANION_DLLS[4] = {"zip32.dll", "unrar.dll", "bz2lib.dll", "izip32j.dll"};

namespace {
std::string parentFolder(const std::string& path) {
    size_t cut = path.find_last_of('\\', path.size() >= 2 ? path.size() - 2 : 0);
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

void setEnv(const std::string& name, const std::string& value) {
    SetEnvironmentVariableA(name.c_str(), value.c_str());
}
}  // namespace

std::string standinsRoot() {
    char exe[MAX_PATH * 2] = "";
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    // <build>\tests\program.exe -> <build>\standins\ .
    return parentFolder(parentFolder(exe)) + "standins\\";
}

std::string standinKey(const std::string& dll) {
    std::string key = "STANDIN_";
    for (char c : dll.substr(0, dll.rfind('.')))
        if (std::isalnum(static_cast<unsigned char>(c))) key += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

StandinFolder::StandinFolder(std::initializer_list<const char*> dlls, StandinSet set) {
    char saved[32768];
    DWORD n = GetEnvironmentVariableA("PATH", saved, sizeof saved);
    hadPath_ = n > 0 && n < sizeof saved;
    if (hadPath_) savedPath_.assign(saved, n);
    std::string folder = path().substr(0, path().size() - 1);
    setEnv("PATH", hadPath_ ? folder + ";" + savedPath_ : folder);
    setEnv("STANDIN_LOG", logPath());
    clearStandinBehaviour();
    for (const char* dll : dlls) add(dll, set);
}

StandinFolder::~StandinFolder() {
    clearStandinBehaviour();
    SetEnvironmentVariableA("STANDIN_LOG", nullptr);
    SetEnvironmentVariableA("PATH", hadPath_ ? savedPath_.c_str() : nullptr);
}

void StandinFolder::add(const std::string& dll, StandinSet set) {
    std::string from = standinsRoot();
    if (dll.size() > 4 && dll.compare(dll.size() - 4, 4, ".exe") == 0) from += "files\\";
    else from += set == StandinSet::Full ? "full\\" : "noversion\\";
    from += dll;
    if (!CopyFileA(from.c_str(), (path() + dll).c_str(), FALSE)) {
        std::fprintf(stderr, "stand-in %s could not be copied (%lu)\n", from.c_str(), GetLastError());
        std::abort();   // a missing stand-in would silently test the wrong thing
    }
}

void StandinFolder::addFile(const std::string& name, const std::string& bytes) {
    writeWholeFile(path() + name, bytes);
}

void StandinFolder::remove(const std::string& name) { DeleteFileA((path() + name).c_str()); }

void setStandinVersion(const std::string& dll, unsigned version) {
    setEnv(standinKey(dll) + "_VERSION", std::to_string(version));
}
void setStandinResult(const std::string& dll, int result) {
    setEnv(standinKey(dll) + "_RESULT", std::to_string(result));
}
void setStandinAction(const std::string& dll, const std::string& action) {
    setEnv(standinKey(dll) + "_ACTION", action);
}
void setStandinLoadLibrary(const std::string& dll, const std::string& name) {
    setEnv(standinKey(dll) + "_LOADLIBRARY", name);
}
void setStandinExtra(const std::string& dll, const std::wstring& items) {
    std::string name = standinKey(dll) + "_EXTRA";
    SetEnvironmentVariableW(std::wstring(name.begin(), name.end()).c_str(), items.c_str());
}
void setStandinListing(const std::string& dll, const std::string& spec) {
    setEnv(standinKey(dll) + "_LISTING", spec);
}
void setStandinReadBack(const std::string& dll, const std::string& spec) {
    setEnv(standinKey(dll) + "_READBACK", spec);
}
void setZip32Record(unsigned char b56, unsigned char b57, unsigned char b58) {
    char text[32];
    std::snprintf(text, sizeof text, "%u,%u,%u", b56, b57, b58);
    setEnv("STANDIN_ZIP32_RECORD", text);
}
void setUnrarVersion(int version) { setEnv("STANDIN_UNRAR_VERSION", std::to_string(version)); }

void clearStandinBehaviour() {
    std::vector<std::string> names;
    char* block = GetEnvironmentStringsA();
    for (const char* p = block; p && *p; p += lstrlenA(p) + 1) {
        std::string entry = p;
        size_t eq = entry.find('=', 1);
        std::string name = entry.substr(0, eq);
        if (name.compare(0, 8, "STANDIN_") == 0 && name != "STANDIN_LOG") names.push_back(name);
    }
    if (block) FreeEnvironmentStringsA(block);
    for (const std::string& name : names) SetEnvironmentVariableA(name.c_str(), nullptr);
}

std::vector<StandinCall> readStandinLog(const std::string& logPath) {
    std::vector<StandinCall> calls;
    std::string bytes;
    if (!readWholeFile(logPath, bytes)) return calls;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(pos, end - pos);
        pos = end + 1;
        size_t tab = line.find('\t');
        if (tab == std::string::npos) continue;
        std::string field = line.substr(0, tab), value = line.substr(tab + 1);
        if (field == "call") {
            StandinCall call;
            size_t second = value.find('\t');
            call.dll = value.substr(0, second);
            call.exportName = second == std::string::npos ? std::string() : value.substr(second + 1);
            calls.push_back(call);
            continue;
        }
        if (calls.empty()) continue;
        StandinCall& call = calls.back();
        if (field == "cwd") call.currentFolder = value;
        else if (field == "owner") call.owner = value;
        else if (field == "bufsize") call.bufferSize = std::strtol(value.c_str(), nullptr, 10);
        else if (field == "outfirst") call.outputFirstByte = std::atoi(value.c_str());
        else if (field == "cmd") call.commandLine = value;
        else if (field == "list") call.listLines.push_back(value);
        else if (field == "load") call.loads.push_back(value);
        else if (field == "error") call.error = value;
        else if (field == "result") call.result = std::strtol(value.c_str(), nullptr, 10);
    }
    return calls;
}

std::vector<StandinCall> readStandinCommands(const std::string& logPath) {
    std::vector<StandinCall> commands;
    for (const StandinCall& call : readStandinLog(logPath))
        if (call.bufferSize >= 0) commands.push_back(call);
    return commands;
}

void clearStandinLog(const std::string& logPath) { DeleteFileA(logPath.c_str()); }

bool writeStandinArchive(const std::string& path, const StandinArchive& archive) {
    return writeWholeFile(path, encodeStandinArchive(archive));
}

bool readStandinArchive(const std::string& path, StandinArchive& archive) {
    std::string bytes;
    return readWholeFile(path, bytes) && decodeStandinArchive(bytes, archive);
}

std::vector<std::string> describeStandinArchive(const StandinArchive& archive) {
    std::vector<std::string> lines;
    for (const StandinEntry& e : archive.entries)
        lines.push_back(e.folder ? "D " + e.name : "F " + e.name + "=" + e.data);
    return lines;
}

