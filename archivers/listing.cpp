// Listing through the archiver DLL convention's enumeration exports.
#include "archivers/listing.h"

#include "archivers/binding.h"
#include "archivers/command_line.h"
#include "archivers/individual_info.h"
#include "archivers/unicode_mode.h"
#include "base/wide_text.h"

#include <windows.h>
#include <cstring>

namespace {

// Some DLLs write past the record they document; they get a larger buffer.
struct RecordBuffer {
    IndividualInfo info;
    char spare[1024];
};

typedef HANDLE(WINAPI* OpenArchiveProc)(HWND, LPCSTR, DWORD);
typedef int(WINAPI* CloseArchiveProc)(HANDLE);
typedef int(WINAPI* FindFirstProc)(HANDLE, LPCSTR, void*);
typedef int(WINAPI* FindNextProc)(HANDLE, void*);

template <typename Proc>
Proc exportOf(HMODULE module, const std::string& prefix, const char* suffix) {
    return reinterpret_cast<Proc>(GetProcAddress(module, (prefix + suffix).c_str()));
}

// A text field of the record up to its terminator, never past the field.
std::string field(const char* text, size_t size) {
    size_t length = 0;
    while (length < size && text[length]) ++length;
    return std::string(text, length);
}

// Whether the last character of an ANSI name is "/" or "\" (a trail byte
// 0x5C of a double-byte character is no separator).
bool endsInSeparator(const std::string& name) {
    bool last = false;
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (IsDBCSLeadByte(c) && i + 1 < name.size()) {
            ++i;
            last = false;
        } else {
            last = c == '/' || c == '\\';
        }
    }
    return last;
}

ListedEntry entryOf(const IndividualInfo& info) {
    ListedEntry entry;
    entry.name = field(info.szFileName, sizeof info.szFileName);
    entry.size = info.dwOriginalSize;
    std::string attribute = field(info.szAttribute, sizeof info.szAttribute);
    entry.folder = attribute.find('D') != std::string::npos || attribute.find('d') != std::string::npos ||
                   endsInSeparator(entry.name);
    return entry;
}

// An entry listed in Unicode mode: its UTF-8 name as UTF-16, and as ANSI
// text where it has an exact form. False for a name that is not UTF-8.
bool fromUtf8(ListedEntry& entry) {
    if (!wideFromUtf8(entry.name, entry.wide)) return false;
    entry.outsideAnsi = !exactAnsiForm(entry.wide, entry.name);
    if (!entry.wide.empty() && (entry.wide.back() == L'/' || entry.wide.back() == L'\\')) entry.folder = true;
    return true;
}

// The archive handle, closed when the listing ends.
struct OpenedArchive {
    HANDLE handle;
    CloseArchiveProc close;
    ~OpenedArchive() {
        if (handle) close(handle);
    }
};

}  // namespace

ListingResult listArchive(ConverterContext& ctx, ArchiveFormat format, const char* archivePath,
                          std::vector<ListedEntry>& entries) {
    entries.clear();
    const char* prefixName = commandExportName(format);
    HMODULE module = archiverModule(ctx, format);
    if (!prefixName || !module) return ListingResult::unsupported;
    std::string prefix = prefixName;
    OpenArchiveProc open = exportOf<OpenArchiveProc>(module, prefix, "OpenArchive");
    CloseArchiveProc close = exportOf<CloseArchiveProc>(module, prefix, "CloseArchive");
    FindFirstProc findFirst = exportOf<FindFirstProc>(module, prefix, "FindFirst");
    FindNextProc findNext = exportOf<FindNextProc>(module, prefix, "FindNext");
    if (!open || !close || !findFirst || !findNext) return ListingResult::unsupported;

    // Like every call into an archiver DLL: its folder on the DLL search and
    // the current folder put back afterwards. The mode is set back after the
    // archive is closed, both inside the scope.
    ArchiverCallScope scope(module);
    UnicodeModeScope unicode(findUnicodeMode(module, prefixName));
    std::string path = unicode.active() ? utf8FromAnsi(archivePath) : std::string(archivePath);
    OpenedArchive archive{open(ctx.ownerWindow, path.c_str(), 0), close};
    if (!archive.handle) return ListingResult::failed;
    RecordBuffer buffer;
    std::memset(&buffer, 0, sizeof buffer);
    int result = findFirst(archive.handle, "*", &buffer);
    while (result == 0) {
        entries.push_back(entryOf(buffer.info));
        if (unicode.active() && !fromUtf8(entries.back())) {
            entries.clear();
            return ListingResult::failed;
        }
        std::memset(&buffer, 0, sizeof buffer);
        result = findNext(archive.handle, &buffer);
    }
    if (result != -1) {
        entries.clear();
        return ListingResult::failed;
    }
    return ListingResult::listed;
}
