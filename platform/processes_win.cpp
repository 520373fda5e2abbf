// Programs started for the run: regsvr32, launched for the window's run or waited for in an
// unattended one.
#include <windows.h>

#include "platform/helpers_win.h"
#include "platform/platform_win.h"

namespace orvandi {
namespace {

// How long an ended program may take to be gone. One still there after this is stuck in the
// kernel (a driver that does not let go, say): nothing may start beside it.
constexpr DWORD kEndingMs = 10000;

struct Started {
    KernelHandle process, thread;
    DWORD id = 0;
};

// Starts a program as Launch describes. The program named first comes from the system folder
// only, with ".exe" added when it has no extension: never from this program's folder, the current
// directory or PATH, where anyone might have put a regsvr32.exe of their own.
Started Start(const Text& commandLine, int windowStyle, DWORD flags) {
    Text name = commandLine.substr(0, commandLine.find(u' '));
    if (name.find_first_of(u"\\/:") != Text::npos) throw SystemFailure(ERROR_FILE_NOT_FOUND);
    if (name.find(u'.') == Text::npos) name += u".exe";
    const Text systemFolder = SystemPath(GetSystemDirectoryW);
    const Text program = Join({systemFolder, u"\\", name});
    Text writable = commandLine;  // CreateProcessW may write to its command line

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(windowStyle);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(Wide(program), Wide(writable), nullptr, nullptr, FALSE, flags, nullptr,
                        Wide(systemFolder), &startup, &info)) {
        throw LastFailure();
    }
    Started started;
    started.process.reset(info.hProcess);
    started.thread.reset(info.hThread);
    started.id = info.dwProcessId;
    return started;
}

}  // namespace

std::int32_t Win32Platform::Launch(const Text& commandLine, int windowStyle) {
    return static_cast<std::int32_t>(Start(commandLine, windowStyle, 0).id);  // never waited for
}

// The program runs in a job of its own, so that one ended at its time limit takes with it
// whatever it started (a control's registration may start programs of its own). Windows 7 lets a
// process belong to one job only: started by a deployment system that runs it in a job, the
// program is refused (error 5), and then the program alone is ended at the limit.
Finished Win32Platform::RunAndWait(const Text& commandLine, std::uint32_t timeoutMs) {
    const KernelHandle job(CreateJobObjectW(nullptr, nullptr));
    if (!job) throw LastFailure();
    const Started started = Start(commandLine, SW_HIDE, CREATE_SUSPENDED);
    const HANDLE process = started.process.get();
    const bool inJob = AssignProcessToJobObject(job.get(), process);
    if (ResumeThread(started.thread.get()) == static_cast<DWORD>(-1)) {
        const Failure failure = LastFailure();
        TerminateProcess(process, ERROR_PROCESS_ABORTED);
        throw failure;
    }
    Finished finished;
    DWORD waited = WaitForSingleObject(process, timeoutMs);
    if (waited == WAIT_TIMEOUT) {
        finished.ending = Ending::kEndedAtTimeout;
        if (!(inJob && TerminateJobObject(job.get(), ERROR_TIMEOUT))) {
            TerminateProcess(process, ERROR_TIMEOUT);
        }
        // Waited for, so that it holds the copy no longer.
        waited = WaitForSingleObject(process, kEndingMs);
        if (waited == WAIT_TIMEOUT) {
            finished.ending = Ending::kWouldNotEnd;
            return finished;
        }
    }
    DWORD code = 0;
    if (waited != WAIT_OBJECT_0 || !GetExitCodeProcess(process, &code)) throw LastFailure();
    finished.exitCode = code;
    return finished;
}

}  // namespace orvandi
