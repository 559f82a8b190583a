#pragma once
// ANSI (code page 932) path helpers that never take the second byte of a
// double-byte character for a backslash or a dot.
#include <cstddef>
#include <string>

const size_t NO_POSITION = static_cast<size_t>(-1);

// True when text[index] is the trail byte of a double-byte character: walks
// from the start, one byte per single-byte character and two per lead byte.
bool isTrailByte(const char* text, size_t index);

// Appends a backslash to a non-empty path unless it already ends in a real
// one. Returns false (path unchanged) when the buffer has no room for it.
bool addTrailingBackslash(char* path, size_t bufferSize);
void addTrailingBackslash(std::string& path);

// Byte offsets of the last path separator / last dot, found on the UTF-16
// form of the text so that a 0x5C or 0x2E trail byte never counts.
// NO_POSITION when there is none.
size_t findLastBackslash(const char* path);
size_t findLastDot(const char* path);

// Copies src into dst (size bytes) only when it fits with its terminator.
bool copyBounded(char* dst, size_t size, const char* src);
