// What ends an unattended run that faults: a structured exception nobody handles (an access
// violation; an in-page error when the network under a program started from a share drops; a
// stack overflow; the program's own end for want of memory, runtime_win.cpp), or abort. One last
// line goes to the log, and the program ends with the run's exit code, not with the fault's own
// code, which no deployment system knows.
//
// A fault may come after the heap was damaged, or with the faulting thread's stack used up: the
// filter that handles it must neither allocate nor need much stack, or it faults again and the
// run ends with some code other than the run's. So the line is made ready when faults start to be
// caught, in storage of its own, with only the time and the code left to fill in; and it is
// written by a thread made then, which waits for a fault with a stack of its own. The filter only
// names the code and wakes that thread. Once that thread is gone (Windows ends every other thread
// when the program ends, before DLLs' detach code runs, which may fault too), the filter writes the
// line itself. Windows ends a process whose heap it finds corrupt by fail-fast, with no filter at
// all: that case cannot be logged.
//
// Probed under Wine 10: the unhandled-exception filter runs on a stack overflow (0xC00000FD) as
// on an access violation, on the faulting thread, and can write there; made at the start, the
// waiting thread took 6 to 24 ms (Wine under QEMU's software CPU; far less on Windows).
#include <windows.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/helpers_win.h"
#include "platform/platform_win.h"

namespace orvandi {
namespace {

// abort, as Windows names a program that ended itself for a fault it found.
constexpr DWORD kAborted = 0x40000015;  // STATUS_FATAL_APP_EXIT

// "YYYY-MM-DD HH:MM:SS <start>XXXXXXXX<end>\r\n", in UTF-8; the digits are filled in at the fault.
constexpr std::size_t kTimeSize = 20, kCodeSize = 8, kLineSize = 512;
char g_line[kLineSize];
std::size_t g_codeAt = 0, g_length = 0;
const FileHandle* g_log = nullptr;  // the log's handle as it is when the fault comes
UINT g_exitCode = 0;
volatile LONG g_code = 0;  // the first fault's
// Never closed: the writer waits on the event until the program ends, and Windows closes both.
HANDLE g_fault = nullptr;
HANDLE g_writer = nullptr;

void Digits(char* at, unsigned value, int count) {
    for (int digit = count - 1; digit >= 0; --digit, value /= 10) at[digit] = '0' + value % 10;
}

[[noreturn]] void WriteAndEnd() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    Digits(g_line, t.wYear, 4);
    Digits(g_line + 5, t.wMonth, 2);
    Digits(g_line + 8, t.wDay, 2);
    Digits(g_line + 11, t.wHour, 2);
    Digits(g_line + 14, t.wMinute, 2);
    Digits(g_line + 17, t.wSecond, 2);
    const DWORD code = static_cast<DWORD>(g_code);
    for (std::size_t digit = 0; digit < kCodeSize; ++digit) {
        g_line[g_codeAt + digit] = "0123456789ABCDEF"[(code >> (28 - 4 * digit)) & 0xF];
    }
    DWORD written = 0;
    if (g_log != nullptr && *g_log) {
        WriteFile(g_log->get(), g_line, static_cast<DWORD>(g_length), &written, nullptr);
    }
    // Ended at once: no DLL's detach code runs in a process that has just faulted.
    TerminateProcess(GetCurrentProcess(), g_exitCode);
    ExitProcess(g_exitCode);  // not reached: TerminateProcess ends this process
}

DWORD WINAPI Writer(void*) {
    WaitForSingleObject(g_fault, INFINITE);
    WriteAndEnd();
}

[[noreturn]] void End(DWORD code) {
    InterlockedCompareExchange(&g_code, static_cast<LONG>(code), 0);
    if (g_writer != nullptr && SetEvent(g_fault)) WaitForSingleObject(g_writer, INFINITE);
    WriteAndEnd();
}

LONG WINAPI Unhandled(EXCEPTION_POINTERS* exception) {
    End(exception->ExceptionRecord->ExceptionCode);
}

void Aborted(int) { End(kAborted); }

// Copies up to `room` bytes of `text` into the line at `at`; answers where it ends.
std::size_t Put(const std::vector<char>& text, std::size_t at, std::size_t room) {
    const std::size_t size = text.size() < room ? text.size() : room;
    std::memcpy(g_line + at, text.data(), size);
    return at + size;
}

}  // namespace

// Nobody may be asked to click anything either: Windows shows no box for a drive without a disk
// (a card reader on PATH, say), a file it cannot open or a fault, and msvcrt reports abort on
// standard error, which goes nowhere, rather than in a message box.
void Win32Log::CatchFatal(const Text& start, const Text& end, int exitCode) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    _set_error_mode(_OUT_TO_STDERR);
    // Texts too long for the line are cut: the code and the line's end always fit.
    constexpr std::size_t kTexts = kLineSize - kTimeSize - kCodeSize - 2;
    std::memcpy(g_line, "0000-00-00 00:00:00 ", kTimeSize);
    const std::vector<char> first = Utf8(start), last = Utf8(end);
    g_codeAt = Put(first, kTimeSize, kTexts);
    g_length = Put(last, g_codeAt + kCodeSize, kTexts - (g_codeAt - kTimeSize));
    std::memcpy(g_line + g_length, "\r\n", 2);
    g_length += 2;
    g_log = &log_;
    g_exitCode = static_cast<UINT>(exitCode);
    if (g_writer == nullptr) {
        g_fault = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        g_writer = g_fault == nullptr ? nullptr
                                      : CreateThread(nullptr, 64 * 1024, Writer, nullptr,
                                                     STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    }
    SetUnhandledExceptionFilter(Unhandled);
    std::signal(SIGABRT, Aborted);
}

Win32Log::~Win32Log() {
    if (g_log == &log_) g_log = nullptr;
}

}  // namespace orvandi
