// The unattended run's log file.
#include <windows.h>

#include <vector>

#include "platform/files_win.h"
#include "platform/helpers_win.h"
#include "platform/platform_win.h"

namespace orvandi {
namespace {

// A file with one name, neither a folder nor a link of any kind.
bool IsPlainFile(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info;
    return GetFileInformationByHandle(file, &info) && info.nNumberOfLinks == 1 &&
           !(info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY));
}

// Opened to append only: whatever is written goes at the end, never over earlier runs. A new log
// starts with the UTF-8 byte order mark, which older versions of Notepad need to read it.
//
// The log may be asked for in a folder where anyone can create files: it must not be turned into
// a way of writing elsewhere as SYSTEM. So a link at its name (symbolic, junction, any reparse
// point) is opened itself, never followed, and refused; so is a folder (which CreateFileW refuses
// with error 5), and a file with a second name, which may be a hard link to a file that its
// maker could not write. Others may delete it or move it aside, as this program does when it
// grows too long.
FileHandle OpenToAppend(const Text& path) {
    FileHandle log(CreateFileW(Wide(path), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                               nullptr));
    if (!log) throw LastFailure();
    if (!IsPlainFile(log.get())) throw SystemFailure(ERROR_CANT_ACCESS_FILE);
    LARGE_INTEGER size;
    DWORD written = 0;
    if (!GetFileSizeEx(log.get(), &size) ||
        (size.QuadPart == 0 && !WriteFile(log.get(), "\xEF\xBB\xBF", 3, &written, nullptr))) {
        throw LastFailure();
    }
    return log;
}

}  // namespace

void Win32Platform::OpenLog(const Text& path) {
    log_ = OpenToAppend(path);
    logPath_ = path;
}

// The log is renamed by its own handle: the file moved aside is the one that was measured.
// Whatever stands at the name it would take must be a plain file, never a folder or a link,
// which are left alone, and the log with them.
void Win32Platform::RotateLog(std::uint64_t limit) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(log_.get(), &size) || static_cast<std::uint64_t>(size.QuadPart) <= limit) {
        return;
    }
    const Text aside = logPath_ + u".1";
    {
        const FileHandle there(CreateFileW(
            Wide(aside), FILE_READ_ATTRIBUTES,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
            FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (there ? !IsPlainFile(there.get()) : GetLastError() != ERROR_FILE_NOT_FOUND) return;
    }
    // Refused while a viewer holds the log without letting it be deleted.
    const FileHandle moving(
        ReOpenFile(log_.get(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0));
    if (!moving || !RenameByHandle(moving.get(), aside)) return;
    try {
        log_ = OpenToAppend(logPath_);
    } catch (const Failure&) {
        // The run goes on in the log it has, under its new name.
    }
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
