// What the registry keeps for controls: this program's record of what each package installed, the
// counts installers keep of the programs that share a file, the files registered for a control's
// classes, and the KnownDLLs. All is read in the 32-bit view: on 64-bit Windows a 32-bit file in
// the 32-bit system folder is counted in the 32-bit SharedDLLs key, a 32-bit control's classes
// are registered there, and detection rules marked "32-bit" read the record there.
#include <windows.h>

#include "platform/helpers_win.h"
#include "platform/platform_win.h"

namespace orvandi {
namespace {

// A package's record: the unnamed package's key is the one every unnamed run shares.
Text RecordKey(const Text& package) {
    return package.empty() ? Text(u"SOFTWARE\\Orvandi\\Controls")
                           : Join({u"SOFTWARE\\Orvandi\\Packages\\", package});
}
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

// A value as it is stored, whatever its type and size; nothing when the key or the value is
// missing.
std::optional<StoredValue> Read(const wchar_t* path, const Text& name) {
    const KeyHandle key = OpenKey(path, KEY_QUERY_VALUE, false);
    StoredValue value;
    DWORD type = 0, size = 64;  // not 0: with no buffer at all, Windows answers only the size
    for (LSTATUS status = ERROR_MORE_DATA; key && status != ERROR_FILE_NOT_FOUND;) {
        value.data.resize(size);
        status = RegQueryValueExW(key.get(), Wide(name), nullptr, &type, value.data.data(), &size);
        if (status == ERROR_SUCCESS) {
            value.type = type;
            value.data.resize(size);
            return value;
        }
        if (status != ERROR_MORE_DATA && status != ERROR_FILE_NOT_FOUND) {
            throw SystemFailure(static_cast<DWORD>(status));
        }
    }
    return std::nullopt;
}

// A text value (a file's path, say), with its %VARIABLES% expanded when it is stored to be;
// nothing when the key or the value is missing or holds no text.
std::optional<Text> ReadText(const KeyHandle& key, const wchar_t* name) {
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

// A class's in-process server key, under a Classes key; an empty owner when there is none.
KeyHandle ServerKey(HKEY root, const Text& classes, const Text& clsid) {
    const Text path = Join({classes, u"\\CLSID\\", clsid, u"\\InprocServer32"});
    return OpenKey(Wide(path), KEY_QUERY_VALUE, false, root);
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

std::optional<Text> Win32Platform::ReadRecord(const Text& package, const Text& name) {
    return ReadText(OpenKey(Wide(RecordKey(package)), KEY_QUERY_VALUE, false), Wide(name));
}

void Win32Platform::WriteRecord(const Text& package, const Text& name, const Text& text) {
    Write(Wide(RecordKey(package)), name, REG_SZ, text.c_str(),
          static_cast<DWORD>((text.size() + 1) * sizeof(char16_t)));
}

// A named package's key goes with its last value, unless someone put a key of their own in it.
void Win32Platform::RemoveRecord(const Text& package, const Text& name) {
    const Text path = RecordKey(package);
    const KeyHandle key = OpenKey(Wide(path), KEY_SET_VALUE | KEY_QUERY_VALUE, false);
    const LSTATUS status = key ? RegDeleteValueW(key.get(), Wide(name)) : ERROR_SUCCESS;
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        throw SystemFailure(static_cast<DWORD>(status));
    }
    DWORD keys = 1, values = 1;
    if (key && !package.empty() &&
        RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &keys, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
        keys + values == 0) {
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, Wide(path), KEY_WOW64_32KEY, 0);
    }
}

std::vector<Text> Win32Platform::RecordNames(const Text& package) {
    std::vector<Text> names;
    const KeyHandle key = OpenKey(Wide(RecordKey(package)), KEY_QUERY_VALUE, false);
    wchar_t name[16384];  // the longest a value's name can be
    for (DWORD index = 0; key; ++index) {
        DWORD size = 16384;
        const LSTATUS status =
            RegEnumValueW(key.get(), index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) throw SystemFailure(static_cast<DWORD>(status));
        names.push_back(FromWide(name, size));
    }
    return names;
}

std::optional<StoredValue> Win32Platform::ReadSharedCount(const Text& path) {
    return Read(kCounts, path);
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

// Windows Installer advertises a class with a value named "InprocServer32" beside the file (its
// descriptor of the component), only ever looked at here, never handed to Windows Installer.
std::optional<ClassServer> Win32Platform::MachineServer(const Text& clsid) {
    const KeyHandle server = ServerKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes", clsid);
    if (!server) return std::nullopt;
    return ClassServer{ReadText(server, nullptr).value_or(Text()),
                       RegQueryValueExW(server.get(), L"InprocServer32", nullptr, nullptr, nullptr,
                                        nullptr) == ERROR_SUCCESS};
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
        if (std::optional<Text> file = ReadText(
                ServerKey(HKEY_USERS, Join({user, u"\\Software\\Classes"}), clsid), nullptr)) {
            users.push_back({user, *file});
        }
    }
}

void Win32Platform::WriteSharedCount(const Text& path, const StoredValue& count) {
    Write(kCounts, path, count.type, count.data.data(), static_cast<DWORD>(count.data.size()));
}

void Win32Platform::RemoveSharedCount(const Text& path) { Remove(kCounts, path); }

}  // namespace orvandi
