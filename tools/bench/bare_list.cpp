// The benchmark's floor for listing: before showing its window, fills a list box with every name
// that FindFirstFileW/FindNextFileW return for <program folder>\OCX\*.ocx, with no other work, the
// least Orvandi.exe does at start.
#include <windows.h>

#include <string>

#include "bench_window.h"
#include "platform/handles_win.h"

namespace {

std::wstring ProgramFolder() {
    std::wstring path(32768, L'\0');
    const DWORD length =
        ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    HWND window = bench::CreateMainWindow(instance, L"BenchBareList");
    if (window == nullptr) return 1;
    // Same place and style as Orvandi's list (created inside the still hidden window).
    HWND list = ::CreateWindowExW(
        WS_EX_CLIENTEDGE, L"ListBox", L"",
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_MULTIPLESEL | LBS_NOINTEGRALHEIGHT, 8,
        56, 145, 108, window, nullptr, instance, nullptr);
    if (list == nullptr) return 1;

    const std::wstring pattern = ProgramFolder() + L"OCX\\*.ocx";
    WIN32_FIND_DATAW found;
    orvandi::FindHandle search(::FindFirstFileW(pattern.c_str(), &found));
    if (search) {
        do {
            ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(found.cFileName));
        } while (::FindNextFileW(search.get(), &found));
    }
    return bench::ShowAndRun(window, show);
}
