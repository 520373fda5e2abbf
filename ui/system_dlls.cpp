#include "ui/system_dlls.h"

#include <windows.h>

#include <initializer_list>

namespace orvandi {

// Without SetDefaultDllDirectories: take the current folder out of the search, and load by full
// path from the system folder the DLLs the window pulls in, so that their later loads by name find
// them already loaded (a missing one is simply not there to be planted instead).
bool PreloadSystemDlls() {
    wchar_t path[MAX_PATH + 20];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (!SetDllDirectoryW(L"") || length == 0 || length >= MAX_PATH) return false;
    for (const wchar_t* dll : {L"\\uxtheme.dll", L"\\dwmapi.dll", L"\\version.dll",
                               L"\\cryptbase.dll", L"\\propsys.dll", L"\\textshaping.dll"}) {
        lstrcpyW(path + length, dll);  // std::wstring would add 30 KB to the program
        LoadLibraryExW(path, nullptr, 0);
    }
    return true;
}

}  // namespace orvandi
