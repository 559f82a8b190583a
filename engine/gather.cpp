#include "engine/gather.h"

#include "base/handles.h"
#include "engine/identify.h"
#include "base/paths.h"
#include "ui/dialogs.h"

#include <cstring>

namespace {

const size_t PATH_BUFFER = 260;   // ANSI paths are used with 260-byte buffers
const SIZE_T LIST_HEAP_INITIAL = 0x8000;

// Message templates; "%s" is the item's name.
const char NOT_ANSI_TEMPLATE[] =
    "%s\n\nはファイル名に変換できない文字が含まれているため、処理できません。";
const char TOO_LONG_TEMPLATE[] = "%s\n\nはパスが長すぎるため、処理できません。";

std::wstring wideFromCodePage(UINT codePage, const std::string& text) {
    int len = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(len > 0 ? len : 0, L'\0');
    if (len > 0) MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], len);
    return wide;
}

// Exact ANSI form of a UTF-16 name; false when any character has none (no
// best-fit substitutes: "é" must not quietly become "e" and name another file).
bool ansiFromWide(const std::wstring& wide, std::string& ansi) {
    ansi.clear();
    if (wide.empty()) return true;
    BOOL usedDefault = FALSE;
    int wlen = static_cast<int>(wide.size());
    int len = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wlen, nullptr, 0, nullptr,
                                  &usedDefault);
    if (len <= 0 || usedDefault) return false;
    ansi.resize(len);
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wlen, &ansi[0], len, nullptr,
                        &usedDefault);
    return !usedDefault && wideFromCodePage(CP_ACP, ansi) == wide;
}

// One warning per refused item, showing its real (UTF-16) name.
void refuseName(HWND owner, const std::wstring& name, NameProblem problem) {
    // The templates are code page 932 text, whatever the system's code page.
    std::wstring text = wideFromCodePage(932, problem == NameProblem::notAnsi ? NOT_ANSI_TEMPLATE
                                                                              : TOO_LONG_TEMPLATE);
    text.replace(text.find(L"%s"), 2, name);
    MessageBoxW(owner, text.c_str(), MESSAGE_CAPTION_W, MB_OK | MB_ICONWARNING);
}

// Whether a folder entry that cannot be handled looks like something the user
// expects to be converted: its extension names an archive or an executable.
bool looksLikeArchive(const std::wstring& name) {
    size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos) return false;
    std::string extension;
    for (size_t i = dot; i < name.size(); ++i) {
        if (name[i] >= 0x80) return false;
        extension.push_back(static_cast<char>(name[i]));
    }
    return formatByExtension(extension.c_str()) != FORMAT_UNKNOWN || _stricmp(extension.c_str(), ".exe") == 0;
}

// Documents and packages that are ZIP archives inside but belong to the user
// as they are: a searched folder never offers them for conversion (one
// dropped on its own is the user's choice and is converted).
const char* const ZIP_BASED_DOCUMENTS[] = {
    ".docx", ".docm", ".dotx", ".xlsx", ".xlsm", ".xltx", ".pptx", ".pptm", ".potx", ".ppsx",
    ".odt",  ".ods",  ".odp",  ".odg",  ".odf",  ".ott",  ".epub", ".jar",  ".war",  ".ear",
    ".apk",  ".aab",  ".ipa",  ".xpi",  ".crx",  ".vsix", ".nupkg", ".whl", ".appx", ".appxbundle",
    ".msix", ".kmz",  ".3mf",  ".xps",  ".oxps", ".cbz",
};

bool isZipBasedDocument(const std::wstring& name) {
    size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos) return false;
    for (const char* extension : ZIP_BASED_DOCUMENTS) {
        size_t i = 0;
        for (; extension[i] && dot + i < name.size(); ++i) {
            wchar_t c = name[dot + i];
            if (c >= L'A' && c <= L'Z') c = c - L'A' + L'a';
            if (c != static_cast<wchar_t>(extension[i])) break;
        }
        if (!extension[i] && dot + i == name.size()) return true;
    }
    return false;
}

bool endsInDot(const char* path) {
    size_t len = strlen(path);
    return len > 0 && path[len - 1] == '.' && !isTrailByte(path, len - 1);
}

}  // namespace

DroppedItem makeDroppedItem(const std::wstring& name) {
    DroppedItem item;
    item.name = name;
    std::string ansi;
    if (!ansiFromWide(name, ansi)) {
        item.problem = NameProblem::notAnsi;
    } else if (ansi.size() >= PATH_BUFFER) {
        item.problem = NameProblem::tooLong;
    } else {
        item.path = ansi;
    }
    return item;
}

bool appendInput(ConverterContext& ctx, InputList& list, const char* path) {
    size_t len = strlen(path) + 1;
    size_t needed = list.used + len + INPUT_LIST_SPARE;
    if (needed > list.capacity) {
        // Grow before writing so the spare zero bytes are there at every moment.
        size_t capacity = list.capacity * 2;
        if (capacity < needed) capacity = needed;
        void* grown = HeapReAlloc(ctx.listHeap, HEAP_ZERO_MEMORY, list.block, capacity);
        if (grown == nullptr) return false;
        list.block = static_cast<char*>(grown);
        list.capacity = capacity;
    }
    memcpy(list.block + list.used, path, len);
    list.used += len;
    return true;
}

bool archiversAvailable(const ConverterContext& ctx) {
    if (ctx.formats != 0) return true;
    MessageBoxA(nullptr, "アーカイバDLLが見つかりません。", MESSAGE_CAPTION, MB_OK | MB_ICONERROR);
    return false;
}

const char* gatherInputs(ConverterContext& ctx, const std::vector<DroppedItem>& items) {
    if (!archiversAvailable(ctx)) return nullptr;
    if (items.empty()) return nullptr;

    InputList list;
    list.owner = GetForegroundWindow();
    if (ctx.listHeap == nullptr) ctx.listHeap = HeapCreate(0, LIST_HEAP_INITIAL, 0);
    if (ctx.listHeap == nullptr) return nullptr;
    list.block = static_cast<char*>(HeapAlloc(ctx.listHeap, HEAP_ZERO_MEMORY, INPUT_LIST_SPARE));
    if (list.block == nullptr) return nullptr;
    list.capacity = INPUT_LIST_SPARE;

    for (const DroppedItem& item : items) {
        if (item.name.empty()) continue;
        if (item.problem != NameProblem::none) {
            refuseName(list.owner, item.name, item.problem);
            continue;
        }
        const char* path = item.path.c_str();
        DWORD attributes = GetFileAttributesA(path);
        bool ok = true;
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            if (ctx.folderSearch == 0) ctx.folderSearch = static_cast<int32_t>(askFolderSearch(list.owner));
            if (ctx.folderSearch > 0) ok = searchFolder(ctx, list, path, ctx.folderSearch == 2);
        } else {
            ok = appendInput(ctx, list, path);
        }
        if (!ok) return nullptr;   // out of memory: convert nothing rather than part of the drop
    }

    if (list.used == 0) {
        MessageBoxA(list.owner, "書庫ファイルが見つかりませんでした。", MESSAGE_CAPTION, MB_OK | MB_ICONERROR);
        return nullptr;
    }
    return list.block;
}

bool searchFolder(ConverterContext& ctx, InputList& list, const char* folder, bool recursive) {
    if (endsInDot(folder)) return true;
    std::string base = folder;
    addTrailingBackslash(base);
    // Listed with the wide API so that every name is seen as it really is;
    // names without an exact ANSI form are refused instead of mangled.
    WIN32_FIND_DATAW entry;
    FindHandle search(FindFirstFileW((wideFromCodePage(CP_ACP, base) + L"*.*").c_str(), &entry));
    if (!search) return true;
    do {
        const std::wstring name = entry.cFileName;
        bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder && (!recursive || name == L"." || name == L"..")) continue;
        if (!isFolder && isZipBasedDocument(name)) continue;

        std::string ansiName;
        NameProblem problem = NameProblem::none;
        if (!ansiFromWide(name, ansiName)) {
            problem = NameProblem::notAnsi;
        } else if (base.size() + ansiName.size() + (isFolder ? 1 : 0) >= PATH_BUFFER) {
            problem = NameProblem::tooLong;   // a folder also needs room for its backslash
        }
        if (problem != NameProblem::none) {
            if (isFolder || looksLikeArchive(name)) refuseName(list.owner, wideFromCodePage(CP_ACP, base) + name, problem);
            continue;
        }

        std::string path = base + ansiName;
        if (isFolder) {
            if (!searchFolder(ctx, list, path.c_str(), true)) return false;
        } else if (identifyFormat(path.c_str()) != FORMAT_UNKNOWN) {
            if (!appendInput(ctx, list, path.c_str())) return false;
        }
    } while (FindNextFileW(search.get(), &entry));
    return true;
}
