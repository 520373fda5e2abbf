// The program starts with its window: load it, show it, and take events one at a time until it
// is closed. Started with switches (/S, /U, /CHECK, /?), it runs unattended instead.
//
// The manifest asks for common controls 6; Windows 7 and later load them when the first control
// is created, so the program does not call InitCommonControlsEx (which cost about 14 ms of a
// 110 ms start under Wine, measured with tools/bench).
#include <windows.h>

#include "core/unattended.h"
#include "platform/system_dlls_win.h"
#include "ui/form1.h"
#include "ui/res/version.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int show) {
    orvandi::Win32Ports ports;
    const orvandi::Text commandLine = reinterpret_cast<const char16_t*>(arguments);
    const orvandi::Switches switches = orvandi::ParseCommandLine(ports.system, commandLine);
    const bool unattended = switches.mode != orvandi::RunMode::kWindow;

    // Any window, even a message box saying why, would load the DLLs that could not be
    // restricted: the program ends at once instead.
    if (!orvandi::LoadDllsFromTheSystemFolderOnly()) return unattended ? orvandi::kExitFailed : 2;

    // Started with switches by a deployment system, or where nobody could see a window: no window
    // at all, an exit code instead.
    if (unattended) {
        orvandi::Ports all = ports.ports();
        return orvandi::RunUnattended(all, switches, commandLine, u"" ORVANDI_VERSION_STR);
    }

    orvandi::Form1 form(ports);
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
