// Who holds a file, as the Restart Manager tells. It only supplies names for the log; nothing is
// decided on them.
#include <windows.h>

#include <restartmanager.h>

#include <vector>

#include "platform/files_win.h"
#include "platform/helpers_win.h"
#include "platform/platform_win.h"

namespace orvandi {

// rstrtmgr.dll is no KnownDLL: it is loaded by its full path in the system folder, and only when
// a control is found in use, so that the program's start does not pay for it. Under Wine 10 it
// is a stub: a session and a list that always names nobody.
std::optional<std::vector<Holder>> Win32Processes::Holders(const Text& path) {
    const Result<Text> system = SystemPath(GetSystemDirectoryW);
    if (!system) return std::nullopt;
    const Library manager(LoadLibraryExW(Wide(Join({*system, u"\\rstrtmgr.dll"})), nullptr,
                                         LOAD_WITH_ALTERED_SEARCH_PATH));
    const auto start = Function<decltype(&RmStartSession)>(manager.get(), "RmStartSession");
    const auto add = Function<decltype(&RmRegisterResources)>(manager.get(), "RmRegisterResources");
    const auto list = Function<decltype(&RmGetList)>(manager.get(), "RmGetList");
    const auto end = Function<decltype(&RmEndSession)>(manager.get(), "RmEndSession");
    DWORD session = 0;
    WCHAR key[CCH_RM_SESSION_KEY + 1] = L"";
    if (!start || !add || !list || !end || start(&session, 0, key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    // The Restart Manager knows files by their real paths (SysWOW64 where this program sees
    // System32); asked by the path as it is when that cannot be read, it names nobody at worst.
    // It is asked how many hold the file, then who, again while that number grows.
    const Result<Text> realPath = RealPath(path);
    const Text& real = realPath ? *realPath : path;
    std::optional<std::vector<Holder>> holders;
    LPCWSTR files[] = {Wide(real)};
    std::vector<RM_PROCESS_INFO> found;
    UINT needed = 0, count = 0;
    DWORD reasons = 0, status = add(session, 1, files, 0, nullptr, 0, nullptr);
    for (int asked = 0; status == ERROR_SUCCESS && asked < 8; ++asked) {
        found.resize(needed);
        count = needed;
        status = list(session, &needed, &count, found.data(), &reasons);
        if (status == ERROR_MORE_DATA) {
            status = ERROR_SUCCESS;
        } else if (status == ERROR_SUCCESS) {
            holders.emplace();
            for (UINT i = 0; i < count; ++i) {
                holders->push_back({FromWide(found[i].strAppName), found[i].Process.dwProcessId});
            }
            break;
        }
    }
    end(session);
    return holders;
}

}  // namespace orvandi
