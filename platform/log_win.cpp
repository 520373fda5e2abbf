// The unattended run's log file.
//
// The log is written as SYSTEM or an administrator, possibly in a folder where anyone can create
// files: it must never become a way of writing elsewhere. Whatever a standard user could have made
// on the way is refused (1622, before anything is created or written) rather than followed:
//   - the log's folder, or the log itself, resolving anywhere but the path asked for: a junction,
//     a symbolic link or a mount point at any folder of the path. The folder is opened and kept
//     open without FILE_SHARE_DELETE, so that neither it nor any folder above it can be renamed
//     while it is used; the final path of that handle (GetFinalPathNameByHandleW) must be the
//     full, long form of the folder asked for, ignoring letter case. The log is then created by
//     its full path, and its own final path checked the same way. Attributes are not enough:
//     Wine follows a Unix symbolic link as Windows follows one, but shows it only in the final
//     path, never as FILE_ATTRIBUTE_REPARSE_POINT, not even on a handle opened with
//     FILE_FLAG_OPEN_REPARSE_POINT; and by name it reports every Unix mount point (Z:\,
//     Z:\tmp) as a reparse point, so a check by name would refuse every log under Z:\tmp.
//   - at the log's name: a folder, a link of any kind (opened itself, never followed), a file
//     with a second name (a hard link to a file its maker could not write);
//   - an existing log (or its ".1") owned by anyone but Administrators, SYSTEM, TrustedInstaller
//     or this run's own user (TrustedOwner in core/log_path.cpp).
// Each refusal says what was found: the final path, or the owner's SID, after Windows' text for
// 1921 ("the name of the file cannot be resolved") or 1920 ("the file cannot be accessed").
//
// Paths that are links by nature are decided by the same rule, with no exception:
//   - a UNC path (\\server\share\...) is written: Windows names a file on a share by that same
//     path. Links on the server are the server's to resolve and cannot be seen from here.
//   - a network drive letter is refused: Windows names the file by its UNC path. Write the UNC
//     path instead (a deployment system running as SYSTEM has no drive letters anyway).
//   - a DFS path is refused where Windows names the file by the server that holds it, as a link
//     to that server: write that server's UNC path.
//   - a SUBST drive is refused: Windows names the file by the folder the drive stands for.
//   - a volume mounted in a folder is written where Windows names that folder as the volume's
//     path, and refused where it names it by another one: by its drive letter, or by another
//     folder it is mounted in as well. Write the path Windows names (shown in the refusal).
// Under Wine 10 a SUBST drive cannot be made (DefineDosDeviceW succeeds, the drive does not
// open), nor a junction; a Unix mount point (Z:\tmp) is a mounted volume named by that folder,
// and a log there is written.
#include <windows.h>

#include <vector>

#include "core/log_path.h"
#include "platform/files_win.h"
#include "platform/helpers_win.h"
#include "platform/platform_win.h"
#include "platform/security_win.h"

namespace orvandi {
namespace {

// Appended to, and checked: its links and attributes, its owner.
constexpr DWORD kLogAccess = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | READ_CONTROL;

// A refusal that says what was found.
Failure Refused(DWORD code, const Text& found) {
    Failure failure = SystemFailure(code);
    failure.description = Join({failure.description, u" (", found, u")"});
    return failure;
}

// Nothing on the way from `asked` to what `file` is was a link.
Status ResolvesAsAsked(HANDLE file, const Text& asked) {
    const Result<Text> final = FinalPath(file);
    if (!final) return final.failure();
    if (!SameFinalPath(*final, asked, SameWindowsName)) {
        return Refused(ERROR_CANT_RESOLVE_FILENAME, *final);
    }
    return {};
}

// What stands at `path` itself (a link is opened, not followed), opened to be checked.
FileHandle OpenToCheck(const Text& path) {
    return FileHandle(CreateFileW(
        Wide(path), FILE_READ_ATTRIBUTES | READ_CONTROL, kShareAll, nullptr, OPEN_EXISTING,
        FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// A file with one name, neither a folder nor a link, resolved as asked and made by someone who may
// write the log.
Status TrustedFile(HANDLE file, const Text& asked, const Text& runUser) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info)) return LastFailure();
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) {
        return Refused(ERROR_CANT_ACCESS_FILE, u"collegamento");
    }
    if (info.nNumberOfLinks != 1) {
        return Refused(ERROR_CANT_ACCESS_FILE, Join({Decimal(info.nNumberOfLinks), u" nomi"}));
    }
    if (Status resolved = ResolvesAsAsked(file, asked); !resolved) return resolved;
    const Result<Text> owner = OwnerOf(file);
    if (!owner) return owner.failure();
    if (!TrustedOwner(*owner, runUser)) {
        return Refused(ERROR_CANT_ACCESS_FILE, Join({u"proprietario ", *owner}));
    }
    return {};
}

// The log at `path` (its folder held and checked), opened to append only: whatever is written
// goes at the end, never over earlier runs. An existing file is opened as it is; a new one is
// created only where nothing has the name, not even a link that leads nowhere (under Wine, a
// Unix symbolic link would be followed, and its target created). A new log starts with the UTF-8
// byte order mark, which older versions of Notepad need to read it. Others may read it, delete
// it, or move it aside, as this program does when it grows too long.
Result<FileHandle> OpenToAppend(const Text& path, const Text& runUser) {
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
    FileHandle log(
        CreateFileW(Wide(path), kLogAccess, kShareAll, nullptr, OPEN_EXISTING, flags, nullptr));
    if (!log && GetLastError() == ERROR_FILE_NOT_FOUND) {
        log.reset(
            CreateFileW(Wide(path), kLogAccess, kShareAll, nullptr, CREATE_NEW, flags, nullptr));
    }
    if (!log) return LastFailure();  // a folder at its name: 5
    if (Status trusted = TrustedFile(log.get(), path, runUser); !trusted) {
        return trusted.failure();
    }
    LARGE_INTEGER size;
    DWORD written = 0;
    if (!GetFileSizeEx(log.get(), &size) ||
        (size.QuadPart == 0 && !WriteFile(log.get(), "\xEF\xBB\xBF", 3, &written, nullptr))) {
        return LastFailure();
    }
    return log;
}

}  // namespace

Status Win32Log::Open(const Text& path) {
    const Text full = Grow([&path](wchar_t* buffer, DWORD size) {
        return GetFullPathNameW(Wide(path), size, buffer, nullptr);
    });
    if (full.empty()) return LastFailure();
    const Text folderAsked = full.substr(0, full.find_last_of(u'\\') + 1);
    Result<Text> user = RunUser();
    if (!user) return user.failure();
    // Opened with List (a right that takes part in sharing), not shared for deletion.
    FileHandle folder(CreateFileW(Wide(folderAsked), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder) {
        const DWORD code = GetLastError();
        return SystemFailure(code == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : code);
    }
    // The long form, in which Windows names what it opened ("LOGS~1" as "Logs 2026").
    const Text longFolder = Grow([&folderAsked](wchar_t* buffer, DWORD size) {
        return GetLongPathNameW(Wide(folderAsked), buffer, size);
    });
    if (longFolder.empty()) return LastFailure();
    if (Status resolved = ResolvesAsAsked(folder.get(), longFolder); !resolved) return resolved;
    // An existing log is named as Windows names it; a new one as it was asked for.
    Text asked = Grow([&full](wchar_t* buffer, DWORD size) {
        return GetLongPathNameW(Wide(full), buffer, size);
    });
    if (asked.empty()) asked = Join({longFolder, full.substr(folderAsked.size())});
    // A ".1" that is not what the log could have been is refused too, before the log is made:
    // the log is renamed over it once it grows too long.
    const FileHandle aside = OpenToCheck(Join({asked, u".1"}));
    if (aside) {
        if (Status trusted = TrustedFile(aside.get(), Join({asked, u".1"}), *user); !trusted) {
            return trusted;
        }
    }
    Result<FileHandle> log = OpenToAppend(asked, *user);
    if (!log) return log.failure();
    folder_ = std::move(folder);
    log_ = std::move(*log);
    path_ = std::move(asked);
    runUser_ = std::move(*user);
    return {};
}

// The log is renamed by its own handle: the file moved aside is the one that was measured. It
// stays in the folder held since the log was opened. Whatever stands at the name it would take
// must be a plain file that the log could have been, never a folder or a link, which are left
// alone, and the log with them.
void Win32Log::Rotate(std::uint64_t limit) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(log_.get(), &size) || static_cast<std::uint64_t>(size.QuadPart) <= limit) {
        return;
    }
    const Text aside = Join({path_, u".1"});
    {
        const FileHandle there = OpenToCheck(aside);
        if (there ? !TrustedFile(there.get(), aside, runUser_)
                  : GetLastError() != ERROR_FILE_NOT_FOUND) {
            return;
        }
    }
    // Refused while a viewer holds the log without letting it be deleted.
    const FileHandle moving(ReOpenFile(log_.get(), DELETE, kShareAll, 0));
    if (!moving || !RenameByHandle(moving.get(), aside)) return;
    // Should a new log not open, the run goes on in the one it has, under its new name.
    if (Result<FileHandle> next = OpenToAppend(path_, runUser_)) log_ = std::move(*next);
}

Status Win32Log::Write(const Text& text) {
    const std::vector<char> bytes = Utf8(text);
    DWORD written = 0;
    if (!WriteFile(log_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        return LastFailure();
    }
    return {};
}

}  // namespace orvandi
