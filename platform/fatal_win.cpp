// What ends an unattended run that faults: a structured exception nobody handles (an access
// violation; an in-page error when the network under a program started from a share drops),
// terminate (an exception that escaped where none may), or abort. Each calls the run's handler,
// which logs what it can, and the program ends with the exit code the handler answers, not with
// the fault's own code, which no deployment system knows.
#include <windows.h>

#include <csignal>
#include <cstdlib>
#include <exception>

#include "platform/platform_win.h"

namespace orvandi {
namespace {

UnattendedPlatform* g_platform = nullptr;
FatalHandler g_handler = nullptr;

// Ended at once: no DLL's detach code runs in a process that has just faulted.
[[noreturn]] void End(const Text& what) {
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(g_handler(*g_platform, what)));
    ExitProcess(ERROR_PROCESS_ABORTED);  // not reached: TerminateProcess ends this process
}

LONG WINAPI Unhandled(EXCEPTION_POINTERS* exception) {
    Text what = u"eccezione 0x00000000";
    DWORD code = exception->ExceptionRecord->ExceptionCode;
    for (std::size_t digit = what.size(); code != 0; code >>= 4) {
        what[--digit] = u"0123456789ABCDEF"[code & 0xF];
    }
    End(what);
}

void Terminated() { End(u"terminate"); }
void Aborted(int) { End(u"abort"); }

}  // namespace

// Nobody may be asked to click anything either: Windows shows no box for a drive without a disk
// (a card reader on PATH, say), a file it cannot open or a fault, and msvcrt reports abort on
// standard error, which goes nowhere, rather than in a message box.
void Win32Platform::CatchFatal(FatalHandler handler) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    _set_error_mode(_OUT_TO_STDERR);
    g_platform = this;
    g_handler = handler;
    SetUnhandledExceptionFilter(Unhandled);
    std::set_terminate(Terminated);
    std::signal(SIGABRT, Aborted);
}

}  // namespace orvandi
