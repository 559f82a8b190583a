#include "base/paths.h"

#include <windows.h>
#include <cstring>
#include <vector>

bool isTrailByte(const char* text, size_t index) {
    size_t pos = 0;
    while (pos < index) {
        if (text[pos] == '\0') return false;
        if (IsDBCSLeadByte(static_cast<BYTE>(text[pos])) && text[pos + 1] != '\0') {
            pos += 2;
        } else {
            pos += 1;
        }
    }
    return pos > index;
}

bool addTrailingBackslash(char* path, size_t bufferSize) {
    size_t len = strlen(path);
    if (len == 0) return true;
    if (path[len - 1] == '\\' && !isTrailByte(path, len - 1)) return true;
    if (len + 2 > bufferSize) return false;
    path[len] = '\\';
    path[len + 1] = '\0';
    return true;
}

void addTrailingBackslash(std::string& path) {
    if (path.empty()) return;
    size_t last = path.size() - 1;
    if (path[last] == '\\' && !isTrailByte(path.c_str(), last)) return;
    path.push_back('\\');
}

namespace {

// Finds the last occurrence of a wide character in the UTF-16 form of an
// ANSI string and maps it back to a byte offset.
size_t findLastAnsiChar(const char* path, wchar_t wanted) {
    int len = static_cast<int>(strlen(path));
    if (len == 0) return NO_POSITION;
    int wlen = MultiByteToWideChar(CP_ACP, 0, path, len, nullptr, 0);
    if (wlen <= 0) return NO_POSITION;
    std::vector<wchar_t> wide(wlen);
    MultiByteToWideChar(CP_ACP, 0, path, len, wide.data(), wlen);
    int at = -1;
    for (int i = wlen - 1; i >= 0; --i) {
        if (wide[i] == wanted) { at = i; break; }
    }
    if (at < 0) return NO_POSITION;
    int bytes = at == 0 ? 0 : WideCharToMultiByte(CP_ACP, 0, wide.data(), at, nullptr, 0, nullptr, nullptr);
    return static_cast<size_t>(bytes);
}

}  // namespace

size_t findLastBackslash(const char* path) { return findLastAnsiChar(path, L'\\'); }
size_t findLastDot(const char* path) { return findLastAnsiChar(path, L'.'); }

bool copyBounded(char* dst, size_t size, const char* src) {
    size_t len = strlen(src);
    if (len + 1 > size) return false;
    memcpy(dst, src, len + 1);
    return true;
}
