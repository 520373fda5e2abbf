// What ends an unattended run that faults: a structured exception nobody handles (an access
// violation; an in-page error when the network under a program started from a share drops),
// terminate (an exception that escaped where none may), or abort. Each calls the run's handler,
// which logs what it can, and the program ends with the exit code the handler answers, not with
// the fault's own code, which no deployment system knows.
#include <windows.h>

#include <csignal>
#include <exception>

#include "platform/platform_win.h"

namespace orvandi {
namespace {

UnattendedPlatform* g_platform = nullptr;
FatalHandler g_handler = nullptr;

[[noreturn]] void End(const Text& what) {
    ExitProcess(static_cast<UINT>(g_handler(*g_platform, what)));
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

void Win32Platform::CatchFatal(FatalHandler handler) {
    g_platform = this;
    g_handler = handler;
    SetUnhandledExceptionFilter(Unhandled);
    std::set_terminate(Terminated);
    std::signal(SIGABRT, Aborted);
}

}  // namespace orvandi
