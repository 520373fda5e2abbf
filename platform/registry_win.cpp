// What the registry keeps for shared controls: this program's record of what it installed, and
// the counts installers keep of the programs that share a file. Both live in the 32-bit view of
// HKLM: on 64-bit Windows a 32-bit file in the 32-bit system folder is counted in the 32-bit
// SharedDLLs key, and detection rules marked "32-bit" read the record there.
#include <windows.h>

#include "platform/helpers_win.h"
#include "platform/platform_win.h"

namespace orvandi {
namespace {

constexpr wchar_t kRecords[] = L"SOFTWARE\\Orvandi\\Controls";
constexpr wchar_t kCounts[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// The key, opened with `access` in the 32-bit view; created when `create`. An empty owner when it
// does not exist and is not to be created.
KeyHandle OpenKey(const wchar_t* path, REGSAM access, bool create) {
    HKEY key = nullptr;
    const REGSAM inView = access | KEY_WOW64_32KEY;
    const LSTATUS status = create ? RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, inView,
                                                    nullptr, &key, nullptr)
                                  : RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, inView, &key);
    if (status == ERROR_FILE_NOT_FOUND && !create) return KeyHandle();
    if (status != ERROR_SUCCESS) throw SystemFailure(static_cast<DWORD>(status));
    return KeyHandle(key);
}

// Reads a value into `data`; false when the key or the value is missing, or the value is of
// another type than `type`.
bool Read(const wchar_t* path, const Text& name, DWORD type, void* data, DWORD size) {
    const KeyHandle key = OpenKey(path, KEY_QUERY_VALUE, false);
    if (!key) return false;
    DWORD found = 0;
    const LSTATUS status =
        RegQueryValueExW(key.get(), Wide(name), nullptr, &found, static_cast<BYTE*>(data), &size);
    if (status == ERROR_FILE_NOT_FOUND) return false;
    if (status != ERROR_SUCCESS) throw SystemFailure(static_cast<DWORD>(status));
    return found == type;
}

void Write(const wchar_t* path, const Text& name, DWORD type, const void* data, DWORD size) {
    const LSTATUS status = RegSetValueExW(OpenKey(path, KEY_SET_VALUE, true).get(), Wide(name), 0,
                                          type, static_cast<const BYTE*>(data), size);
    if (status != ERROR_SUCCESS) throw SystemFailure(static_cast<DWORD>(status));
}

void Remove(const wchar_t* path, const Text& name) {
    const KeyHandle key = OpenKey(path, KEY_SET_VALUE, false);
    const LSTATUS status = key ? RegDeleteValueW(key.get(), Wide(name)) : ERROR_SUCCESS;
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        throw SystemFailure(static_cast<DWORD>(status));
    }
}

}  // namespace

std::optional<Text> Win32Platform::ReadRecord(const Text& name) {
    wchar_t version[64] = L"";  // "65535.65535.65535.65535", and room for the closing NUL
    if (!Read(kRecords, name, REG_SZ, version, sizeof version - sizeof(wchar_t))) {
        return std::nullopt;
    }
    return FromWide(version, wcslen(version));
}

void Win32Platform::WriteRecord(const Text& name, const Text& version) {
    Write(kRecords, name, REG_SZ, version.c_str(),
          static_cast<DWORD>((version.size() + 1) * sizeof(char16_t)));
}

void Win32Platform::RemoveRecord(const Text& name) { Remove(kRecords, name); }

std::optional<std::uint32_t> Win32Platform::ReadSharedCount(const Text& path) {
    DWORD count = 0;
    if (!Read(kCounts, path, REG_DWORD, &count, sizeof count)) return std::nullopt;
    return count;
}

void Win32Platform::WriteSharedCount(const Text& path, std::uint32_t count) {
    if (count == 0) return Remove(kCounts, path);
    const DWORD value = count;
    Write(kCounts, path, REG_DWORD, &value, sizeof value);
}

}  // namespace orvandi
