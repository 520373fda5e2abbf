// An owned registry key, for the sample control files and the end-to-end driver.
#pragma once

#include <windows.h>

#include "platform/handles_win.h"

namespace orvandi::e2e {

struct RegKeyTraits {
    using Value = HKEY;
    static Value Empty() { return nullptr; }
    static bool Owns(Value key) { return key != nullptr; }
    static void Close(Value key) { RegCloseKey(key); }
};
using RegKey = UniqueHandle<RegKeyTraits>;

// Where the samples keep their records (see sample_control.cpp).
inline constexpr wchar_t kSamplesKey[] = L"Software\\OrvandiSamples";

// Opens (creating it when missing) HKCU\<path> for reading and writing; empty on failure.
inline RegKey CreateUserKey(const wchar_t* path) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return RegKey();
    }
    return RegKey(key);
}

}  // namespace orvandi::e2e
