// Owners of Win32 handles, in the manner of WIL's unique_any: each kind of handle has one small
// non-copyable, movable type that releases it when the owner goes out of scope or is reset. This
// is the only place that closes file, search, process, thread, registry and event log handles,
// frees modules and memory from LocalAlloc.
#pragma once

#include <windows.h>

#include <utility>

namespace orvandi {

template <typename Traits>
class UniqueHandle {
  public:
    using Value = typename Traits::Value;

    UniqueHandle() = default;
    explicit UniqueHandle(Value value) : value_(value) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    Value get() const { return value_; }
    explicit operator bool() const { return Traits::Owns(value_); }

    // Releases the handle held (if any) and takes `value` instead.
    void reset(Value value = Traits::Empty()) {
        Value old = std::exchange(value_, value);
        if (Traits::Owns(old)) Traits::Close(old);
    }
    // Gives up ownership without closing.
    Value release() { return std::exchange(value_, Traits::Empty()); }

  private:
    Value value_ = Traits::Empty();
};

// A handle that null marks as empty, released by `close`.
template <typename Handle, auto close>
struct NullIsEmpty {
    using Value = Handle;
    static Value Empty() { return nullptr; }
    static bool Owns(Value h) { return h != nullptr; }
    static void Close(Value h) { close(h); }
};

// CreateFileW and FindFirstFileW report failure with INVALID_HANDLE_VALUE, other calls with null:
// both are empty.
template <auto close>
struct InvalidIsEmpty {
    using Value = HANDLE;
    static Value Empty() { return INVALID_HANDLE_VALUE; }
    static bool Owns(Value h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Value h) { close(h); }
};

using FileHandle = UniqueHandle<InvalidIsEmpty<::CloseHandle>>;
using FindHandle = UniqueHandle<InvalidIsEmpty<::FindClose>>;
// Processes, threads, events and jobs: null is empty (a process's pseudo handle is -1, a valid
// value).
using KernelHandle = UniqueHandle<NullIsEmpty<HANDLE, ::CloseHandle>>;
using Library = UniqueHandle<NullIsEmpty<HMODULE, ::FreeLibrary>>;
using KeyHandle = UniqueHandle<NullIsEmpty<HKEY, ::RegCloseKey>>;
// Memory that Windows allocated for the caller with LocalAlloc: security descriptors and SIDs
// made from text, their texts, message texts.
using LocalMemory = UniqueHandle<NullIsEmpty<HLOCAL, ::LocalFree>>;
using EventSourceHandle = UniqueHandle<NullIsEmpty<HANDLE, ::DeregisterEventSource>>;
using Font = UniqueHandle<NullIsEmpty<HFONT, ::DeleteObject>>;
// Memory device contexts (CreateCompatibleDC); a window's DC is released, not deleted.
using MemoryDc = UniqueHandle<NullIsEmpty<HDC, ::DeleteDC>>;

}  // namespace orvandi
