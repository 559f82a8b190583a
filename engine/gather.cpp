#include "engine/gather.h"

#include "base/handles.h"
#include "engine/identify.h"
#include "base/paths.h"
#include "base/wide_text.h"
#include "ui/dialogs.h"

#include <cstring>

namespace {

const size_t PATH_BUFFER = 260;   // ANSI paths are used with 260-byte buffers
const SIZE_T LIST_HEAP_INITIAL = 0x8000;

// One warning per refused item, showing its real (UTF-16) name.
void refuseName(HWND owner, const std::wstring& name) {
    std::wstring text = name + L"\n\nはパスが長すぎるため、処理できません。";
    MessageBoxW(owner, text.c_str(), MESSAGE_CAPTION_W, MB_OK | MB_ICONWARNING);
}

// Whether a folder entry that cannot be handled looks like something the user
// expects to be converted: its extension names an archive or an executable.
bool looksLikeArchive(const std::wstring& name) {
    std::string extension = asciiExtensionOf(name);
    return !extension.empty() &&
           (formatByExtension(extension.c_str()) != FORMAT_UNKNOWN || _stricmp(extension.c_str(), ".exe") == 0);
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
    std::string extension = asciiExtensionOf(name);
    for (const char* document : ZIP_BASED_DOCUMENTS)
        if (_stricmp(extension.c_str(), document) == 0) return true;
    return false;
}

bool endsInDot(const std::wstring& path) { return !path.empty() && path.back() == L'.'; }

bool fitsPathBuffer(const std::wstring& path) { return ansiByteLength(path) < PATH_BUFFER; }

}  // namespace

DroppedItem makeDroppedItem(const std::wstring& name) {
    DroppedItem item;
    item.name = name;
    item.tooLong = !fitsPathBuffer(name);
    return item;
}

bool appendInput(ConverterContext& ctx, InputList& list, const std::wstring& path) {
    size_t length = path.size() + 1;
    size_t needed = list.used + length + INPUT_LIST_SPARE;
    if (needed > list.capacity) {
        // Grow before writing so the spare zero characters are there at every moment.
        size_t capacity = list.capacity * 2;
        if (capacity < needed) capacity = needed;
        void* grown = HeapReAlloc(ctx.listHeap, HEAP_ZERO_MEMORY, list.block, capacity * sizeof(wchar_t));
        if (grown == nullptr) return false;
        list.block = static_cast<wchar_t*>(grown);
        list.capacity = capacity;
    }
    memcpy(list.block + list.used, path.c_str(), length * sizeof(wchar_t));
    list.used += length;
    return true;
}

bool archiversAvailable(const ConverterContext& ctx) {
    if (ctx.formats != 0) return true;
    MessageBoxA(nullptr, "アーカイバDLLが見つかりません。", MESSAGE_CAPTION, MB_OK | MB_ICONERROR);
    return false;
}

const wchar_t* gatherInputs(ConverterContext& ctx, const std::vector<DroppedItem>& items) {
    if (!archiversAvailable(ctx)) return nullptr;
    if (items.empty()) return nullptr;

    InputList list;
    list.owner = GetForegroundWindow();
    if (ctx.listHeap == nullptr) ctx.listHeap = HeapCreate(0, LIST_HEAP_INITIAL, 0);
    if (ctx.listHeap == nullptr) return nullptr;
    list.block = static_cast<wchar_t*>(HeapAlloc(ctx.listHeap, HEAP_ZERO_MEMORY, INPUT_LIST_SPARE * sizeof(wchar_t)));
    if (list.block == nullptr) return nullptr;
    list.capacity = INPUT_LIST_SPARE;

    for (const DroppedItem& item : items) {
        if (item.name.empty()) continue;
        if (item.tooLong) {
            refuseName(list.owner, item.name);
            continue;
        }
        const std::wstring& path = item.name;
        DWORD attributes = GetFileAttributesW(path.c_str());
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

bool searchFolder(ConverterContext& ctx, InputList& list, const std::wstring& folder, bool recursive) {
    if (endsInDot(folder)) return true;
    std::wstring base = folder;
    if (!base.empty() && base.back() != L'\\') base.push_back(L'\\');
    WIN32_FIND_DATAW entry;
    FindHandle search(FindFirstFileW((base + L"*.*").c_str(), &entry));
    if (!search) return true;
    do {
        const std::wstring name = entry.cFileName;
        bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder && (!recursive || name == L"." || name == L"..")) continue;
        if (!isFolder && isZipBasedDocument(name)) continue;

        std::wstring path = base + name;
        // A folder also needs room for its backslash.
        if (!fitsPathBuffer(isFolder ? path + L"\\" : path)) {
            if (isFolder || looksLikeArchive(name)) refuseName(list.owner, path);
            continue;
        }
        if (isFolder) {
            if (!searchFolder(ctx, list, path, true)) return false;
        } else if (identifyFormat(path) != FORMAT_UNKNOWN) {
            if (!appendInput(ctx, list, path)) return false;
        }
    } while (FindNextFileW(search.get(), &entry));
    return true;
}
