// COM behaviour of the shell entry: class ids, the factory's life and the
// module's unload answer, aggregation, QueryInterface identity, the held data
// object, and Drop's guarantees (always S_OK, DLL search restored, a drop that
// throws leaves nothing behind).
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <new>
#include <string>
#include "shell/com_server.h"
#include "support/dialog_driver.h"
#include "support/standins.h"

namespace {

// A data object that counts its references and offers no data at all, or
// throws from GetData to stand for a failed allocation inside the drop.
class FakeData : public IDataObject {
public:
    enum class Behaviour { noData, throwing };
    explicit FakeData(Behaviour behaviour = Behaviour::noData) : behaviour_(behaviour) {}
    LONG refs = 1;
    int getDataCalls = 0;
    std::string dllDirectoryDuringGetData;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP GetData(FORMATETC*, STGMEDIUM*) override {
        ++getDataCalls;
        char directory[MAX_PATH] = {0};
        GetDllDirectoryA(MAX_PATH, directory);
        dllDirectoryDuringGetData = directory;
        if (behaviour_ == Behaviour::throwing) throw std::bad_alloc();
        return DV_E_FORMATETC;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return DV_E_FORMATETC; }
    STDMETHODIMP QueryGetData(FORMATETC*) override { return DV_E_FORMATETC; }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP DUnadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

private:
    Behaviour behaviour_;
};

IClassFactory* getFactory() {
    IClassFactory* factory = nullptr;
    EXPECT_EQ(getClassObject(CLSID_VeltroxDropHandler, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    return factory;
}

template <typename T>
T* createHandler(REFIID riid) {
    IClassFactory* factory = getFactory();
    T* object = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, riid, reinterpret_cast<void**>(&object)), S_OK);
    factory->Release();
    return object;
}

TEST(ShellCom, ForeignClassIdsAreRefused) {
    CLSID nearlyOurs = CLSID_VeltroxDropHandler;
    nearlyOurs.Data4[7] ^= 1;
    const CLSID ids[] = {GUID_NULL, nearlyOurs, CLSID_ShellLink};
    for (const CLSID& id : ids) {
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(getClassObject(id, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(liveObjectCount, 0);
}

TEST(ShellCom, FactoryLifeDecidesUnloading) {
    EXPECT_EQ(canUnloadNow(), S_OK);
    IClassFactory* factory = getFactory();
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(factory->AddRef(), 2u);      // the first reference was taken by DllGetClassObject
    EXPECT_EQ(factory->Release(), 1u);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    IUnknown* unknown = nullptr;
    EXPECT_EQ(factory->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    EXPECT_EQ(static_cast<void*>(unknown), static_cast<void*>(factory));
    unknown->Release();
    EXPECT_EQ(factory->Release(), 0u);
    EXPECT_EQ(canUnloadNow(), S_OK);        // LockServer does not keep the module
}

TEST(ShellCom, UnwantedInterfacesLeaveNoObjectBehind) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject(CLSID_VeltroxDropHandler, IID_IDropTarget, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(liveObjectCount, 0);

    IClassFactory* factory = getFactory();
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    out = reinterpret_cast<void*>(1);
    IUnknown* outer = reinterpret_cast<IUnknown*>(factory);
    EXPECT_EQ(factory->CreateInstance(outer, IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(liveObjectCount, 1);
    factory->Release();
    EXPECT_EQ(liveObjectCount, 0);
}

TEST(ShellCom, EveryInterfaceAnswersWithOneIdentity) {
    IDropTarget* target = createHandler<IDropTarget>(IID_IDropTarget);
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    IShellExtInit* init = nullptr;
    IPersistFile* persist = nullptr;
    IUnknown* viaTarget = nullptr;
    IUnknown* viaPersist = nullptr;
    ASSERT_EQ(target->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)), S_OK);
    ASSERT_EQ(target->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)), S_OK);
    ASSERT_EQ(target->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaTarget)), S_OK);
    ASSERT_EQ(persist->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaPersist)), S_OK);
    EXPECT_EQ(static_cast<void*>(viaTarget), static_cast<void*>(init));
    EXPECT_EQ(static_cast<void*>(viaPersist), static_cast<void*>(init));
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(persist->QueryInterface(IID_IDataObject, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);

    // One count shared by all interfaces: five references are out.
    EXPECT_EQ(init->AddRef(), 6u);
    EXPECT_EQ(persist->Release(), 5u);

    CLSID id;
    EXPECT_EQ(persist->GetClassID(&id), E_FAIL);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    EXPECT_EQ(persist->Load(L"C:\\anything\\at all.Veltrox", STGM_READ), S_OK);
    EXPECT_EQ(persist->Load(L"", 0), S_OK);
    EXPECT_EQ(persist->Save(L"C:\\x", TRUE), E_FAIL);
    EXPECT_EQ(persist->SaveCompleted(L"C:\\x"), E_FAIL);
    LPOLESTR current = nullptr;
    EXPECT_EQ(persist->GetCurFile(&current), E_FAIL);

    const DWORD effects[] = {DROPEFFECT_NONE, DROPEFFECT_COPY, DROPEFFECT_MOVE | DROPEFFECT_LINK, 0x80000007};
    FakeData data;
    for (DWORD effect : effects) {
        DWORD value = effect;
        EXPECT_EQ(target->DragEnter(&data, MK_LBUTTON, POINTL{1, 2}, &value), S_OK);
        EXPECT_EQ(value, effect);
        EXPECT_EQ(target->DragOver(MK_LBUTTON, POINTL{3, 4}, &value), S_OK);
        EXPECT_EQ(value, effect);
    }
    EXPECT_EQ(data.refs, 1);   // DragEnter does not keep the data object

    viaPersist->Release();
    viaTarget->Release();
    persist->Release();
    init->Release();
    EXPECT_EQ(target->Release(), 0u);
    EXPECT_EQ(liveObjectCount, 0);
}

TEST(ShellCom, HeldDataObjectIsReleasedExactlyOnce) {
    FakeData first, second;
    IShellExtInit* init = createHandler<IShellExtInit>(IID_IShellExtInit);
    ASSERT_NE(init, nullptr);
    EXPECT_EQ(init->Initialize(nullptr, &first, nullptr), S_OK);
    EXPECT_EQ(first.refs, 2);
    EXPECT_EQ(init->Initialize(nullptr, &second, nullptr), S_OK);   // swaps
    EXPECT_EQ(first.refs, 1);
    EXPECT_EQ(second.refs, 2);
    EXPECT_EQ(init->Initialize(nullptr, nullptr, nullptr), S_OK);   // forgets
    EXPECT_EQ(second.refs, 1);

    IDropTarget* target = nullptr;
    ASSERT_EQ(init->QueryInterface(IID_IDropTarget, reinterpret_cast<void**>(&target)), S_OK);
    EXPECT_EQ(target->DragLeave(), S_OK);
    target->Release();
    init->Release();
    EXPECT_EQ(first.refs, 1);
    EXPECT_EQ(second.refs, 1);

    // Held at destruction: released by the destructor; DragLeave also lets go.
    init = createHandler<IShellExtInit>(IID_IShellExtInit);
    init->Initialize(nullptr, &first, nullptr);
    init->Release();
    EXPECT_EQ(first.refs, 1);
    init = createHandler<IShellExtInit>(IID_IShellExtInit);
    init->Initialize(nullptr, &first, nullptr);
    init->QueryInterface(IID_IDropTarget, reinterpret_cast<void**>(&target));
    target->DragLeave();
    EXPECT_EQ(first.refs, 1);
    target->Release();
    init->Release();
    EXPECT_EQ(first.refs, 1);
}

// Drop through the handler with a data object; returns Drop's result. The
// DLL search setting before the drop is `previous` and must be again after.
HRESULT dropWith(FakeData& data, const char* previous) {
    SetDllDirectoryA(previous);
    IDropTarget* target = createHandler<IDropTarget>(IID_IDropTarget);
    DWORD effect = DROPEFFECT_COPY;
    HRESULT hr = target->Drop(&data, 0, POINTL{0, 0}, &effect);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    target->Release();
    char after[MAX_PATH] = {0};
    GetDllDirectoryA(MAX_PATH, after);
    EXPECT_STREQ(after, previous ? previous : "");
    return hr;
}

TEST(ShellCom, DropKeepsItsGuaranteesWhateverHappens) {
    StandinFolder archivers({"unlha32.dll"});
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    // Archivers are available, so gathering reads the data object: without
    // CF_HDROP data nothing is shown at all, and a throwing data object ends
    // the drop quietly as well.
    DialogDriver driver([](DialogDriver&) {});

    struct Case { FakeData::Behaviour behaviour; const char* previous; };
    const Case cases[] = {{FakeData::Behaviour::noData, nullptr},
                          {FakeData::Behaviour::noData, "C:\\windows"},
                          {FakeData::Behaviour::throwing, nullptr},
                          {FakeData::Behaviour::throwing, "C:\\windows"}};
    for (const Case& c : cases) {
        FakeData data(c.behaviour);
        EXPECT_EQ(dropWith(data, c.previous), S_OK);
        EXPECT_EQ(data.refs, 1);
        EXPECT_EQ(data.getDataCalls, 1);
        EXPECT_STRCASEEQ(data.dllDirectoryDuringGetData.c_str(), system);
    }
    EXPECT_EQ(liveObjectCount, 0);
    EXPECT_TRUE(driver.finish());
}

}  // namespace
