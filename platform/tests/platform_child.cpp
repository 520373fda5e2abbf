// What a test cannot do to its own process: opens the log named first, catches faults as a run
// does, then faults as its second argument says ("allocator": with every allocation faulting too;
// "rotated": with the log moved aside), or writes the error modes ("modes"), the mark it claims
// ("claim"), or how a breakaway ends in a job that forbids it, then allows it ("breakaway").
#include <windows.h>

#include <cstdlib>
#include <exception>
#include <string>

#include "platform/platform_win.h"

namespace {

volatile bool g_heapDamaged = false;

int Recurse(volatile int depth) {
    volatile char frame[256];
    frame[0] = static_cast<char>(depth);
    return depth == -1 ? 0 : Recurse(depth + 1) + frame[0];
}

orvandi::Text Line(const std::wstring& text) {
    return orvandi::Text(text.begin(), text.end()) + u"\n";
}

}  // namespace

void* operator new(std::size_t size) {
    if (g_heapDamaged) *static_cast<volatile int*>(nullptr) = 0;
    return std::malloc(size);
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

int wmain(int, wchar_t** argv) {
    orvandi::Win32Ports run;
    (void)run.log.Open(reinterpret_cast<const char16_t*>(argv[1]));
    run.log.CatchFatal(u"Errore imprevisto (eccezione 0x", u"); codice di uscita 1603", 1603);
    const std::wstring task = argv[2];
    if (task == L"in-page") RaiseException(EXCEPTION_IN_PAGE_ERROR, 0, 0, nullptr);
    if (task == L"terminate") std::terminate();
    if (task == L"abort") std::abort();
    if (task == L"stack-overflow") return Recurse(0);
    if (task == L"rotated") run.log.Rotate(0);
    if (task == L"allocator" || task == L"rotated") {
        g_heapDamaged = task == L"allocator";
        *static_cast<volatile int*>(nullptr) = 0;
    }
    if (task == L"modes") {
        (void)run.log.Write(Line(std::to_wstring(GetErrorMode()) + L" " +
                                 std::to_wstring(_set_error_mode(_REPORT_ERRMODE))));
    }
    if (task == L"claim") {
        const orvandi::Result<orvandi::RunMark> mark = run.files.ClaimRun();
        (void)run.log.Write(Line(mark ? std::to_wstring(static_cast<int>(*mark)) : L"failure"));
    }
    if (task == L"breakaway") {
        const HANDLE job = CreateJobObjectW(nullptr, nullptr);
        AssignProcessToJobObject(job, GetCurrentProcess());
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        for (const DWORD allowed : {0ul, static_cast<DWORD>(JOB_OBJECT_LIMIT_BREAKAWAY_OK)}) {
            limits.BasicLimitInformation.LimitFlags = allowed;
            SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
            const orvandi::Result<orvandi::Finished> finished = run.processes.RunAndWait(
                u"cmd /c exit 5", 60000, orvandi::JobPlacement::kBreakaway);
            (void)run.log.Write(Line(std::to_wstring(static_cast<int>(finished->ending)) + L" " +
                                     std::to_wstring(finished->exitCode)));
        }
    }
    return 0;
}
