#pragma once
// Conversions between UTF-16, the form names have inside the converter, and
// the byte texts archiver DLLs take: the ANSI code page (932) and UTF-8.
#include <string>

// The UTF-16 form of ANSI text.
std::wstring wideFromAnsi(const std::string& text);
// The same, false (wide cleared) when the text is not valid ANSI text.
bool wideFromAnsiExactly(const std::string& text, std::wstring& wide);

// The exact ANSI form of a UTF-16 text: false (ansi cleared) when a
// character has none. No best-fit substitutes: "é" must not quietly become
// "e", nor "¥" a backslash, and name another file.
bool exactAnsiForm(const std::wstring& wide, std::string& ansi);
bool hasExactAnsiForm(const std::wstring& wide);

std::string utf8FromWide(const std::wstring& wide);
// The UTF-8 form of ANSI text (a command line for a DLL in Unicode mode).
std::string utf8FromAnsi(const std::string& text);
// False (wide cleared) when text is not valid UTF-8.
bool wideFromUtf8(const std::string& text, std::wstring& wide);

// Bytes of the text as ANSI, the measure of the 260-byte path buffers the
// archiver DLLs take; a character without an ANSI form counts one byte (such
// a path reaches the DLLs in a short form of its own).
size_t ansiByteLength(const std::wstring& wide);
