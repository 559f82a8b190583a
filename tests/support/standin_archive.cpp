// Encoding and parsing of stand-in archives; shared by the stand-in DLLs and
// the test helpers, so it uses nothing but Win32 and the standard library.
#include "support/standin_archive.h"
#include <windows.h>
#include <cstdlib>

const char STANDIN_ARCHIVE_MAGIC[] = "VELTROX-STANDIN-ARCHIVE 1\n";

std::string encodeStandinArchive(const StandinArchive& archive) {
    std::string out = STANDIN_ARCHIVE_MAGIC;
    out += "MADE-BY " + archive.madeBy + "\n";
    for (const StandinEntry& e : archive.entries) {
        if (e.folder) {
            out += "D " + e.name + "\n";
        } else {
            out += "F " + std::to_string(e.data.size()) + " " + e.name + "\n";
            out += e.data;
            out += "\n";
        }
    }
    out += "END\n";
    return out;
}

namespace {
// Reads one line starting at pos (without its LF); false at the end of input.
bool takeLine(const std::string& bytes, size_t& pos, std::string& line) {
    if (pos >= bytes.size()) return false;
    size_t end = bytes.find('\n', pos);
    if (end == std::string::npos) return false;
    line.assign(bytes, pos, end - pos);
    pos = end + 1;
    return true;
}
}  // namespace

bool decodeStandinArchive(const std::string& bytes, StandinArchive& archive) {
    archive = StandinArchive();
    size_t pos = bytes.find(STANDIN_ARCHIVE_MAGIC);
    if (pos == std::string::npos) return false;
    pos += sizeof(STANDIN_ARCHIVE_MAGIC) - 1;
    std::string line;
    if (!takeLine(bytes, pos, line) || line.compare(0, 8, "MADE-BY ") != 0) return false;
    archive.madeBy = line.substr(8);
    while (takeLine(bytes, pos, line)) {
        if (line == "END") return true;
        StandinEntry e;
        if (line.size() > 2 && line[0] == 'D' && line[1] == ' ') {
            e.folder = true;
            e.name = line.substr(2);
        } else if (line.size() > 2 && line[0] == 'F' && line[1] == ' ') {
            size_t blank = line.find(' ', 2);
            if (blank == std::string::npos) return false;
            char* stop = nullptr;
            unsigned long long size = std::strtoull(line.c_str() + 2, &stop, 10);
            if (stop != line.c_str() + blank) return false;
            e.name = line.substr(blank + 1);
            if (size > bytes.size() - pos || bytes.size() - pos - size < 1) return false;
            e.data.assign(bytes, pos, static_cast<size_t>(size));
            pos += static_cast<size_t>(size);
            if (bytes[pos] != '\n') return false;
            ++pos;
        } else {
            return false;
        }
        archive.entries.push_back(e);
    }
    return false;
}

bool readWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char block[65536];
    DWORD got = 0;
    bool ok = true;
    for (;;) {
        if (!ReadFile(file, block, sizeof block, &got, nullptr)) { ok = false; break; }
        if (got == 0) break;
        bytes.append(block, got);
    }
    CloseHandle(file);
    return ok;
}

bool writeWholeFile(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = bytes.empty() ||
              (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size());
    CloseHandle(file);
    return ok;
}
