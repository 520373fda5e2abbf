// Keeps a Wine test session's desktop alive. Wine ends its desktop process (explorer.exe) when
// the last program with a window exits, and starting it again can stall for 10 s on
// "err:ole:start_rpcss" (seen here after a desktop process was ended under it), longer than a
// test waits for a window. One hidden window held for the whole session keeps the desktop up.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"WineSessionKeeper";
    RegisterClassW(&windowClass);
    CreateWindowW(L"WineSessionKeeper", L"", WS_OVERLAPPED, 0, 0, 1, 1, nullptr, nullptr, instance,
                  nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}
