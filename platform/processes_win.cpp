// Programs started for the run: regsvr32, launched for the window's run or waited for in an
// unattended one.
#include <windows.h>

#include <vector>

#include "platform/helpers_win.h"
#include "platform/platform_win.h"

namespace orvandi {
namespace {

bool IsAbsolute(const Text& path) {
    return (path.size() >= 3 && path[1] == u':' && (path[2] == u'\\' || path[2] == u'/')) ||
           path.compare(0, 2, u"\\\\") == 0;
}

// The program a command line's first word names, with ".exe" added when it has no extension:
// searched for in the Windows system folder, then the Windows folder, then the absolute folders
// on PATH. Never in this program's folder or the current directory, which CreateProcessW would
// search first (a planted regsvr32.exe there would win). A name holding a folder is taken as is.
Text FindProgram(Text name) {
    const std::size_t dot = name.find_last_of(u".\\/:");
    if (dot == Text::npos || name[dot] != u'.') name += u".exe";

    std::vector<Text> candidates;
    if (name.find_first_of(u"\\/:") != Text::npos) {
        candidates.push_back(name);
    } else {
        std::vector<Text> folders{SystemPath(GetSystemDirectoryW),
                                  SystemPath(GetWindowsDirectoryW)};
        const Text path = Environment(u"PATH");
        for (std::size_t start = 0; start <= path.size();) {
            std::size_t end = path.find(u';', start);
            if (end == Text::npos) end = path.size();
            Text folder = path.substr(start, end - start);
            if (folder.size() >= 2 && folder.front() == u'"' && folder.back() == u'"') {
                folder = folder.substr(1, folder.size() - 2);
            }
            if (IsAbsolute(folder)) folders.push_back(folder);  // "" and "." are the current one
            start = end + 1;
        }
        for (const Text& folder : folders) candidates.push_back(folder + u"\\" + name);
    }
    for (const Text& candidate : candidates) {
        if (IsFile(candidate)) return candidate;
    }
    throw SystemFailure(ERROR_FILE_NOT_FOUND);
}

// Starts a program as Launch describes: its process, and its id.
KernelHandle Start(const Text& commandLine, int windowStyle, DWORD& id) {
    const Text program = FindProgram(commandLine.substr(0, commandLine.find(u' ')));
    const Text workingFolder = SystemPath(GetSystemDirectoryW);
    Text writable = commandLine;  // CreateProcessW may write to its command line

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(windowStyle);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(Wide(program), Wide(writable), nullptr, nullptr, FALSE, 0, nullptr,
                        Wide(workingFolder), &startup, &started)) {
        throw LastFailure();
    }
    const KernelHandle thread(started.hThread);
    id = started.dwProcessId;
    return KernelHandle(started.hProcess);
}

}  // namespace

std::int32_t Win32Platform::Launch(const Text& commandLine, int windowStyle) {
    DWORD id = 0;
    Start(commandLine, windowStyle, id);  // never waited for
    return static_cast<std::int32_t>(id);
}

Finished Win32Platform::RunAndWait(const Text& commandLine, std::uint32_t timeoutMs) {
    DWORD id = 0;
    const KernelHandle process = Start(commandLine, SW_HIDE, id);
    Finished finished;
    DWORD waited = WaitForSingleObject(process.get(), timeoutMs);
    if (waited == WAIT_TIMEOUT) {
        finished.inTime = false;
        // Ended, and waited for, so that it holds the copy no longer.
        if (!TerminateProcess(process.get(), ERROR_TIMEOUT)) throw LastFailure();
        waited = WaitForSingleObject(process.get(), INFINITE);
    }
    DWORD code = 0;
    if (waited != WAIT_OBJECT_0 || !GetExitCodeProcess(process.get(), &code)) throw LastFailure();
    finished.exitCode = code;
    return finished;
}

}  // namespace orvandi
