#include "support/text.h"
#include <windows.h>

namespace {
std::wstring decode(UINT cp, const std::string& s) {
    if (s.empty()) return std::wstring();
    int n = MultiByteToWideChar(cp, 0, s.data(), (int)s.size(), nullptr, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(cp, 0, s.data(), (int)s.size(), &w[0], n);
    return w;
}
std::string encode(UINT cp, const std::wstring& w) {
    if (w.empty()) return std::string();
    int n = WideCharToMultiByte(cp, 0, w.data(), (int)w.size(), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(cp, 0, w.data(), (int)w.size(), &s[0], n, nullptr, nullptr);
    return s;
}
}  // namespace

std::string toAnsi(const std::string& utf8) { return encode(CP_ACP, decode(CP_UTF8, utf8)); }
std::string fromAnsi(const std::string& ansi) { return encode(CP_UTF8, decode(CP_ACP, ansi)); }
std::wstring toWide(const std::string& utf8) { return decode(CP_UTF8, utf8); }
std::string fromWide(const std::wstring& wide) { return encode(CP_UTF8, wide); }
std::string ansiOfWide(const std::wstring& wide) { return encode(CP_ACP, wide); }
void setFolderField(wchar_t* field, const std::wstring& path) {
    size_t length = path.copy(field, MAX_PATH - 1);
    field[length] = L'\0';
}
void setFolderField(wchar_t* field, const std::string& ansi) { setFolderField(field, decode(CP_ACP, ansi)); }
