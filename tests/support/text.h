#pragma once
// Conversions between the UTF-8 of test sources and the ANSI (code page 932)
// strings the converter works with.
#include <string>

std::string toAnsi(const std::string& utf8);
std::string fromAnsi(const std::string& ansi);
std::wstring toWide(const std::string& utf8);
std::string fromWide(const std::wstring& wide);
// The ANSI form of UTF-16 text (test paths are ANSI strings; the other way
// is wideFromAnsi of base/wide_text.h).
std::string ansiOfWide(const std::wstring& wide);
// Copies a path, terminated, into one of the context's MAX_PATH folder fields.
void setFolderField(wchar_t* field, const std::wstring& path);
void setFolderField(wchar_t* field, const std::string& ansi);
