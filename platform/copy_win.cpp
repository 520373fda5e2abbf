// A control file opened once, what decides its copy read through that opening, and the copy
// written from it.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "core/log_path.h"
#include "platform/files_win.h"
#include "platform/helpers_win.h"
#include "platform/platform_win.h"
#include "platform/security_win.h"

namespace orvandi {
namespace {

constexpr DWORD kChunk = 64 * 1024;

// Temporary files in the system folder are named "~orvandi-<unique>.tmp": no other program uses
// that name, and only administrators can create files there.
constexpr char16_t kTemporaryPrefix[] = u"~orvandi-";
constexpr char16_t kTemporarySuffix[] = u".tmp";

// Whether two sources hold the same bytes; false also when either cannot be read (the source
// keeps why).
bool SameBytes(ByteSource& a, ByteSource& b) {
    const std::uint64_t size = a.Size();
    if (size != b.Size()) return false;
    std::vector<char> bytesA(kChunk), bytesB(kChunk);
    for (std::uint64_t at = 0; at < size; at += kChunk) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::uint64_t>(kChunk, size - at));
        if (!a.ReadAt(at, bytesA.data(), chunk) || !b.ReadAt(at, bytesB.data(), chunk) ||
            std::memcmp(bytesA.data(), bytesB.data(), chunk) != 0) {
            return false;
        }
    }
    return true;
}

// Owned by TrustedInstaller: a file of Windows itself, which nobody else may replace or rename.
// Its owner can be read whoever holds it open, and however it is shared.
bool ProtectedByWindows(const Text& path) {
    const FileHandle file(
        CreateFileW(Wide(path), READ_CONTROL, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return false;
    const Result<Text> owner = OwnerOf(file.get());
    return owner && *owner == kTrustedInstallerSid;
}

bool SetDisposition(HANDLE file, bool deleteOnClose) {
    FILE_DISPOSITION_INFO disposition{deleteOnClose};
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
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
        const Text name = FromWide(found.cFileName);
        if (name.compare(0, std::size(kTemporaryPrefix) - 1, kTemporaryPrefix) == 0) {
            DeleteFileW(Wide(Join({folder, name})));
        }
    }
}

// A new file in `folder` under a temporary name, opened with `access`; and its path.
Result<std::pair<FileHandle, Text>> NewTemporary(const Text& folder, DWORD access) {
    for (;;) {
        Text path = Join({folder, kTemporaryPrefix, Unique(), kTemporarySuffix});
        FileHandle file(CreateFileW(Wide(path), access, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) return std::pair(std::move(file), std::move(path));
        if (GetLastError() != ERROR_FILE_EXISTS) return LastFailure();
    }
}

// A new temporary file in `folder`, open for writing and marked for deletion: it goes when it is
// closed, even by the end of a program that crashed, unless the mark is taken off first.
Result<FileHandle> CreateTemporary(const Text& folder) {
    Result<std::pair<FileHandle, Text>> made =
        NewTemporary(folder, GENERIC_READ | GENERIC_WRITE | DELETE);
    if (!made) return made.failure();
    if (!SetDisposition(made->first.get(), true)) return LastFailure();
    return std::move(made->first);
}

// Renames the open temporary file over the destination. Windows refuses to rename over a
// read-only file (error 5, as for a file in use), so a read-only destination loses that attribute
// just before, as Windows Installer clears it on a file it replaces, and gets it back should the
// rename fail. Where it cannot be cleared, the copy fails with that error. Should the rename fail,
// the temporary file is deleted again when it is closed.
Result<CopyResult> PutInPlace(HANDLE temporary, const Text& destination) {
    CopyResult result;
    const DWORD attributes = GetFileAttributesW(Wide(destination));
    result.wasReadOnly =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    if (result.wasReadOnly && !SetAttributes(destination, attributes & ~FILE_ATTRIBUTE_READONLY)) {
        const Failure failure = LastFailure();
        SetDisposition(temporary, true);
        return failure;
    }
    if (!RenameByHandle(temporary, destination)) {
        result.refused = LastFailure();
        if (result.wasReadOnly) SetAttributes(destination, attributes);
        SetDisposition(temporary, true);
    }
    return result;
}

class Win32Source : public SourceFile {
  public:
    explicit Win32Source(FileHandle file) : file_(std::move(file)) {}

    Result<CopyFacts> Inspect(const Text& destination) override {
        HandleBytes bytes(file_.get());
        PeImage image(bytes);
        CopyFacts facts;
        facts.destinationExists = IsFile(destination);
        facts.sourceIsControl = image.IsWholeI386Dll();
        facts.sourceVersion = image.FileVersion();
        if (const FileHandle there = OpenToRead(destination)) {
            HandleBytes thereBytes(there.get());
            facts.destinationVersion = PeImage(thereBytes).FileVersion();
            facts.sameBytes = SameBytes(bytes, thereBytes);
        }
        facts.destinationProtected = ProtectedByWindows(destination);
        if (bytes.failure()) return *bytes.failure();
        return facts;
    }

    // The data goes into a temporary file beside the destination, which then takes the
    // destination's name in one step: the destination is always either the old file or the whole
    // new one. Only the data is copied: no alternate data streams, no encryption or compression,
    // no read-only attribute (a control shipped read-only, from a CD say, could never be replaced
    // again); the last-write time is the source's, as a copy by Windows keeps it.
    Result<CopyResult> CopyTo(const Text& destination) override {
        const Text folder = destination.substr(0, destination.find_last_of(u"\\/") + 1);
        RemoveLeftovers(folder);
        const Result<FileHandle> temporary = CreateTemporary(folder);
        if (!temporary) return temporary.failure();
        HandleBytes bytes(file_.get());
        const std::uint64_t size = bytes.Size();
        if (bytes.failure()) return *bytes.failure();
        if (Status copied = CopyData(file_.get(), temporary->get(), size); !copied) {
            return copied.failure();
        }
        FILETIME written;
        // The data reaches the disk before the rename does, so that a power cut cannot leave the
        // rename done and the new file's data missing (a control full of zeros).
        if (!GetFileTime(file_.get(), nullptr, nullptr, &written) ||
            !SetFileTime(temporary->get(), nullptr, nullptr, &written) ||
            !FlushFileBuffers(temporary->get()) || !SetDisposition(temporary->get(), false)) {
            return LastFailure();
        }
        return PutInPlace(temporary->get(), destination);
    }

  private:
    FileHandle file_;
};

}  // namespace

Result<Text> WriteTemporary(const Text& folder, const Text& text) {
    const Text inFolder = Join({folder, u"\\"});
    RemoveLeftovers(inFolder);
    Result<std::pair<FileHandle, Text>> made = NewTemporary(inFolder, GENERIC_WRITE);
    if (!made) return made.failure();
    auto& [file, path] = *made;
    const std::vector<char> bytes = Utf8(text);
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
        const Failure failure = LastFailure();
        file.reset();
        DeleteFileW(Wide(path));
        return failure;
    }
    return std::move(path);
}

Status CopyData(HANDLE from, HANDLE to, std::uint64_t size) {
    std::vector<char> chunk(kChunk);
    for (std::uint64_t at = 0; at < size; at += kChunk) {
        const DWORD part = static_cast<DWORD>(std::min<std::uint64_t>(kChunk, size - at));
        DWORD written = 0;
        // A source that ends early (cut short on its share) is a failed copy, not a short one.
        if (const DWORD read = ReadAt(from, at, chunk.data(), part); read != ERROR_SUCCESS) {
            return SystemFailure(read);
        }
        if (!WriteFile(to, chunk.data(), part, &written, nullptr)) return LastFailure();
    }
    return {};
}

// Read sharing only: while the file is open nobody can write to it, so the file inspected is the
// file copied. Read through its handle only, never mapped: a mapped file on a share whose network
// drops raises an in-page error that would end the program.
Result<std::unique_ptr<SourceFile>> Win32Files::OpenSource(const Text& path) {
    FileHandle file(CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return LastFailure();
    return std::unique_ptr<SourceFile>(std::make_unique<Win32Source>(std::move(file)));
}

}  // namespace orvandi
