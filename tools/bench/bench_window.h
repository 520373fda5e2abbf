// The window both reference programs show: a plain top-level window of Orvandi's size and style,
// so that the benchmark compares Orvandi with the least a program of its kind must do.
#pragma once

#include <windows.h>

namespace bench {

inline LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, message, wparam, lparam);
}

// Registers `class_name` and creates the (still hidden) window: captioned, not resizable, with a
// 326 x 213 client area.
inline HWND CreateMainWindow(HINSTANCE instance, const wchar_t* class_name) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = WindowProc;
    window_class.hInstance = instance;
    window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = class_name;
    if (::RegisterClassExW(&window_class) == 0) return nullptr;

    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame{0, 0, 326, 213};
    ::AdjustWindowRectEx(&frame, style, FALSE, 0);
    return ::CreateWindowExW(0, class_name, class_name, style, CW_USEDEFAULT, CW_USEDEFAULT,
                             frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                             instance, nullptr);
}

// Shows the window and runs the message loop until it is closed.
inline int ShowAndRun(HWND window, int show) {
    ::ShowWindow(window, show);
    ::UpdateWindow(window);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace bench
