// What the registry keeps for controls: this program's record of what it installed, the counts
// installers keep of the programs that share a file, the files registered for a control's
// classes, and the KnownDLLs. All is read in the 32-bit view: on 64-bit Windows a 32-bit file in
// the 32-bit system folder is counted in the 32-bit SharedDLLs key, a 32-bit control's classes
// are registered there, and detection rules marked "32-bit" read the record there.
#include <windows.h>

#include "platform/helpers_win.h"
#include "platform/platform_win.h"

namespace orvandi {
namespace {

constexpr wchar_t kRecords[] = L"SOFTWARE\\Orvandi\\Controls";
constexpr char16_t kRecordsKey[] = u"SOFTWARE\\Orvandi\\Controls";
constexpr wchar_t kCounts[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// The key, opened with `access` in the 32-bit view; created when `create`. An empty owner when it
// does not exist and is not to be created.
KeyHandle OpenKey(const wchar_t* path, REGSAM access, bool create, HKEY root = HKEY_LOCAL_MACHINE) {
    HKEY key = nullptr;
    const REGSAM inView = access | KEY_WOW64_32KEY;
    const LSTATUS status =
        create ? RegCreateKeyExW(root, path, 0, nullptr, 0, inView, nullptr, &key, nullptr)
               : RegOpenKeyExW(root, path, 0, inView, &key);
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

// A text value (a file's path, say), with its %VARIABLES% expanded when it is stored to be;
// nothing when the key or the value is missing or holds no text.
std::optional<Text> ReadText(HKEY root, const Text& path, const wchar_t* name) {
    const KeyHandle key = OpenKey(Wide(path), KEY_QUERY_VALUE, false, root);
    DWORD type = 0, size = 0;
    if (!key ||
        RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::nullopt;
    }
    Text text(size / sizeof(wchar_t) + 1, u'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(Wide(text)),
                         &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    text.resize(wcslen(Wide(text)));
    if (type == REG_EXPAND_SZ) {
        text = Grow([&text](wchar_t* buffer, DWORD length) {
            const DWORD needed = ExpandEnvironmentStringsW(Wide(text), buffer, length);
            return needed == 0 ? 0 : needed - 1;  // the length without the closing NUL
        });
    }
    return text;
}

// A class's in-process server, under a Classes key.
std::optional<Text> Server(HKEY root, const Text& classes, const Text& clsid) {
    std::optional<Text> file =
        ReadText(root, Join({classes, u"\\CLSID\\", clsid, u"\\InprocServer32"}), nullptr);
    if (file && file->size() >= 2 && file->front() == u'"' && file->back() == u'"') {
        *file = file->substr(1, file->size() - 2);
    }
    return file;
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
    return ReadText(HKEY_LOCAL_MACHINE, kRecordsKey, Wide(name));
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

std::vector<Text> Win32Platform::KnownDlls() {
    std::vector<Text> dlls;
    const KeyHandle key = OpenKey(L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs",
                                  KEY_QUERY_VALUE, false);
    wchar_t name[256], dll[MAX_PATH];
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = 256, size = sizeof dll - sizeof(wchar_t), type = 0;
        const LSTATUS status = key ? RegEnumValueW(key.get(), index, name, &nameSize, nullptr,
                                                   &type, reinterpret_cast<BYTE*>(dll), &size)
                                   : ERROR_NO_MORE_ITEMS;
        if (status == ERROR_NO_MORE_ITEMS) return dlls;
        if (status == ERROR_SUCCESS && type == REG_SZ) {
            dll[size / sizeof(wchar_t)] = L'\0';
            dlls.push_back(FromWide(dll, wcslen(dll)));
        }
    }
}

std::optional<Text> Win32Platform::MachineServer(const Text& clsid) {
    return Server(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes", clsid);
}

// Each loaded user profile is a key of HKEY_USERS named by its SID; its classes show under
// "<SID>\Software\Classes" (on Windows a link to the "<SID>_Classes" hive, which is listed too
// and skipped here).
std::vector<UserServer> Win32Platform::UserServers(const Text& clsid) {
    std::vector<UserServer> users;
    wchar_t sid[256];
    for (DWORD index = 0;; ++index) {
        DWORD size = 256;
        const LSTATUS status =
            RegEnumKeyExW(HKEY_USERS, index, sid, &size, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) return users;
        const Text user = FromWide(sid, size);
        if (status != ERROR_SUCCESS ||
            (user.size() > 8 && user.compare(user.size() - 8, 8, u"_Classes") == 0)) {
            continue;
        }
        if (std::optional<Text> file =
                Server(HKEY_USERS, Join({user, u"\\Software\\Classes"}), clsid)) {
            users.push_back({user, *file});
        }
    }
}

void Win32Platform::WriteSharedCount(const Text& path, std::uint32_t count) {
    if (count == 0) return Remove(kCounts, path);
    const DWORD value = count;
    Write(kCounts, path, REG_DWORD, &value, sizeof value);
}

}  // namespace orvandi
