#include "engine/identify.h"

#include "archivers/versions.h"
#include "base/handles.h"
#include "base/paths.h"
#include "base/wide_text.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

struct ExtensionFormat {
    const char* extension;
    ArchiveFormat format;
};

// Source extensions, tried in this order; the first match wins.
const ExtensionFormat SOURCE_EXTENSIONS[] = {
    {".lzh", FMT_LZH},   {".cab", FMT_CAB},   {".zip", FMT_UNZIP}, {".arj", FMT_ARJ},
    {".tar", FMT_TAR},   {".bz2", FMT_TARBZ2}, {".gz", FMT_TARGZ}, {".z", FMT_TARGZ},
    {".rar", FMT_RAR},   {".bza", FMT_BZA},   {".gza", FMT_GZA},   {".yz1", FMT_YZ1},
    {".ace", FMT_ACE},   {".7z", FMT_7Z},
};

const ExtensionFormat TARGET_EXTENSIONS[] = {
    {".lzh", FMT_LZH},   {".zip", FMT_ZIP},  {".cab", FMT_CAB},       {".tar", FMT_TAR},
    {".tgz", FMT_TARGZ}, {".tar.bz2", FMT_TARBZ2}, {".bza", FMT_BZA}, {".gza", FMT_GZA},
    {".gca", FMT_GCA},   {".yz1", FMT_YZ1},  {".7z", FMT_7Z},
};

const size_t HEADER_SIZE = 80;
const size_t BLOCK_SIZE = 65536;
const uint64_t SCAN_LIMIT = 0x21000;
const size_t WINDOW_REACH = 20;   // matchSignature reads window[0..20]

// Extensions are plain ASCII, so an ASCII-only case fold is enough; bytes of
// double-byte characters never match.
bool equalsIgnoringCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        char ca = *a, cb = *b;
        if (ca >= 'A' && ca <= 'Z') ca = static_cast<char>(ca - 'A' + 'a');
        if (cb >= 'A' && cb <= 'Z') cb = static_cast<char>(cb - 'A' + 'a');
        if (ca != cb) return false;
        if (ca == '\0') return true;
    }
}

bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool isZeroOrFF(unsigned char c) { return c == 0x00 || c == 0xFF; }

bool readSome(HANDLE file, unsigned char* buffer, size_t size, size_t& count) {
    DWORD got = 0;
    if (!ReadFile(file, buffer, static_cast<DWORD>(size), &got, nullptr)) return false;
    count = got;
    return true;
}

// Reads the header and at most three blocks after it; the file stays open
// only for the duration of this call.
ArchiveFormat scanFile(const std::wstring& path) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return FORMAT_UNKNOWN;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size)) return FORMAT_UNKNOWN;

    unsigned char header[HEADER_SIZE] = {};
    size_t headerRead = 0;
    if (!readSome(file.get(), header, HEADER_SIZE, headerRead)) return FORMAT_UNKNOWN;
    ArchiveFormat format = matchSignature(header);
    if (format != FORMAT_UNKNOWN) return format;
    // Text files are never scanned: a binary file has a zero byte early on.
    if (memchr(header, 0, headerRead) == nullptr) return FORMAT_UNKNOWN;

    std::vector<unsigned char> block(BLOCK_SIZE);
    uint64_t consumed = headerRead;
    int64_t remaining = size.QuadPart - static_cast<int64_t>(headerRead);
    while (remaining > static_cast<int64_t>(WINDOW_REACH) && consumed < SCAN_LIMIT) {
        size_t n = 0;
        if (!readSome(file.get(), block.data(), BLOCK_SIZE, n)) return FORMAT_UNKNOWN;
        // A file that shrank under us would otherwise keep the loop going.
        if (n == 0) break;
        for (size_t i = 0; i + WINDOW_REACH < n; ++i) {
            format = matchSignature(block.data() + i);
            if (format != FORMAT_UNKNOWN) return format;
        }
        consumed += n;
        remaining -= static_cast<int64_t>(n);
    }
    return FORMAT_UNKNOWN;
}

}  // namespace

ArchiveFormat formatByExtension(const char* extension) {
    for (const ExtensionFormat& entry : SOURCE_EXTENSIONS) {
        if (equalsIgnoringCase(extension, entry.extension)) return entry.format;
    }
    return FORMAT_UNKNOWN;
}

std::string asciiExtensionOf(const std::wstring& path) {
    size_t name = path.find_last_of(L'\\');
    name = name == std::wstring::npos ? 0 : name + 1;
    size_t dot = path.find_last_of(L'.');
    if (dot == std::wstring::npos || dot < name) return std::string();
    std::string extension;
    for (size_t i = dot; i < path.size(); ++i) {
        if (path[i] >= 0x80) return std::string();
        extension.push_back(static_cast<char>(path[i]));
    }
    return extension;
}

ArchiveFormat identifyFormat(const std::wstring& path) {
    std::string extension = asciiExtensionOf(path);
    ArchiveFormat byName = extension.empty() ? FORMAT_UNKNOWN : formatByExtension(extension.c_str());
    if (byName != FORMAT_UNKNOWN) return byName;
    bool isExe = equalsIgnoringCase(extension.c_str(), ".exe");
    // DLLs, drivers and the like carry a version resource with another file
    // type; they are never read. Executables are scanned for an archive inside.
    if (!isExe) {
        DWORD type = getFileType(path);
        if (type != 0 && type != VFT_APP) return FORMAT_UNKNOWN;
    }
    return scanFile(path);
}

ArchiveFormat identifyFormat(const char* path) { return identifyFormat(wideFromAnsi(path)); }

ArchiveFormat matchSignature(const unsigned char* b) {
    if (b[2] == '-' && b[3] == 'l') {   // LZH method id "-lh?-" / "-lz?-"
        if (b[4] == 'h' && ((b[19] == 0x20 && b[20] <= 2) || b[20] == 0)) return FMT_LZH;
        if (b[4] == 'z' && b[20] == 0 && isDigit(b[1])) return FMT_LZH;
        return FORMAT_UNKNOWN;
    }
    if (b[0] == 'P' && b[1] == 'K') {
        if (b[2] == 0x03 && b[3] == 0x04 && (b[4] == 0 || b[5] == 0 || b[6] == 0 || b[7] == 0))
            return FMT_UNZIP;
        return FORMAT_UNKNOWN;
    }
    if (memcmp(b, "MSCF", 4) == 0 && b[4] == 0 && b[6] == 0) return FMT_CAB;
    if (memcmp(b, "Rar!", 4) == 0) return FMT_RAR;
    if (b[0] == 0x1F) {   // gzip (1F 8B 08) or compress (1F 9D 90)
        if ((b[1] == 0x8B && b[2] == 0x08) || (b[1] == 0x9D && b[2] == 0x90)) return FMT_TARGZ;
        return FORMAT_UNKNOWN;
    }
    if (memcmp(b, "BZh", 3) == 0) return FMT_TARBZ2;
    if (b[0] == 0x60 && b[1] == 0xEA && b[6] == 0x01 && b[7] == 0x00 && b[8] == 0x10) return FMT_ARJ;
    if (isZeroOrFF(b[2]) && isZeroOrFF(b[3])) {
        if (memcmp(b + 4, "BZ2", 3) == 0) return FMT_BZA;
        if (memcmp(b + 4, "GZI", 3) == 0) return FMT_GZA;
        return FORMAT_UNKNOWN;
    }
    if (b[0] == 'y' && b[1] == 'z' && isDigit(b[2]) && isDigit(b[3]) && b[8] == 0) return FMT_YZ1;
    if (b[5] == 0 && memcmp(b + 7, "**ACE", 5) == 0) return FMT_ACE;
    static const unsigned char SEVEN_ZIP[] = {0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1C};
    if (memcmp(b, SEVEN_ZIP, sizeof SEVEN_ZIP) == 0 && b[6] == 0) return FMT_7Z;
    return FORMAT_UNKNOWN;
}

const char* targetExtension(ArchiveFormat target) {
    for (const ExtensionFormat& entry : TARGET_EXTENSIONS) {
        if (entry.format == target) return entry.extension;
    }
    return nullptr;
}

namespace {

// A file search restricted to the destination folder itself.
bool existsInFolder(const std::wstring& folder, const std::wstring& name) {
    WIN32_FIND_DATAW found;
    FindHandle search(FindFirstFileW((folder + name).c_str(), &found));
    return search.valid();
}

}  // namespace

bool makeOutputName(const ConverterContext& ctx, const std::wstring& stem, ArchiveFormat target, bool sfx,
                    std::wstring& output, size_t outputSize) {
    const char* extensionText = targetExtension(target);
    const std::wstring extension = wideFromAnsi(extensionText ? extensionText : "");
    const std::wstring folder = ctx.destFolder;

    std::wstring candidate = stem + extension;
    std::wstring exeCandidate = sfx ? stem + L".exe" : std::wstring();
    // Both names must be usable as paths: the self-extracting step later
    // writes the ".exe" beside the archive.
    auto fits = [&]() {
        return ansiByteLength(folder + candidate) < outputSize && ansiByteLength(folder + exeCandidate) < outputSize;
    };
    for (int n = 1;; ++n) {
        if (!fits()) return false;
        bool taken = existsInFolder(folder, candidate) ||
                     (!exeCandidate.empty() && existsInFolder(folder, exeCandidate));
        if (!taken) break;
        std::wstring counter = L" (" + std::to_wstring(n) + L")";
        candidate = stem + counter + extension;
        if (!exeCandidate.empty()) exeCandidate = stem + counter + L".exe";
    }
    output = folder + candidate;
    return true;
}
