#pragma once
// Conversions between the UTF-8 of test sources and the ANSI (code page 932)
// strings the converter works with.
#include <string>

std::string toAnsi(const std::string& utf8);
std::string fromAnsi(const std::string& ansi);
std::wstring toWide(const std::string& utf8);
std::string fromWide(const std::wstring& wide);
