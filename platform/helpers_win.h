// Small helpers shared by the Win32 platform's files (and the window's). Text is UTF-16 like the
// wide API (wchar_t is 16-bit on Windows), so it passes by reinterpretation. A Win32 failure
// becomes a Failure whose number is the system error code and whose description is the system's
// own message text.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cwchar>
#include <vector>

#include "core/result.h"
#include "core/text.h"

namespace orvandi {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wchar_t is UTF-16");

inline const wchar_t* Wide(const Text& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline wchar_t* Wide(Text& text) { return reinterpret_cast<wchar_t*>(text.data()); }
inline Text FromWide(const wchar_t* text, std::size_t length) {
    return Text(reinterpret_cast<const char16_t*>(text), length);
}
inline Text FromWide(const wchar_t* text) { return FromWide(text, wcslen(text)); }

// The text in UTF-8. (A vector, not a std::string: any use of std::string links the whole of
// libstdc++'s compiled std::string, 14 KB, into the program.)
inline std::vector<char> Utf8(const Text& text) {
    const int length = static_cast<int>(text.size());
    std::vector<char> bytes(
        WideCharToMultiByte(CP_UTF8, 0, Wide(text), length, nullptr, 0, nullptr, nullptr));
    WideCharToMultiByte(CP_UTF8, 0, Wide(text), length, bytes.data(),
                        static_cast<int>(bytes.size()), nullptr, nullptr);
    return bytes;
}

// The system's message text for a Win32 error code, without its trailing line break.
Text SystemMessage(DWORD code);
// Failure{code, SystemMessage(code)}.
Failure SystemFailure(DWORD code);
// The Failure for the calling thread's last Win32 error.
Failure LastFailure();

// A function a DLL exports, found by name; null when the module is null or lacks it (an older
// Windows). Every function the program looks up at run time goes through here:
//   const auto set = Function<BOOL(WINAPI*)(DWORD)>(kernel32, "SetDefaultDllDirectories");
template <typename Pointer>
Pointer Function(HMODULE module, const char* name) {
    // Through void*: GCC warns about a cast between unrelated function types.
    return module == nullptr
               ? nullptr
               : reinterpret_cast<Pointer>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Runs `fill(buffer, size)`, a Win32 call that answers the length it wrote, or the size it needs
// (or its buffer's size) when the buffer is too small, with a growing buffer. The empty text when
// the call fails, with its error left in GetLastError.
template <typename Fill>
Text Grow(Fill fill) {
    Text buffer(MAX_PATH, u'\0');
    for (;;) {
        const DWORD length = fill(Wide(buffer), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(length > buffer.size() ? length : buffer.size() * 2);
    }
}

// GetSystemDirectoryW or GetWindowsDirectoryW.
Result<Text> SystemPath(UINT(WINAPI* get)(LPWSTR, UINT));

// A variable's value; the empty text when it is not set.
Result<Text> Environment(const Text& name);

// A file, not a folder.
bool IsFile(const Text& path);

// Whether two names are one to Windows: ordinal, ignoring case as NTFS and the registry do, in
// every alphabet (not as a language would sort names).
bool SameWindowsName(const Text& a, const Text& b);

}  // namespace orvandi
