// Who holds a file, as the Restart Manager tells. It only supplies names for the log; nothing is
// decided on them.
#include <windows.h>

#include <restartmanager.h>

#include <memory>
#include <vector>

#include "platform/helpers_win.h"
#include "platform/platform_win.h"

namespace orvandi {

// rstrtmgr.dll is no KnownDLL: it is loaded by its full path in the system folder, and only when
// a control is found in use, so that the program's start does not pay for it. Under Wine 10 it
// is a stub: a session and a list that always names nobody.
std::optional<std::vector<Holder>> Win32Platform::Holders(const Text& path) {
    Text dll;
    try {
        dll = SystemPath(GetSystemDirectoryW) + u"\\rstrtmgr.dll";
    } catch (const Failure&) {
        return std::nullopt;
    }
    const Library manager(LoadLibraryExW(Wide(dll), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    const auto find = [&manager](const char* name) {
        return manager ? reinterpret_cast<void*>(GetProcAddress(manager.get(), name)) : nullptr;
    };
    const auto start = reinterpret_cast<decltype(&RmStartSession)>(find("RmStartSession"));
    const auto add = reinterpret_cast<decltype(&RmRegisterResources)>(find("RmRegisterResources"));
    const auto list = reinterpret_cast<decltype(&RmGetList)>(find("RmGetList"));
    const auto end = reinterpret_cast<decltype(&RmEndSession)>(find("RmEndSession"));
    DWORD session = 0;
    WCHAR key[CCH_RM_SESSION_KEY + 1] = L"";
    if (!start || !add || !list || !end || start(&session, 0, key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    // Asked twice: how many hold it, then who. Should that change in between, nobody is named.
    std::optional<std::vector<Holder>> holders;
    LPCWSTR files[] = {Wide(path)};
    UINT needed = 0, count = 0;
    DWORD reasons = 0;
    if (add(session, 1, files, 0, nullptr, 0, nullptr) == ERROR_SUCCESS &&
        list(session, &needed, &count, nullptr, &reasons) != ERROR_INVALID_PARAMETER) {
        const auto found = std::make_unique<RM_PROCESS_INFO[]>(needed + 1);
        count = needed;
        if (list(session, &needed, &count, found.get(), &reasons) == ERROR_SUCCESS) {
            holders.emplace();
            for (UINT i = 0; i < count; ++i) {
                holders->push_back({FromWide(found[i].strAppName, wcslen(found[i].strAppName)),
                                    found[i].Process.dwProcessId});
            }
        }
    }
    end(session);
    return holders;
}

}  // namespace orvandi
