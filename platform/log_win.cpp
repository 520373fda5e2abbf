// The unattended run's log file.
#include <windows.h>

#include <vector>

#include "platform/helpers_win.h"
#include "platform/platform_win.h"

namespace orvandi {

// Opened to append only: whatever is written goes at the end, never over earlier runs. A new log
// starts with the UTF-8 byte order mark, which older versions of Notepad need to read it.
//
// The log may be asked for in a folder where anyone can create files: it must not be turned into
// a way of writing elsewhere as SYSTEM. So a link at its name (symbolic, junction, any reparse
// point) is opened itself, never followed, and refused; so is a folder (which CreateFileW refuses
// with error 5), and a file with a second name, which may be a hard link to a file that its
// maker could not write.
void Win32Platform::OpenLog(const Text& path) {
    log_.reset(CreateFileW(Wide(path), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION file;
    if (!log_ || !GetFileInformationByHandle(log_.get(), &file)) throw LastFailure();
    if (file.nNumberOfLinks != 1 ||
        file.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) {
        log_.reset();
        throw SystemFailure(ERROR_CANT_ACCESS_FILE);
    }
    if (file.nFileSizeLow == 0 && file.nFileSizeHigh == 0) WriteLog(u"\uFEFF");
}

void Win32Platform::WriteLog(const Text& text) {
    const std::vector<char> bytes = Utf8(text);
    DWORD written = 0;
    if (!WriteFile(log_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        throw LastFailure();
    }
}

}  // namespace orvandi
