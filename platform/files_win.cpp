// Control files: a source opened once, what decides its copy read through that opening, and the
// copy written from it.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "platform/files_win.h"
#include "platform/helpers_win.h"
#include "platform/pe_image.h"
#include "platform/platform_win.h"

namespace orvandi {
namespace {

constexpr DWORD kChunk = 64 * 1024;

// Temporary files in the system folder are named "~orvandi-<unique>.tmp": no other program uses
// that name, and only administrators can create files there.
constexpr char16_t kTemporaryPrefix[] = u"~orvandi-";
constexpr char16_t kTemporarySuffix[] = u".tmp";

// A file opened for reading only, whoever else has it open (a control in use by a program). Should
// the path name a pipe after all, its server learns nothing of who opened it.
FileHandle OpenToRead(const Text& path) {
    return FileHandle(CreateFileW(
        Wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN | SECURITY_SQOS_PRESENT | SECURITY_ANONYMOUS,
        nullptr));
}

// Reads `size` bytes at `offset`; false when the file ends before them.
bool ReadAt(HANDLE file, std::uint64_t offset, void* buffer, DWORD size) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    if (!ReadFile(file, buffer, size, &read, &at) && GetLastError() != ERROR_HANDLE_EOF) {
        throw LastFailure();
    }
    return read == size;
}

std::uint64_t SizeOf(HANDLE file) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size)) throw LastFailure();
    return static_cast<std::uint64_t>(size.QuadPart);
}

// A file's bytes for the PE reader, through its handle.
class HandleBytes : public ByteSource {
  public:
    explicit HandleBytes(HANDLE file) : file_(file) {}
    std::uint64_t Size() override { return SizeOf(file_); }
    bool ReadAt(std::uint64_t offset, void* buffer, std::uint32_t size) override {
        return orvandi::ReadAt(file_, offset, buffer, size);
    }

  private:
    HANDLE file_;
};

bool SameBytes(HANDLE a, HANDLE b) {
    const std::uint64_t size = SizeOf(a);
    if (size != SizeOf(b)) return false;
    std::vector<char> bytesA(kChunk), bytesB(kChunk);
    for (std::uint64_t at = 0; at < size; at += kChunk) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::uint64_t>(kChunk, size - at));
        if (!ReadAt(a, at, bytesA.data(), chunk) || !ReadAt(b, at, bytesB.data(), chunk) ||
            std::memcmp(bytesA.data(), bytesB.data(), chunk) != 0) {
            return false;
        }
    }
    return true;
}

bool SetDisposition(HANDLE file, bool deleteOnClose) {
    FILE_DISPOSITION_INFO disposition{deleteOnClose};
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

// Attributes of 0 would leave a file's attributes as they are.
bool SetAttributes(const Text& path, DWORD attributes) {
    return SetFileAttributesW(Wide(path), attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL);
}

// The folders cleaned of leftovers so far.
std::vector<Text> g_cleaned;

// Removes what a run that was cut short left behind (between keeping its temporary file and
// putting it in place), once per folder and program. A temporary file another run is still
// writing cannot be opened to be deleted, and stays.
void RemoveLeftovers(const Text& folder) {
    if (std::find(g_cleaned.begin(), g_cleaned.end(), folder) != g_cleaned.end()) return;
    g_cleaned.push_back(folder);
    WIN32_FIND_DATAW found;
    const FindHandle listing(
        FindFirstFileW(Wide(Join({folder, kTemporaryPrefix, u"*", kTemporarySuffix})), &found));
    for (bool more = static_cast<bool>(listing); more;
         more = FindNextFileW(listing.get(), &found)) {
        const Text name = FromWide(found.cFileName, wcslen(found.cFileName));
        if (name.compare(0, std::size(kTemporaryPrefix) - 1, kTemporaryPrefix) == 0) {
            DeleteFileW(Wide(Join({folder, name})));
        }
    }
}

DWORD g_names = GetTickCount();

// A name part no other name made by this program has: its process id and a count.
Text Unique() {
    wchar_t unique[24];
    wsprintfW(unique, L"%08lx-%08lx", GetCurrentProcessId(), ++g_names);
    return FromWide(unique, wcslen(unique));
}

// A new file in `folder` under a temporary name, opened with `access`; and its path.
std::pair<FileHandle, Text> NewTemporary(const Text& folder, DWORD access) {
    for (;;) {
        Text path = Join({folder, kTemporaryPrefix, Unique(), kTemporarySuffix});
        FileHandle file(CreateFileW(Wide(path), access, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) return {std::move(file), std::move(path)};
        if (GetLastError() != ERROR_FILE_EXISTS) throw LastFailure();
    }
}

// A new temporary file in `folder`, open for writing and marked for deletion: it goes when it is
// closed, even by the end of a program that crashed, unless the mark is taken off first.
FileHandle CreateTemporary(const Text& folder) {
    FileHandle file = NewTemporary(folder, GENERIC_READ | GENERIC_WRITE | DELETE).first;
    if (!SetDisposition(file.get(), true)) throw LastFailure();
    return file;
}

class Win32Source : public SourceFile {
  public:
    explicit Win32Source(FileHandle file) : file_(std::move(file)) {}

    CopyFacts Inspect(const Text& destination) override {
        HandleBytes bytes(file_.get());
        PeImage image(bytes);
        CopyFacts facts;
        facts.destinationExists = IsFile(destination);
        facts.sourceIsControl = image.IsWholeI386Dll();
        facts.sourceVersion = image.FileVersion();
        if (const FileHandle there = OpenToRead(destination)) {
            HandleBytes thereBytes(there.get());
            facts.destinationVersion = PeImage(thereBytes).FileVersion();
            facts.sameBytes = SameBytes(file_.get(), there.get());
        }
        return facts;
    }

    // The data goes into a temporary file beside the destination, which then takes the
    // destination's name in one step: the destination is always either the old file or the whole
    // new one. Only the data is copied: no alternate data streams, no encryption or compression,
    // no read-only attribute (a control shipped read-only, from a CD say, could never be replaced
    // again); the last-write time is the source's, as a copy by Windows keeps it.
    CopyResult CopyTo(const Text& destination) override {
        const Text folder = destination.substr(0, destination.find_last_of(u"\\/") + 1);
        RemoveLeftovers(folder);
        const FileHandle temporary = CreateTemporary(folder);
        CopyData(file_.get(), temporary.get(), SizeOf(file_.get()));
        FILETIME written;
        // The data reaches the disk before the rename does, so that a power cut cannot leave the
        // rename done and the new file's data missing (a control full of zeros).
        if (!GetFileTime(file_.get(), nullptr, nullptr, &written) ||
            !SetFileTime(temporary.get(), nullptr, nullptr, &written) ||
            !FlushFileBuffers(temporary.get()) || !SetDisposition(temporary.get(), false)) {
            throw LastFailure();
        }
        return PutInPlace(temporary.get(), destination);
    }

  private:
    // Renames the open temporary file over the destination. Windows refuses to rename over a
    // read-only file (error 5, as for a file in use), so a read-only destination loses that
    // attribute just before, as Windows Installer clears it on a file it replaces, and gets it
    // back should the rename fail. Where it cannot be cleared, the copy fails with that error.
    // Should the rename fail, the temporary file is deleted again when it is closed.
    static CopyResult PutInPlace(HANDLE temporary, const Text& destination) {
        CopyResult result;
        const DWORD attributes = GetFileAttributesW(Wide(destination));
        result.wasReadOnly =
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
        if (result.wasReadOnly &&
            !SetAttributes(destination, attributes & ~FILE_ATTRIBUTE_READONLY)) {
            const Failure failure = LastFailure();
            SetDisposition(temporary, true);
            throw failure;
        }
        if (!RenameByHandle(temporary, destination)) {
            result.refused = LastFailure();
            if (result.wasReadOnly) SetAttributes(destination, attributes);
            SetDisposition(temporary, true);
        }
        return result;
    }

    FileHandle file_;
};

}  // namespace

Text WriteTemporary(const Text& folder, const Text& text) {
    const Text inFolder = Join({folder, u"\\"});
    RemoveLeftovers(inFolder);
    auto [file, path] = NewTemporary(inFolder, GENERIC_WRITE);
    const std::vector<char> bytes = Utf8(text);
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
        const Failure failure = LastFailure();
        file.reset();
        DeleteFileW(Wide(path));
        throw failure;
    }
    return path;
}

void CopyData(HANDLE from, HANDLE to, std::uint64_t size) {
    std::vector<char> chunk(kChunk);
    for (std::uint64_t at = 0; at < size; at += kChunk) {
        const DWORD part = static_cast<DWORD>(std::min<std::uint64_t>(kChunk, size - at));
        DWORD written = 0;
        // A source that ends early (cut short on its share) is a failed copy, not a short one.
        if (!ReadAt(from, at, chunk.data(), part)) throw SystemFailure(ERROR_HANDLE_EOF);
        if (!WriteFile(to, chunk.data(), part, &written, nullptr)) throw LastFailure();
    }
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

Text RealPath(const Text& path) {
    const FileHandle file(CreateFileW(Wide(path), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    Text real = file ? Grow([&file](wchar_t* buffer, DWORD size) {
        return GetFinalPathNameByHandleW(file.get(), buffer, size, VOLUME_NAME_DOS);
    })
                     : Text();
    if (real.empty()) throw LastFailure();
    if (real.compare(0, 4, u"\\\\?\\") == 0 && real.size() > 5 && real[5] == u':') {
        real.erase(0, 4);  // "\\?\C:\..." as "C:\..."
    }
    return real;
}

// Read sharing only: while the file is open nobody can write to it, so the file inspected is the
// file copied. Read through its handle only, never mapped: a mapped file on a share whose network
// drops raises an in-page error that would end the program.
std::unique_ptr<SourceFile> Win32Platform::OpenSource(const Text& path) {
    FileHandle file(CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) throw LastFailure();
    return std::make_unique<Win32Source>(std::move(file));
}

bool Win32Platform::FileExists(const Text& path) { return IsFile(path); }

// Read through a handle, never loaded: the control is not run to learn what it needs.
Dependencies Win32Platform::ReadDependencies(const Text& path) {
    Dependencies needs;
    const FileHandle file = OpenToRead(path);
    if (!file) return needs;
    HandleBytes bytes(file.get());
    PeImage image(bytes);
    needs.imports = image.ImportedDlls();
    needs.delayed = image.DelayLoadedDlls();
    // A DLL's own manifest is its resource 2 (ISOLATIONAWARE_MANIFEST_RESOURCE_ID), in UTF-8.
    if (const std::optional<Bytes> manifest = image.Resource(24, 2)) {
        const int size = static_cast<int>(manifest->size());
        needs.manifest.resize(MultiByteToWideChar(CP_UTF8, 0, manifest->data(), size, nullptr, 0));
        MultiByteToWideChar(CP_UTF8, 0, manifest->data(), size, Wide(needs.manifest),
                            static_cast<int>(needs.manifest.size()));
    }
    return needs;
}

// One volume, one file index: the same file under any name (a short name, the 32-bit view of the
// system folder, a hard link).
bool Win32Platform::SameFile(const Text& a, const Text& b) {
    BY_HANDLE_FILE_INFORMATION one, other;
    const FileHandle first = OpenToRead(a), second = OpenToRead(b);
    return first && second && GetFileInformationByHandle(first.get(), &one) &&
           GetFileInformationByHandle(second.get(), &other) &&
           one.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
           one.nFileIndexHigh == other.nFileIndexHigh && one.nFileIndexLow == other.nFileIndexLow;
}

// "Calendario.ocx.orvandi-in-uso-<unique>": what the file is and why it is there; never over
// another file.
Text Win32Platform::SetAside(const Text& path) {
    for (;;) {
        const Text aside = Join({path, u".orvandi-in-uso-", Unique()});
        if (MoveFileExW(Wide(path), Wide(aside), 0)) return aside;
        if (GetLastError() != ERROR_ALREADY_EXISTS) throw LastFailure();
    }
}

void Win32Platform::Rename(const Text& from, const Text& to) {
    if (!MoveFileExW(Wide(from), Wide(to), 0)) throw LastFailure();
}

// The deletion is done at boot by Windows' session manager, which knows nothing of how a 32-bit
// program sees the system folder: it gets the file's real path (SysWOW64 where this program sees
// System32 on 64-bit Windows). It cannot delete a read-only file, so the file loses that
// attribute first.
void Win32Platform::DeleteAtRestart(const Text& path) {
    const Text real = RealPath(path);
    const DWORD attributes = GetFileAttributesW(Wide(real));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
        !SetAttributes(real, attributes & ~FILE_ATTRIBUTE_READONLY)) {
        throw LastFailure();
    }
    if (!MoveFileExW(Wide(real), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) throw LastFailure();
}

}  // namespace orvandi
