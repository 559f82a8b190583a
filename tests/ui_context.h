#pragma once
// A converter context in the state the dialogs meet it: the constructor's
// values, the given capability mask, and the settings loaded from the registry.
#include <cstring>
#include "engine/converter_context.h"
#include "ui/settings.h"

inline void prepareContext(ConverterContext& ctx, uint32_t formats, bool load = true) {
    ctx.formats = formats;
    ctx.fUse7ZipLib = 0;
    ctx.sfxMode = 0;
    ctx.sameTime = 0;
    ctx.sort = 1;
    ctx.notConvSfx = 0;
    ctx.folderSearch = 0;
    ctx.aceAvailable = -1;
    ctx.ownerWindow = nullptr;
    ctx.destFolder[0] = '\0';
    ctx.sourceFolder[0] = '\0';
    currentContext = &ctx;
    if (load) loadSettings(ctx);
}
