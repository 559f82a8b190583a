#pragma once
// Small owners for Win32 handles: each closes its handle exactly once.
#include <windows.h>
#include <cstdint>
#include <string>
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

// A handle type's "no handle" value and the call that closes one (its result
// is of no use to an owner letting go).
template <typename T, intptr_t NoHandle, auto Close>
struct HandleTraits {
    static T invalid() { return reinterpret_cast<T>(NoHandle); }
    static void close(T h) { Close(h); }
};

typedef UniqueResource<HANDLE, HandleTraits<HANDLE, -1, CloseHandle>> FileHandle;
// Handles whose failure value is null (processes, events).
typedef UniqueResource<HANDLE, HandleTraits<HANDLE, 0, CloseHandle>> KernelHandle;
typedef UniqueResource<HANDLE, HandleTraits<HANDLE, -1, FindClose>> FindHandle;
typedef UniqueResource<HKEY, HandleTraits<HKEY, 0, RegCloseKey>> RegKey;
typedef UniqueResource<HMODULE, HandleTraits<HMODULE, 0, FreeLibrary>> Module;
typedef UniqueResource<HANDLE, HandleTraits<HANDLE, 0, HeapDestroy>> Heap;
typedef UniqueResource<HGLOBAL, HandleTraits<HGLOBAL, 0, GlobalFree>> GlobalMemory;

// The process's current directory, put back when the scope ends (or at
// restore()). Archiver DLLs may move it (7-zip32.dll's extraction leaves the
// process in its output folder), and a folder that is the current directory
// cannot be removed; every call into an archiver DLL is wrapped in one.
class CurrentDirectoryRestore {
public:
    CurrentDirectoryRestore() {
        DWORD size = GetCurrentDirectoryW(0, nullptr);
        if (size == 0) return;
        saved_.resize(size);
        DWORD got = GetCurrentDirectoryW(size, &saved_[0]);
        valid_ = got > 0 && got < size;
        saved_.resize(valid_ ? got : 0);
    }
    ~CurrentDirectoryRestore() { restore(); }
    CurrentDirectoryRestore(const CurrentDirectoryRestore&) = delete;
    CurrentDirectoryRestore& operator=(const CurrentDirectoryRestore&) = delete;

    // Puts the saved directory back now; later calls do nothing.
    void restore() {
        if (valid_) SetCurrentDirectoryW(saved_.c_str());
        valid_ = false;
    }

private:
    std::wstring saved_;
    bool valid_ = false;
};
