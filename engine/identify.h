#pragma once
// Recognising archive formats by extension and signature; naming outputs.
#include "base/converter_context.h"
#include <cstddef>
#include <string>

// Format of the file at `path` (full path), or FORMAT_UNKNOWN. May read the
// file; never writes, never shows anything.
ArchiveFormat identifyFormat(const std::wstring& path);
ArchiveFormat identifyFormat(const char* path);   // an ANSI path

// The extension of a path's file name from its last dot, dot included; ""
// without one or when it holds a character outside ASCII (every extension
// the converter knows is ASCII).
std::string asciiExtensionOf(const std::wstring& path);

// Format named by an extension of the source table (".lzh", ".gz", ...;
// with its dot, case ignored), or FORMAT_UNKNOWN.
ArchiveFormat formatByExtension(const char* extension);

// Signature test on a window of at least 21 readable bytes.
ArchiveFormat matchSignature(const unsigned char* window);

// Target extension with its dot (".lzh", ".tar.bz2", ...), or null.
const char* targetExtension(ArchiveFormat target);

// Full output path in ctx.destFolder for `stem` and `target`, with the " (n)"
// counter for names already taken (also by the self-extracting executable
// when `sfx`). False when the path, as ANSI text, does not fit `outputSize`
// bytes with its terminator.
bool makeOutputName(const ConverterContext& ctx, const std::wstring& stem, ArchiveFormat target, bool sfx,
                    std::wstring& output, size_t outputSize = 256);
