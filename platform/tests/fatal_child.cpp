// Started by the platform's tests: opens the log named first, catches faults as an unattended run
// does, with a handler that writes what the fault was and answers 1603, then faults as its second
// argument says.
#include <windows.h>

#include <cstdlib>
#include <exception>
#include <string>

#include "platform/platform_win.h"

int wmain(int, wchar_t** argv) {
    orvandi::Win32Platform platform;
    platform.OpenLog(reinterpret_cast<const char16_t*>(argv[1]));
    platform.CatchFatal([](orvandi::UnattendedPlatform& run, const orvandi::Text& what) {
        run.WriteLog(what + u"\n");
        return 1603;
    });
    const std::wstring fault = argv[2];
    if (fault == L"in-page") RaiseException(EXCEPTION_IN_PAGE_ERROR, 0, 0, nullptr);
    if (fault == L"terminate") std::terminate();
    if (fault == L"abort") std::abort();
    return 0;
}
