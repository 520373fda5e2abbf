// The unattended run's log file.
#include <windows.h>

#include <string>

#include "platform/helpers_win.h"
#include "platform/platform_win.h"

namespace orvandi {

// Opened to append only: whatever is written goes at the end, never over earlier runs. A new log
// starts with the UTF-8 byte order mark, which older versions of Notepad need to read it.
void Win32Platform::OpenLog(const Text& path) {
    log_.reset(CreateFileW(Wide(path), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!log_ || !GetFileSizeEx(log_.get(), &size)) throw LastFailure();
    if (size.QuadPart == 0) WriteLog(u"\uFEFF");
}

void Win32Platform::WriteLog(const Text& text) {
    const int length = static_cast<int>(text.size());
    std::string bytes(
        WideCharToMultiByte(CP_UTF8, 0, Wide(text), length, nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, Wide(text), length, bytes.data(),
                        static_cast<int>(bytes.size()), nullptr, nullptr);
    DWORD written = 0;
    if (!WriteFile(log_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        throw LastFailure();
    }
}

}  // namespace orvandi
