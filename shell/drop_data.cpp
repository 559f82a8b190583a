#include "shell/drop_data.h"

#include <shellapi.h>

namespace {

// Releases a storage medium obtained from IDataObject::GetData.
struct StorageMedium {
    STGMEDIUM medium = {};
    bool held = false;
    ~StorageMedium() {
        if (held) ReleaseStgMedium(&medium);
    }
};

}  // namespace

bool readDroppedItems(IDataObject* data, std::vector<DroppedItem>& items) {
    items.clear();
    if (data == nullptr) return false;
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    StorageMedium storage;
    if (FAILED(data->GetData(&format, &storage.medium))) return false;
    storage.held = true;
    if (storage.medium.tymed != TYMED_HGLOBAL || storage.medium.hGlobal == nullptr) return false;

    HDROP drop = static_cast<HDROP>(storage.medium.hGlobal);
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        UINT len = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring name(len, L'\0');
        if (len > 0) {
            UINT got = DragQueryFileW(drop, i, &name[0], len + 1);
            name.resize(got < len ? got : len);
        }
        // An empty name is no item (some shells count one in an empty list).
        if (!name.empty()) items.push_back(makeDroppedItem(name));
    }
    return true;
}

const wchar_t* gatherDroppedInputs(ConverterContext& ctx, IDataObject* data) {
    if (!archiversAvailable(ctx)) return nullptr;
    std::vector<DroppedItem> items;
    if (!readDroppedItems(data, items)) return nullptr;
    return gatherInputs(ctx, items);
}
