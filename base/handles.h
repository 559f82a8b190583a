#pragma once
// Small owners for Win32 handles: each closes its handle exactly once.
#include <windows.h>
#include <utility>

template <typename T, typename Traits>
class UniqueResource {
public:
    UniqueResource() : value_(Traits::invalid()) {}
    explicit UniqueResource(T value) : value_(value) {}
    ~UniqueResource() { reset(); }
    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    T get() const { return value_; }
    bool valid() const { return value_ != Traits::invalid(); }
    explicit operator bool() const { return valid(); }
    T release() { T v = value_; value_ = Traits::invalid(); return v; }
    void reset(T value = Traits::invalid()) {
        if (valid()) Traits::close(value_);
        value_ = value;
    }
    T* put() { reset(); return &value_; }

private:
    T value_;
};

struct FileHandleTraits {
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { CloseHandle(h); }
};
struct KernelHandleTraits {   // handles whose failure value is null (processes, events)
    static HANDLE invalid() { return nullptr; }
    static void close(HANDLE h) { CloseHandle(h); }
};
struct FindHandleTraits {
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { FindClose(h); }
};
struct RegKeyTraits {
    static HKEY invalid() { return nullptr; }
    static void close(HKEY h) { RegCloseKey(h); }
};
struct ModuleTraits {
    static HMODULE invalid() { return nullptr; }
    static void close(HMODULE h) { FreeLibrary(h); }
};
struct HeapTraits {
    static HANDLE invalid() { return nullptr; }
    static void close(HANDLE h) { HeapDestroy(h); }
};
struct GlobalTraits {
    static HGLOBAL invalid() { return nullptr; }
    static void close(HGLOBAL h) { GlobalFree(h); }
};

typedef UniqueResource<HANDLE, FileHandleTraits> FileHandle;
typedef UniqueResource<HANDLE, KernelHandleTraits> KernelHandle;
typedef UniqueResource<HANDLE, FindHandleTraits> FindHandle;
typedef UniqueResource<HKEY, RegKeyTraits> RegKey;
typedef UniqueResource<HMODULE, ModuleTraits> Module;
typedef UniqueResource<HANDLE, HeapTraits> Heap;
typedef UniqueResource<HGLOBAL, GlobalTraits> GlobalMemory;
