// Owning types for Windows handles, so every path out of a function releases
// what it holds.
#pragma once

#include <windows.h>

#include "app/Chyby.h"

#include <utility>

namespace mirvak::winapi {

// A handle with a close function and an "empty" value.
template <typename T, typename Traits>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(T h) : h_(h) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, Traits::Empty())) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept
    {
        if (this != &o) {
            Reset();
            h_ = std::exchange(o.h_, Traits::Empty());
        }
        return *this;
    }

    T Get() const { return h_; }
    explicit operator bool() const { return h_ != Traits::Empty(); }
    T* Put() { Reset(); return &h_; }
    T Release() { return std::exchange(h_, Traits::Empty()); }
    void Reset(T h = Traits::Empty())
    {
        if (h_ != Traits::Empty())
            Traits::Close(h_);
        h_ = h;
    }

private:
    T h_ = Traits::Empty();
};

struct KernelHandleTraits {
    static HANDLE Empty() { return nullptr; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
struct FileHandleTraits {
    static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
// Closing a registry key must not fail; a failure ends the program.
struct RegKeyTraits {
    static HKEY Empty() { return nullptr; }
    static void Close(HKEY h)
    {
        LSTATUS s = RegCloseKey(h);
        if (s != ERROR_SUCCESS)
            FatalniChybaKod(KodChyby(static_cast<DWORD>(s)));
    }
};
struct IconTraits {
    static HICON Empty() { return nullptr; }
    static void Close(HICON h) { DestroyIcon(h); }
};
struct GdiTraits {
    static HGDIOBJ Empty() { return nullptr; }
    static void Close(HGDIOBJ h) { DeleteObject(h); }
};
struct EventSourceTraits {
    static HANDLE Empty() { return nullptr; }
    static void Close(HANDLE h) { DeregisterEventSource(h); }
};

using Handle = UniqueHandle<HANDLE, KernelHandleTraits>;
using FileHandle = UniqueHandle<HANDLE, FileHandleTraits>;
using RegKey = UniqueHandle<HKEY, RegKeyTraits>;
using GdiObject = UniqueHandle<HGDIOBJ, GdiTraits>;

// Leaves a critical section on every path.
class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CRITICAL_SECTION& cs) : cs_(cs) { EnterCriticalSection(&cs_); }
    ~CriticalSectionLock() { LeaveCriticalSection(&cs_); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CRITICAL_SECTION& cs_;
};

} // namespace mirvak::winapi
