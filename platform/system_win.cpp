// The Win32 system's plain services: error texts, the environment, the program's file and folder,
// whether a window can be seen, the console, letters and names as Windows compares them, and the
// window's message box and pointer.
#include <windows.h>

#include <vector>

#include "platform/helpers_win.h"
#include "platform/platform_win.h"

namespace orvandi {

Text SystemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const LocalMemory owner(buffer);
    Text text = length ? FromWide(buffer, length) : Text();
    while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n')) text.pop_back();
    return text.empty() ? Text(u"Unknown error") : text;
}

Failure SystemFailure(DWORD code) {
    return Failure{static_cast<std::int32_t>(code), SystemMessage(code)};
}

Failure LastFailure() { return SystemFailure(GetLastError()); }

Result<Text> SystemPath(UINT(WINAPI* get)(LPWSTR, UINT)) {
    Text folder = Grow([get](wchar_t* buffer, DWORD size) { return get(buffer, size); });
    if (folder.empty()) return LastFailure();
    return folder;
}

Result<Text> Environment(const Text& name) {
    SetLastError(ERROR_SUCCESS);  // a variable set to the empty text answers 0 and no error
    Text value = Grow([&name](wchar_t* buffer, DWORD size) {
        return GetEnvironmentVariableW(Wide(name), buffer, size);
    });
    const DWORD code = GetLastError();
    if (value.empty() && code != ERROR_SUCCESS && code != ERROR_ENVVAR_NOT_FOUND) {
        return SystemFailure(code);
    }
    return value;
}

bool IsFile(const Text& path) {
    const DWORD attributes = GetFileAttributesW(Wide(path));
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

Result<Text> Win32System::ProgramFile() {
    Text path = Grow([](wchar_t* buffer, DWORD size) {
        return GetModuleFileNameW(nullptr, buffer, size);  // answers `size` when cut short
    });
    if (path.empty()) return LastFailure();
    return path;
}

Result<Text> Win32System::ApplicationFolder() {
    Result<Text> path = ProgramFile();
    if (path) path->erase(path->find_last_of(u"\\/"));
    return path;
}

Result<Text> Win32System::GetEnvironment(const Text& name) { return Environment(name); }

Text Win32System::ErrorText(std::int32_t number) {
    return SystemMessage(static_cast<DWORD>(number));
}

// Nobody sees a window in session 0, where services and deployment systems run, nor on a window
// station other than the interactive one (a scheduled task's, a service's own).
bool Win32System::CanShowWindow() {
    DWORD session = 0;
    USEROBJECTFLAGS flags{};
    return ProcessIdToSessionId(GetCurrentProcessId(), &session) && session != 0 &&
           GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags,
                                     nullptr) &&
           (flags.dwFlags & WSF_VISIBLE);
}

// A program of the Windows subsystem has no console of its own: cmd hands it a file or a pipe
// when its output is redirected, and otherwise it may write to the console it was started from.
bool Win32System::WriteOutput(const Text& text) {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const DWORD kind = out != nullptr && out != INVALID_HANDLE_VALUE ? GetFileType(out) : 0;
    DWORD written = 0;
    if (kind == FILE_TYPE_DISK || kind == FILE_TYPE_PIPE) {
        const std::vector<char> bytes = Utf8(text);
        return WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return false;
    const FileHandle console(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         0, nullptr));
    return console && WriteConsoleW(console.get(), Wide(text), static_cast<DWORD>(text.size()),
                                    &written, nullptr);
}

// What Windows classes as alphabetic, in every script it knows. A character outside the Basic
// Multilingual Plane comes as two halves of a surrogate pair, neither of them a letter: a package
// name cannot hold one.
bool Win32System::IsLetter(char16_t c) {
    WORD type = 0;
    const wchar_t letter = c;
    return GetStringTypeW(CT_CTYPE1, &letter, 1, &type) && (type & C1_ALPHA);
}

bool SameWindowsName(const Text& a, const Text& b) {
    return CompareStringOrdinal(Wide(a), static_cast<int>(a.size()), Wide(b),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool Win32System::SameName(const Text& a, const Text& b) { return SameWindowsName(a, b); }

Status Win32System::ShowMessage(const Text& text) {
    // Windows answers 0 on failure; Wine answers -1 (for an owner that is no window, say).
    if (MessageBoxW(owner_, Wide(text), L"Orvandi", MB_OK) <= 0) return LastFailure();
    return {};
}

Status Win32System::SetPointer(int pointer) {
    // At once: the window may process no message for a while.
    SetCursor(LoadCursorW(nullptr, pointer == kPointerHourglass ? IDC_WAIT : IDC_ARROW));
    return {};
}

}  // namespace orvandi
