// The registry, values as they are stored, always in the 32-bit view (KEY_WOW64_32KEY): on 64-bit
// Windows a 32-bit file in the 32-bit system folder is counted in the 32-bit SharedDLLs key, a
// 32-bit control's classes are registered there, and detection rules marked "32-bit" read this
// program's record there. HKEY_USERS is not redirected; the flag changes nothing there.
#include <windows.h>

#include "platform/helpers_win.h"
#include "platform/platform_win.h"

namespace orvandi {
namespace {

// The longest name a value can have, in characters, and its closing NUL; a key's is shorter.
constexpr DWORD kLongestName = 16384;

Failure RegistryFailure(LSTATUS status) { return SystemFailure(static_cast<DWORD>(status)); }

HKEY RootKey(Root root) { return root == Root::kUsers ? HKEY_USERS : HKEY_LOCAL_MACHINE; }

// The key, opened with `access`; made when `create`. An empty owner when it is missing and not to
// be made. The empty path opens the root itself.
Result<KeyHandle> OpenKey(HKEY root, const Text& path, REGSAM access, bool create = false) {
    HKEY key = nullptr;
    const REGSAM inView = access | KEY_WOW64_32KEY;
    const LSTATUS status =
        create ? RegCreateKeyExW(root, Wide(path), 0, nullptr, 0, inView, nullptr, &key, nullptr)
               : RegOpenKeyExW(root, Wide(path), 0, inView, &key);
    if (status == ERROR_FILE_NOT_FOUND && !create) return KeyHandle();
    if (status != ERROR_SUCCESS) return RegistryFailure(status);
    return KeyHandle(key);
}

// The names of a key's values or of its subkeys.
Result<std::vector<Text>> Names(Root root, const Text& path, bool values) {
    Result<KeyHandle> key =
        OpenKey(RootKey(root), path, values ? KEY_QUERY_VALUE : KEY_ENUMERATE_SUB_KEYS);
    if (!key) return key.failure();
    std::vector<Text> names;
    Text name(kLongestName, u'\0');
    for (DWORD index = 0; *key; ++index) {
        DWORD size = kLongestName;
        const LSTATUS status = values ? RegEnumValueW(key->get(), index, Wide(name), &size, nullptr,
                                                      nullptr, nullptr, nullptr)
                                      : RegEnumKeyExW(key->get(), index, Wide(name), &size, nullptr,
                                                      nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) return RegistryFailure(status);
        names.push_back(name.substr(0, size));
    }
    return names;
}

}  // namespace

Result<std::optional<StoredValue>> Win32Registry::Read(Root root, const Text& key,
                                                       const Text& name) {
    Result<KeyHandle> opened = OpenKey(RootKey(root), key, KEY_QUERY_VALUE);
    if (!opened) return opened.failure();
    if (!*opened) return std::optional<StoredValue>();
    StoredValue value;
    DWORD type = 0, size = 64;  // not 0: with no buffer at all, Windows answers only the size
    for (;;) {
        value.data.resize(size);
        const LSTATUS status =
            RegQueryValueExW(opened->get(), Wide(name), nullptr, &type, value.data.data(), &size);
        if (status == ERROR_FILE_NOT_FOUND) return std::optional<StoredValue>();
        if (status == ERROR_SUCCESS) {
            value.type = type;
            value.data.resize(size);
            return std::optional<StoredValue>(std::move(value));
        }
        if (status != ERROR_MORE_DATA) return RegistryFailure(status);  // `size` is what it needs
    }
}

Result<std::vector<Text>> Win32Registry::ValueNames(Root root, const Text& key) {
    return Names(root, key, true);
}

Result<std::vector<Text>> Win32Registry::KeyNames(Root root, const Text& key) {
    return Names(root, key, false);
}

Status Win32Registry::Write(const Text& key, const Text& name, const StoredValue& value) {
    Result<KeyHandle> opened = OpenKey(HKEY_LOCAL_MACHINE, key, KEY_SET_VALUE, true);
    if (!opened) return opened.failure();
    const LSTATUS status = RegSetValueExW(opened->get(), Wide(name), 0, value.type,
                                          value.data.data(), static_cast<DWORD>(value.data.size()));
    if (status != ERROR_SUCCESS) return RegistryFailure(status);
    return {};
}

Status Win32Registry::Remove(const Text& key, const Text& name) {
    Result<KeyHandle> opened = OpenKey(HKEY_LOCAL_MACHINE, key, KEY_SET_VALUE);
    if (!opened) return opened.failure();
    const LSTATUS status = *opened ? RegDeleteValueW(opened->get(), Wide(name)) : ERROR_SUCCESS;
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return RegistryFailure(status);
    return {};
}

// Windows deletes a key with its values, never with subkeys: the values are counted first, so
// that nothing anyone put there goes with it.
Status Win32Registry::RemoveEmptyKey(const Text& key) {
    DWORD keys = 0, values = 0;
    {
        Result<KeyHandle> opened = OpenKey(HKEY_LOCAL_MACHINE, key, KEY_QUERY_VALUE);
        if (!opened) return opened.failure();
        if (!*opened) return {};
        const LSTATUS status =
            RegQueryInfoKeyW(opened->get(), nullptr, nullptr, nullptr, &keys, nullptr, nullptr,
                             &values, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) return RegistryFailure(status);
    }
    if (keys + values != 0) return {};
    const LSTATUS status = RegDeleteKeyExW(HKEY_LOCAL_MACHINE, Wide(key), KEY_WOW64_32KEY, 0);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return RegistryFailure(status);
    return {};
}

}  // namespace orvandi
