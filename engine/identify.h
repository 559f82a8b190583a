#pragma once
// Recognising archive formats by extension and signature; naming outputs.
#include "base/converter_context.h"
#include <cstddef>

// Format of the file at `path` (full ANSI path), or FORMAT_UNKNOWN. May read
// the file; never writes, never shows anything.
ArchiveFormat identifyFormat(const char* path);

// Format named by an extension of the source table (".lzh", ".gz", ...;
// with its dot, case ignored), or FORMAT_UNKNOWN.
ArchiveFormat formatByExtension(const char* extension);

// Signature test on a window of at least 21 readable bytes.
ArchiveFormat matchSignature(const unsigned char* window);

// Target extension with its dot (".lzh", ".tar.bz2", ...), or null.
const char* targetExtension(ArchiveFormat target);

// Full output path in ctx.destFolder for `stem` and `target`, with the " (n)"
// counter for names already taken (also by the self-extracting executable
// when `sfx`). False when the result does not fit `outputSize` bytes.
bool makeOutputName(const ConverterContext& ctx, const char* stem, ArchiveFormat target, bool sfx,
                    char* output, size_t outputSize);
