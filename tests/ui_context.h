#pragma once
// A converter context in the state the dialogs meet it: the constructor's
// values, the given capability mask, and the settings loaded from the registry.
#include <cstring>
#include "base/converter_context.h"
#include "base/settings.h"

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

// Under Wine the dialogs' font "ＭＳ Ｐゴシック" does not exist and falls back
// to a fixed-pitch face that is much wider than the proportional original.
// Map it to the proportional IPA font so that the dialogs are laid out and
// photographed as on Windows. Wine reads the mapping when a process starts,
// so a program that had to add it runs itself once more and passes its result on.
#include <windows.h>
#include <cstdlib>

inline void useProportionalJapaneseFont() {
    const wchar_t* key = L"Software\\Wine\\Fonts\\Replacements";
    const wchar_t* faces[] = {L"\xFF2D\xFF33 \xFF30\x30B4\x30B7\x30C3\x30AF", L"MS PGothic"};   // ＭＳ Ｐゴシック
    const wchar_t replacement[] = L"IPAPGothic";
    HKEY h;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr) != ERROR_SUCCESS)
        return;
    bool added = false;
    for (const wchar_t* face : faces) {
        if (RegQueryValueExW(h, face, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) continue;
        RegSetValueExW(h, face, 0, REG_SZ, reinterpret_cast<const BYTE*>(replacement), sizeof replacement);
        added = true;
    }
    RegCloseKey(h);
    if (!added || GetEnvironmentVariableW(L"VELTROX_FONT_RESTART", nullptr, 0)) return;
    SetEnvironmentVariableW(L"VELTROX_FONT_RESTART", L"1");
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, GetCommandLineW(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) return;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    ExitProcess(code);
}
