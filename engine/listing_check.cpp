#include "engine/listing_check.h"

#include "base/wide_text.h"
#include <windows.h>
#include <map>

namespace {

std::wstring upper(std::wstring text) {
    if (!text.empty()) CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

bool isDeviceName(const std::wstring& component) {
    std::wstring base = component.substr(0, component.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.pop_back();
    base = upper(base);
    static const wchar_t* const devices[] = {L"CON", L"PRN", L"AUX", L"NUL"};
    for (const wchar_t* device : devices)
        if (base == device) return true;
    return base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
           base[3] >= L'1' && base[3] <= L'9';
}

// Outcome of turning one listed name into its path.
enum class PathForm { path, root, refused, unconvertible };

// The listed name as components joined by backslashes, "." and empty
// components dropped.
PathForm pathOf(const ListedEntry& entry, std::wstring& path) {
    path.clear();
    const std::string& name = entry.name;
    std::wstring wide = entry.wide;   // listed in Unicode mode
    if (wide.empty()) {
        if (name.empty()) return PathForm::root;
        if (!wideFromAnsiExactly(name, wide)) return PathForm::unconvertible;
        // An ANSI DLL shows a character that code page 932 cannot express as "?".
        if (wide.find(L'?') != std::wstring::npos) return PathForm::unconvertible;
    }
    if (wide[0] == L'/' || wide[0] == L'\\') return PathForm::refused;
    size_t start = 0;
    while (start <= wide.size()) {
        size_t end = wide.find_first_of(L"/\\", start);
        if (end == std::wstring::npos) end = wide.size();
        std::wstring component = wide.substr(start, end - start);
        start = end + 1;
        if (component.empty() || component == L".") continue;
        if (component == L".." || !isCreatableComponent(component)) return PathForm::refused;
        if (!path.empty()) path += L'\\';
        path += component;
    }
    return path.empty() ? PathForm::root : PathForm::path;
}

}  // namespace

bool isCreatableComponent(const std::wstring& component) {
    if (component.empty()) return false;
    for (wchar_t c : component)
        if (c < 0x20 || wcschr(L"<>:\"|*?/\\", c)) return false;
    wchar_t last = component.back();
    return last != L'.' && last != L' ' && !isDeviceName(component);
}

ListingVerdict checkListing(const std::vector<ListedEntry>& entries, std::vector<ListedFile>& files) {
    files.clear();
    ListingVerdict verdict = ListingVerdict::clean;
    std::map<std::wstring, bool> seen;   // key -> is a folder
    for (const ListedEntry& entry : entries) {
        std::wstring path;
        PathForm form = pathOf(entry, path);
        if (form == PathForm::unconvertible) return ListingVerdict::unconvertibleName;
        if (form == PathForm::refused) verdict = ListingVerdict::clashingNames;
        if (form != PathForm::path) continue;
        std::wstring key = upper(path);
        // Every parent is a folder; a file of that name cannot be beside it.
        for (size_t slash = key.find(L'\\'); slash != std::wstring::npos; slash = key.find(L'\\', slash + 1)) {
            auto added = seen.emplace(key.substr(0, slash), true);
            if (!added.second && !added.first->second) verdict = ListingVerdict::clashingNames;
        }
        auto added = seen.emplace(key, entry.folder);
        if (!added.second && !(entry.folder && added.first->second)) verdict = ListingVerdict::clashingNames;
        if (!entry.folder) files.push_back(ListedFile{key, entry.size});
    }
    if (verdict != ListingVerdict::clean) files.clear();
    return verdict;
}

bool treeHoldsListing(const std::vector<ListedFile>& files, const WorkScan& scan) {
    std::map<std::wstring, const WorkEntry*> tree;
    for (const WorkEntry& entry : scan.entries) tree[upper(entry.name)] = &entry;
    for (const ListedFile& file : files) {
        auto found = tree.find(file.key);
        if (found == tree.end() || found->second->folder ||
            static_cast<uint32_t>(found->second->size) != file.size)
            return false;
    }
    return true;
}
