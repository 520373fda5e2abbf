// Files by name and through their handles: reading one, its version, whether two names are one
// file, paths as Windows resolved them, and a file in use renamed aside and deleted at the restart.
#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/files_win.h"
#include "platform/helpers_win.h"
#include "platform/platform_win.h"

namespace orvandi {
namespace {

DWORD g_names = GetTickCount();

}  // namespace

bool SetAttributes(const Text& path, DWORD attributes) {
    return SetFileAttributesW(Wide(path), attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL);
}

FileHandle OpenToRead(const Text& path) {
    return FileHandle(CreateFileW(
        Wide(path), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
        FILE_FLAG_SEQUENTIAL_SCAN | SECURITY_SQOS_PRESENT | SECURITY_ANONYMOUS, nullptr));
}

DWORD ReadAt(HANDLE file, std::uint64_t offset, void* buffer, DWORD size) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    if (!ReadFile(file, buffer, size, &read, &at)) return GetLastError();  // 38 past the end
    return read == size ? ERROR_SUCCESS : ERROR_HANDLE_EOF;
}

std::uint64_t HandleBytes::Size() {
    LARGE_INTEGER size;
    if (GetFileSizeEx(file_, &size)) return static_cast<std::uint64_t>(size.QuadPart);
    if (!failure_) failure_ = LastFailure();
    return 0;
}

bool HandleBytes::ReadAt(std::uint64_t offset, void* buffer, std::uint32_t size) {
    const DWORD code = orvandi::ReadAt(file_, offset, buffer, size);
    if (code != ERROR_SUCCESS && code != ERROR_HANDLE_EOF && !failure_) {
        failure_ = SystemFailure(code);
    }
    return code == ERROR_SUCCESS;
}

Text Unique() {
    wchar_t unique[24];
    wsprintfW(unique, L"%08lx-%08lx", GetCurrentProcessId(), ++g_names);
    return FromWide(unique);
}

bool RenameByHandle(HANDLE file, const Text& to) {
    const std::size_t nameBytes = to.size() * sizeof(wchar_t);
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(rename->FileName, to.c_str(), nameBytes);
    return SetFileInformationByHandle(file, FileRenameInfo, rename,
                                      static_cast<DWORD>(buffer.size()));
}

Result<Text> FinalPath(HANDLE file) {
    Text path = Grow([file](wchar_t* buffer, DWORD size) {
        return GetFinalPathNameByHandleW(file, buffer, size, VOLUME_NAME_DOS);
    });
    if (path.empty()) return LastFailure();
    return path;
}

Result<Text> RealPath(const Text& path) {
    const FileHandle file(CreateFileW(Wide(path), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    if (!file) return LastFailure();
    Result<Text> real = FinalPath(file.get());
    if (real && real->compare(0, 4, u"\\\\?\\") == 0 && real->size() > 5 && (*real)[5] == u':') {
        real->erase(0, 4);  // "\\?\C:\..." as "C:\..."
    }
    return real;
}

bool Win32Files::FileExists(const Text& path) { return IsFile(path); }

// Read through a handle, never loaded, whoever else has it open.
Result<std::optional<std::uint64_t>> Win32Files::ReadVersion(const Text& path) {
    const FileHandle file = OpenToRead(path);
    if (!file) return LastFailure();
    HandleBytes bytes(file.get());
    const std::optional<std::uint64_t> version = PeImage(bytes).FileVersion();
    if (bytes.failure()) return *bytes.failure();
    return version;
}

// One volume, one file index: the same file under any name (a short name, the 32-bit view of the
// system folder, a hard link).
bool Win32Files::SameFile(const Text& a, const Text& b) {
    BY_HANDLE_FILE_INFORMATION one, other;
    const FileHandle first = OpenToRead(a), second = OpenToRead(b);
    return first && second && GetFileInformationByHandle(first.get(), &one) &&
           GetFileInformationByHandle(second.get(), &other) &&
           one.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
           one.nFileIndexHigh == other.nFileIndexHigh && one.nFileIndexLow == other.nFileIndexLow;
}

// "Calendario.ocx.orvandi-in-uso-<unique>": what the file is and why it is there; never over
// another file.
Result<Text> Win32Files::SetAside(const Text& path) {
    for (;;) {
        Text aside = Join({path, u".orvandi-in-uso-", Unique()});
        if (MoveFileExW(Wide(path), Wide(aside), 0)) return aside;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return LastFailure();
    }
}

Status Win32Files::Rename(const Text& from, const Text& to) {
    if (!MoveFileExW(Wide(from), Wide(to), 0)) return LastFailure();
    return {};
}

// The deletion is done at boot by Windows' session manager, which knows nothing of how a 32-bit
// program sees the system folder: it gets the file's real path (SysWOW64 where this program sees
// System32 on 64-bit Windows). It cannot delete a read-only file, so the file loses that
// attribute first.
Status Win32Files::DeleteAtRestart(const Text& path) {
    const Result<Text> real = RealPath(path);
    if (!real) return real.failure();
    const DWORD attributes = GetFileAttributesW(Wide(*real));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
        !SetAttributes(*real, attributes & ~FILE_ATTRIBUTE_READONLY)) {
        return LastFailure();
    }
    if (!MoveFileExW(Wide(*real), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return LastFailure();
    return {};
}

}  // namespace orvandi
