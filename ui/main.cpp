// The program starts with its window: load it, show it, and take events one at a time until it
// is closed.
//
// The manifest asks for common controls 6; Windows 7 and later load them when the first control
// is created, so the program does not call InitCommonControlsEx (which cost about 14 ms of a
// 110 ms start under Wine, measured with tools/bench).
#include <windows.h>

#include "ui/form1.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    orvandi::Win32Platform platform;
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
