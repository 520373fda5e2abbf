// Started by the platform's tests for what a test cannot do to its own process: opens the log
// named first, catches faults as an unattended run does, with a handler that writes what the
// fault was and answers 1603, then does as its second argument says: faults ("in-page",
// "terminate", "abort"); writes the error modes that keep Windows' boxes away ("modes"); or, in a
// job that lets nothing break away, runs a program broken away from it, then again once the job
// allows it ("breakaway").
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
    const std::wstring task = argv[2];
    if (task == L"in-page") RaiseException(EXCEPTION_IN_PAGE_ERROR, 0, 0, nullptr);
    if (task == L"terminate") std::terminate();
    if (task == L"abort") std::abort();
    if (task == L"modes") {
        const std::wstring modes = std::to_wstring(GetErrorMode()) + L" " +
                                   std::to_wstring(_set_error_mode(_REPORT_ERRMODE));
        platform.WriteLog(reinterpret_cast<const char16_t*>(modes.c_str()));
    }
    if (task == L"breakaway") {
        const HANDLE job = CreateJobObjectW(nullptr, nullptr);
        AssignProcessToJobObject(job, GetCurrentProcess());
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        for (const DWORD allowed : {0ul, static_cast<DWORD>(JOB_OBJECT_LIMIT_BREAKAWAY_OK)}) {
            limits.BasicLimitInformation.LimitFlags = allowed;
            SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
            const orvandi::Finished finished =
                platform.RunAndWait(u"cmd /c exit 5", 60000, orvandi::JobPlacement::kBreakaway);
            platform.WriteLog(orvandi::Decimal(static_cast<int>(finished.ending)) + u" " +
                              orvandi::Decimal(finished.exitCode) + u"\n");
        }
    }
    return 0;
}
