// The benchmark's stopwatch: starts a program and measures how long it takes to show its window.
//   launch_timer.exe CLASS PROGRAM [ARGUMENTS...]
// Prints the milliseconds from CreateProcessW to the first moment a visible top-level window of
// class CLASS belongs to the new process (looked for every millisecond) and, when that window has
// a list box, the number of entries in it (so a run that listed nothing shows); then closes the
// window and waits for the program to end. Exits with 1, saying why on stderr, when the program
// does not start, ends or shows a message box first, or shows no such window within a minute.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/handles_win.h"

namespace {

struct Search {
    DWORD process_id;
    const wchar_t* class_name;
    HWND window = nullptr;   // the awaited window
    HWND message = nullptr;  // a message box (dialog class) shown instead
};

BOOL CALLBACK CheckWindow(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<Search*>(context);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != search.process_id || !::IsWindowVisible(window)) return TRUE;
    wchar_t class_name[256] = {};
    ::GetClassNameW(window, class_name, ARRAYSIZE(class_name));
    if (::lstrcmpW(class_name, search.class_name) == 0) {
        search.window = window;
        return FALSE;
    }
    if (::lstrcmpW(class_name, L"#32770") == 0) search.message = window;
    return TRUE;
}

// One command-line argument, quoted when it holds a blank (the programs measured take paths only).
std::wstring Quoted(const wchar_t* argument) {
    std::wstring text = argument;
    if (text.find_first_of(L" \t") == std::wstring::npos) return text;
    return L"\"" + text + L"\"";
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: launch_timer CLASS PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    std::wstring command_line;
    for (int i = 2; i < argc; ++i) command_line += (i > 2 ? L" " : L"") + Quoted(argv[i]);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    LARGE_INTEGER start, now;
    ::QueryPerformanceCounter(&start);
    if (!::CreateProcessW(argv[2], command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &started)) {
        std::fprintf(stderr, "cannot start %ls: error %lu\n", argv[2], ::GetLastError());
        return 1;
    }
    orvandi::KernelHandle process(started.hProcess);
    orvandi::KernelHandle thread(started.hThread);

    Search search{started.dwProcessId, argv[1]};
    for (;;) {
        ::EnumWindows(CheckWindow, reinterpret_cast<LPARAM>(&search));
        ::QueryPerformanceCounter(&now);
        if (search.window != nullptr || search.message != nullptr) break;
        if (::WaitForSingleObject(process.get(), 1) == WAIT_OBJECT_0) {
            std::fprintf(stderr, "%ls ended without showing a %ls window\n", argv[2], argv[1]);
            return 1;
        }
        if (Milliseconds(start, now) > 60000) {
            std::fprintf(stderr, "%ls showed no %ls window within a minute\n", argv[2], argv[1]);
            ::TerminateProcess(process.get(), 1);
            return 1;
        }
    }
    const double elapsed = Milliseconds(start, now);

    HWND list = nullptr;
    DWORD_PTR entries = 0;
    if (search.window != nullptr) {
        list = ::FindWindowExW(search.window, nullptr, L"ListBox", nullptr);
        if (list != nullptr &&
            !::SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_NORMAL, 60000, &entries)) {
            list = nullptr;
        }
    }

    HWND shown = search.window != nullptr ? search.window : search.message;
    ::PostMessageW(shown, WM_CLOSE, 0, 0);
    if (::WaitForSingleObject(process.get(), 10000) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.get(), 1);
    }
    if (search.window == nullptr) {
        wchar_t text[512] = {};
        ::GetDlgItemTextW(search.message, 0xFFFF, text, ARRAYSIZE(text));
        std::fprintf(stderr, "%ls showed a message box first: %ls\n", argv[2], text);
        return 1;
    }
    if (list == nullptr) {
        std::printf("%.1f\n", elapsed);
    } else {
        std::printf("%.1f %lld\n", elapsed, static_cast<long long>(entries));
    }
    return 0;
}
