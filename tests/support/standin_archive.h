#pragma once
// The stand-in archive format, written and read by the stand-in archiver DLLs
// (tests/standins) and by tests that prepare sources or check results.
//
// A stand-in archive is a byte stream:
//
//   VELTROX-STANDIN-ARCHIVE 1\n
//   MADE-BY <dll file name>\n           which stand-in wrote it ("" if a test did)
//   D <name>\n                          a folder entry
//   F <size> <name>\n<size bytes>\n     a file entry: decimal size, then the bytes
//   END\n
//
// Entries keep the order in which they were written. Names are relative,
// use backslashes and are raw ANSI (code page 932) bytes. Readers look for the
// first line "VELTROX-STANDIN-ARCHIVE 1" anywhere in the file, so anything may
// precede it: a self-extracting stand-in is an executable stub followed by
// the archive, and a test may put a real format's signature in front.
#include <string>
#include <vector>

struct StandinEntry {
    bool folder = false;
    std::string name;   // ANSI, relative, backslash separated
    std::string data;   // file bytes (empty for folders)
};

struct StandinArchive {
    std::string madeBy;
    std::vector<StandinEntry> entries;
};

extern const char STANDIN_ARCHIVE_MAGIC[];   // "VELTROX-STANDIN-ARCHIVE 1\n"

std::string encodeStandinArchive(const StandinArchive& archive);
// Parses the first stand-in archive found in `bytes`. False when there is none
// or it is truncated or malformed.
bool decodeStandinArchive(const std::string& bytes, StandinArchive& archive);

// Whole-file helpers (ANSI paths).
bool readWholeFile(const std::string& path, std::string& bytes);
bool writeWholeFile(const std::string& path, const std::string& bytes);
