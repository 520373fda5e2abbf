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

namespace handle_traits {

// CreateFileW reports failure with INVALID_HANDLE_VALUE, other calls with null: both are empty.
struct File {
    using Value = HANDLE;
    static Value Empty() { return INVALID_HANDLE_VALUE; }
    static bool Owns(Value h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Value h) { ::CloseHandle(h); }
};

struct Find {
    using Value = HANDLE;
    static Value Empty() { return INVALID_HANDLE_VALUE; }
    static bool Owns(Value h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Value h) { ::FindClose(h); }
};

// Process, thread, event and job handles: null is empty (a process's pseudo handle is -1, a valid
// value).
struct Kernel {
    using Value = HANDLE;
    static Value Empty() { return nullptr; }
    static bool Owns(Value h) { return h != nullptr; }
    static void Close(Value h) { ::CloseHandle(h); }
};

struct Library {
    using Value = HMODULE;
    static Value Empty() { return nullptr; }
    static bool Owns(Value h) { return h != nullptr; }
    static void Close(Value h) { ::FreeLibrary(h); }
};

struct Key {
    using Value = HKEY;
    static Value Empty() { return nullptr; }
    static bool Owns(Value h) { return h != nullptr; }
    static void Close(Value h) { ::RegCloseKey(h); }
};

// Memory that Windows allocated for the caller with LocalAlloc: security descriptors and SIDs
// made from text, their texts, message texts.
struct Local {
    using Value = HLOCAL;
    static Value Empty() { return nullptr; }
    static bool Owns(Value h) { return h != nullptr; }
    static void Close(Value h) { ::LocalFree(h); }
};

// A handle to an event source of the event log (RegisterEventSourceW).
struct EventSource {
    using Value = HANDLE;
    static Value Empty() { return nullptr; }
    static bool Owns(Value h) { return h != nullptr; }
    static void Close(Value h) { ::DeregisterEventSource(h); }
};

struct Font {
    using Value = HFONT;
    static Value Empty() { return nullptr; }
    static bool Owns(Value h) { return h != nullptr; }
    static void Close(Value h) { ::DeleteObject(h); }
};

// Memory device contexts (CreateCompatibleDC); a window's DC is released, not deleted.
struct Dc {
    using Value = HDC;
    static Value Empty() { return nullptr; }
    static bool Owns(Value h) { return h != nullptr; }
    static void Close(Value h) { ::DeleteDC(h); }
};

}  // namespace handle_traits

using FileHandle = UniqueHandle<handle_traits::File>;
using FindHandle = UniqueHandle<handle_traits::Find>;
using KernelHandle = UniqueHandle<handle_traits::Kernel>;  // processes, threads, events, jobs
using Library = UniqueHandle<handle_traits::Library>;
using KeyHandle = UniqueHandle<handle_traits::Key>;
using LocalMemory = UniqueHandle<handle_traits::Local>;
using EventSourceHandle = UniqueHandle<handle_traits::EventSource>;
using Font = UniqueHandle<handle_traits::Font>;
using MemoryDc = UniqueHandle<handle_traits::Dc>;

}  // namespace orvandi
