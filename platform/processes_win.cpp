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
Result<Started> Start(const Text& commandLine, int windowStyle, DWORD flags) {
    Text name = commandLine.substr(0, commandLine.find(u' '));
    if (name.find_first_of(u"\\/:") != Text::npos) return SystemFailure(ERROR_FILE_NOT_FOUND);
    if (name.find(u'.') == Text::npos) name += u".exe";
    const Result<Text> systemFolder = SystemPath(GetSystemDirectoryW);
    if (!systemFolder) return systemFolder.failure();
    const Text program = Join({*systemFolder, u"\\", name});
    Text writable = commandLine;  // CreateProcessW may write to its command line

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(windowStyle);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(Wide(program), Wide(writable), nullptr, nullptr, FALSE, flags, nullptr,
                        Wide(*systemFolder), &startup, &info)) {
        return LastFailure();
    }
    Started started;
    started.process.reset(info.hProcess);
    started.thread.reset(info.hThread);
    started.id = info.dwProcessId;
    return started;
}

// The job ends whatever is in it when its last handle closes: when this program ends, even ended
// by a deployment system, regsvr32 and what it started end with it. Once regsvr32 has ended by
// itself, whatever it started is left running: the job lets go of it first.
bool KillOnClose(HANDLE job, bool kill) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = kill ? JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE : 0;
    return SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
}

}  // namespace

Result<std::int32_t> Win32Processes::Launch(const Text& commandLine, int windowStyle) {
    const Result<Started> started = Start(commandLine, windowStyle, 0);  // never waited for
    if (!started) return started.failure();
    return static_cast<std::int32_t>(started->id);
}

// Started suspended, so that it runs only once it is where it was asked to be.
Result<Finished> Win32Processes::RunAndWait(const Text& commandLine, std::uint32_t timeoutMs,
                                            JobPlacement placement) {
    const bool inJob = placement != JobPlacement::kAlone;
    const KernelHandle job(inJob ? CreateJobObjectW(nullptr, nullptr) : nullptr);
    if (inJob && !(job && KillOnClose(job.get(), true))) return LastFailure();
    const Result<Started> started = Start(
        commandLine, SW_HIDE,
        CREATE_SUSPENDED | (placement == JobPlacement::kBreakaway ? CREATE_BREAKAWAY_FROM_JOB : 0));
    if (!started) {
        // The job this program runs in lets nothing break away from it.
        if (placement == JobPlacement::kBreakaway &&
            started.failure().number == ERROR_ACCESS_DENIED) {
            return Finished{Ending::kNotPlaced, 0};
        }
        return started.failure();
    }
    const HANDLE process = started->process.get();
    // Windows 7 refuses a second job to a process that is in one already.
    if (inJob && !AssignProcessToJobObject(job.get(), process)) {
        TerminateProcess(process, ERROR_PROCESS_ABORTED);  // before it ran at all
        return Finished{Ending::kNotPlaced, 0};
    }
    if (ResumeThread(started->thread.get()) == static_cast<DWORD>(-1)) {
        const Failure failure = LastFailure();
        TerminateProcess(process, ERROR_PROCESS_ABORTED);
        return failure;
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
    if (waited != WAIT_OBJECT_0 || !GetExitCodeProcess(process, &code)) return LastFailure();
    finished.exitCode = code;
    if (inJob && finished.ending == Ending::kExited) KillOnClose(job.get(), false);
    return finished;
}

}  // namespace orvandi
