// The program starts with its window: load it, show it, and take events one at a time until it
// is closed. Started with switches (/S, /U, /?), it runs unattended instead.
//
// The manifest asks for common controls 6; Windows 7 and later load them when the first control
// is created, so the program does not call InitCommonControlsEx (which cost about 14 ms of a
// 110 ms start under Wine, measured with tools/bench).
#include <windows.h>

#include "core/unattended.h"
#include "ui/form1.h"
#include "ui/res/version.h"
#include "ui/system_dlls.h"

namespace {

// The program runs as administrator, often from a download or shared folder. Windows looks for a
// DLL that is not one of its KnownDLLs in the program's own folder first, and the window alone
// makes it load several (uxtheme, dwmapi, version, ...): anyone who can drop a file beside
// Orvandi.exe could run code as administrator. So every DLL loaded by name after this comes from
// the system folder only.
bool LoadDllsFromTheSystemFolderOnly() {
    // Windows 7 has SetDefaultDllDirectories only with its 2011 loader update (KB2533623).
    using SetDirectories = BOOL(WINAPI*)(DWORD);
    const auto setDirectories = reinterpret_cast<SetDirectories>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDirectories != nullptr) return setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    return orvandi::PreloadSystemDlls();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int show) {
    orvandi::Win32Platform platform;
    const orvandi::Text commandLine = reinterpret_cast<const char16_t*>(arguments);
    const orvandi::Switches switches = orvandi::ParseCommandLine(platform, commandLine);
    const bool unattended = switches.mode != orvandi::RunMode::kWindow;

    // Any window, even a message box saying why, would load the DLLs that could not be
    // restricted: the program ends at once instead.
    if (!LoadDllsFromTheSystemFolderOnly()) return unattended ? orvandi::kExitFailed : 2;

    // Started with switches by a deployment system, or where nobody could see a window: no window
    // at all, an exit code instead.
    if (unattended) {
        return orvandi::RunUnattended(platform, switches, commandLine, u"" ORVANDI_VERSION_STR);
    }

    orvandi::Form1 form(platform);
    HWND hwnd = form.Create(instance);
    if (hwnd == nullptr) return 1;
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Tab, Shift+Tab, Space and Enter move between and press the controls as in a dialog.
        if (IsDialogMessageW(hwnd, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
