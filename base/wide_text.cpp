#include "base/wide_text.h"

#include <windows.h>

namespace {

std::wstring wideFrom(UINT codePage, DWORD flags, const std::string& text, bool& valid) {
    valid = true;
    if (text.empty()) return std::wstring();
    int size = static_cast<int>(text.size());
    int length = MultiByteToWideChar(codePage, flags, text.data(), size, nullptr, 0);
    if (length <= 0) {
        valid = false;
        return std::wstring();
    }
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, flags, text.data(), size, &wide[0], length);
    return wide;
}

}  // namespace

std::wstring wideFromAnsi(const std::string& text) {
    bool valid;
    return wideFrom(CP_ACP, 0, text, valid);
}

bool wideFromAnsiExactly(const std::string& text, std::wstring& wide) {
    bool valid;
    wide = wideFrom(CP_ACP, MB_ERR_INVALID_CHARS, text, valid);
    return valid;
}

bool exactAnsiForm(const std::wstring& wide, std::string& ansi) {
    ansi.clear();
    if (wide.empty()) return true;
    int size = static_cast<int>(wide.size());
    BOOL usedDefault = FALSE;
    int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr, 0, nullptr,
                                     &usedDefault);
    if (length <= 0 || usedDefault) return false;
    std::string text(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, &text[0], length, nullptr,
                        &usedDefault);
    // The way back must give the same characters: a code page may map two
    // characters to one byte sequence (wave dash and fullwidth tilde).
    bool valid;
    if (usedDefault || wideFrom(CP_ACP, MB_ERR_INVALID_CHARS, text, valid) != wide || !valid) return false;
    ansi.swap(text);
    return true;
}

bool hasExactAnsiForm(const std::wstring& wide) {
    std::string ansi;
    return exactAnsiForm(wide, ansi);
}

std::string utf8FromWide(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    int size = static_cast<int>(wide.size());
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string text(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, &text[0], length, nullptr, nullptr);
    return text;
}

std::string utf8FromAnsi(const std::string& text) { return utf8FromWide(wideFromAnsi(text)); }

bool wideFromUtf8(const std::string& text, std::wstring& wide) {
    bool valid;
    wide = wideFrom(CP_UTF8, MB_ERR_INVALID_CHARS, text, valid);
    return valid;
}

size_t ansiByteLength(const std::wstring& wide) {
    if (wide.empty()) return 0;
    int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                     nullptr);
    return length > 0 ? static_cast<size_t>(length) : wide.size();
}
