// The benchmark's floor for start-up: a Win32 program that only registers a class, creates one
// window and shows it, built like Orvandi.exe (same compiler, flags, static runtime, manifest).
#include <windows.h>

#include "bench_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    HWND window = bench::CreateMainWindow(instance, L"BenchMinimalWindow");
    if (window == nullptr) return 1;
    return bench::ShowAndRun(window, show);
}
