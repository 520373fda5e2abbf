// The program runs as administrator, often from a download or shared folder. Windows looks for a
// DLL that is not one of its KnownDLLs in the program's own folder first, and the window alone
// makes it load several (uxtheme, dwmapi, version, ...): anyone who can drop a file beside
// Orvandi.exe could run code as administrator. So every DLL loaded by name comes from the system
// folder only.
#include "platform/system_dlls_win.h"

#include <windows.h>

#include <initializer_list>

#include "platform/helpers_win.h"

namespace orvandi {

bool LoadDllsFromTheSystemFolderOnly() {
    // Windows 7 has SetDefaultDllDirectories only with its 2011 loader update (KB2533623).
    const auto setDirectories = Function<BOOL(WINAPI*)(DWORD)>(GetModuleHandleW(L"kernel32.dll"),
                                                               "SetDefaultDllDirectories");
    if (setDirectories != nullptr) return setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    return PreloadSystemDlls();
}

// Without SetDefaultDllDirectories the program's own folder stays first in the search for a DLL
// loaded by name, and nothing takes it out. So the current folder is taken out, and the DLLs the
// window pulls in are loaded here by full path from the system folder: their later loads by name
// find them already loaded. LOAD_WITH_ALTERED_SEARCH_PATH makes the search for what each of them
// imports start in the system folder too, not beside the program.
//
// What this leaves open: a DLL the system folder lacks is not loaded here, and a later load of it
// by name would take a copy planted beside the program. Windows 7 lacks textshaping (later versions
// load it), and nothing on Windows 7 asks for it. The same holds for whatever these DLLs load
// later on their own (delay-loaded imports): it is looked for beside the program first.
bool PreloadSystemDlls() {
    wchar_t path[MAX_PATH + 20];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (!SetDllDirectoryW(L"") || length == 0 || length >= MAX_PATH) return false;
    for (const wchar_t* dll : {L"\\uxtheme.dll", L"\\dwmapi.dll", L"\\version.dll",
                               L"\\cryptbase.dll", L"\\propsys.dll", L"\\textshaping.dll"}) {
        lstrcpyW(path + length, dll);  // std::wstring would add 30 KB to the program
        LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    return true;
}

}  // namespace orvandi
