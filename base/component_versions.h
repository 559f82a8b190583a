#pragma once
// Where the About box reads the versions of the archiver components from: the
// archiver layer fills the table (archiverComponentVersions), the dialogs are
// handed it by whoever opens them.
#include "base/converter_context.h"
#include <cstddef>
#include <cstdint>

struct ComponentVersions {
    // Version export of the format's DLL; 0 when unavailable.
    uint16_t (*archiverVersion)(ConverterContext& ctx, ArchiveFormat format);
    // Version of zip32.dll; 0 when unavailable.
    uint16_t (*zip32Version)();
    // Version of unrar.dll; 0 or less when unavailable.
    int (*unrarVersion)();
    // "%d.%d.%d.%d" of a file's version resource; false and "" without one.
    bool (*fileVersionText)(const char* fileName, char* text, size_t textSize);
};
