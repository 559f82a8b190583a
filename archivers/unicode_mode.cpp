#include "archivers/unicode_mode.h"

#include "archivers/binding.h"

#include <cstring>
#include <string>

ArchiverUnicodeModeProc findUnicodeMode(HMODULE module, const char* commandExport) {
    if (!module || !commandExport) return nullptr;
    static const char* const withUnicodeMode[] = {"SevenZip", "Unlha", "Unrar"};
    for (const char* name : withUnicodeMode) {
        if (strcmp(name, commandExport) != 0) continue;
        std::string exportName = std::string(name) + "SetUnicodeMode";
        return reinterpret_cast<ArchiverUnicodeModeProc>(GetProcAddress(module, exportName.c_str()));
    }
    return nullptr;
}

UnicodeModeScope::UnicodeModeScope(ArchiverUnicodeModeProc proc)
    : proc_(proc), active_(proc && proc(TRUE)) {}

UnicodeModeScope::~UnicodeModeScope() {
    // Set back also after a refusal: a DLL may have switched part of its state.
    if (proc_) proc_(FALSE);
}


bool archiverCarriesUnicodeNames(ConverterContext& ctx, ArchiveFormat format) {
    return findUnicodeMode(loadArchiver(ctx, format, false), commandExportName(format)) != nullptr;
}
