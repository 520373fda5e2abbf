// Control files: what decides a copy, read from the source and the destination, and the copy.
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/helpers_win.h"
#include "platform/platform_win.h"

namespace orvandi {
namespace {

// A file opened for reading only, whoever else has it open (a control in use by a program).
FileHandle OpenToRead(const Text& path) {
    return FileHandle(CreateFileW(Wide(path), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
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

// Whether a file is what 32-bit regsvr32 can load: a PE32 image for i386 marked as a DLL, with
// the data of every section inside the file (a cut-off download is not).
bool IsWholeI386Dll(HANDLE file) {
    LARGE_INTEGER size;
    IMAGE_DOS_HEADER dos;
    if (!GetFileSizeEx(file, &size)) throw LastFailure();
    if (!ReadAt(file, 0, &dos, sizeof dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) return false;
    IMAGE_NT_HEADERS32 nt;
    const std::uint64_t at = static_cast<std::uint32_t>(dos.e_lfanew);
    if (!ReadAt(file, at, &nt, sizeof nt) || nt.Signature != IMAGE_NT_SIGNATURE ||
        nt.FileHeader.Machine != IMAGE_FILE_MACHINE_I386 ||
        !(nt.FileHeader.Characteristics & IMAGE_FILE_DLL) ||
        nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
        return false;
    }
    std::vector<IMAGE_SECTION_HEADER> sections(nt.FileHeader.NumberOfSections);
    const std::uint64_t sectionsAt =
        at + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) + nt.FileHeader.SizeOfOptionalHeader;
    if (!ReadAt(file, sectionsAt, sections.data(),
                static_cast<DWORD>(sections.size() * sizeof(IMAGE_SECTION_HEADER)))) {
        return false;
    }
    for (const IMAGE_SECTION_HEADER& section : sections) {
        if (std::uint64_t{section.PointerToRawData} + section.SizeOfRawData >
            static_cast<std::uint64_t>(size.QuadPart)) {
            return false;
        }
    }
    return true;
}

// The fixed file version of a file's version resource. The file is mapped as data, so none of
// its code runs, and the resource is read here rather than with version.dll: that is no KnownDLL,
// and importing it would load it before the DLL search is restricted (see main.cpp).
std::optional<std::uint64_t> FileVersion(const Text& path) {
    const Library module(LoadLibraryExW(Wide(path), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    const HRSRC found = module ? FindResourceW(module.get(), MAKEINTRESOURCEW(VS_VERSION_INFO),
                                               MAKEINTRESOURCEW(16))  // RT_VERSION
                               : nullptr;
    const HGLOBAL loaded = found ? LoadResource(module.get(), found) : nullptr;
    const auto* data = static_cast<const BYTE*>(loaded ? LockResource(loaded) : nullptr);
    // VS_VERSIONINFO: three WORDs and the key L"VS_VERSION_INFO", then VS_FIXEDFILEINFO on the
    // next 32-bit boundary.
    constexpr DWORD kFixedAt = 40;
    VS_FIXEDFILEINFO fixed;
    if (data == nullptr || SizeofResource(module.get(), found) < kFixedAt + sizeof fixed) {
        return std::nullopt;
    }
    std::memcpy(&fixed, data + kFixedAt, sizeof fixed);
    if (fixed.dwSignature != VS_FFI_SIGNATURE) return std::nullopt;
    return std::uint64_t{fixed.dwFileVersionMS} << 32 | fixed.dwFileVersionLS;
}

bool SameBytes(HANDLE a, HANDLE b) {
    LARGE_INTEGER sizeA, sizeB;
    if (!GetFileSizeEx(a, &sizeA) || !GetFileSizeEx(b, &sizeB)) throw LastFailure();
    if (sizeA.QuadPart != sizeB.QuadPart) return false;
    constexpr DWORD kChunk = 64 * 1024;
    std::vector<char> bytesA(kChunk), bytesB(kChunk);
    for (std::uint64_t at = 0; at < static_cast<std::uint64_t>(sizeA.QuadPart); at += kChunk) {
        const DWORD size = static_cast<DWORD>(
            std::min<std::uint64_t>(kChunk, static_cast<std::uint64_t>(sizeA.QuadPart) - at));
        if (!ReadAt(a, at, bytesA.data(), size) || !ReadAt(b, at, bytesB.data(), size) ||
            std::memcmp(bytesA.data(), bytesB.data(), size) != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

CopyFacts Win32Platform::InspectCopy(const Text& source, const Text& destination) {
    const FileHandle from = OpenToRead(source);
    if (!from) throw LastFailure();
    CopyFacts facts;
    facts.sourceIsControl = IsWholeI386Dll(from.get());
    facts.sourceVersion = FileVersion(source);
    if (const FileHandle to = OpenToRead(destination)) {
        facts.destinationVersion = FileVersion(destination);
        facts.sameBytes = SameBytes(from.get(), to.get());
    }
    return facts;
}

// Copies to a temporary file beside the destination and moves that over the destination in one
// step, so the destination is always either the old file or the whole new one. Under Wine a
// missing source fails with 2 (ERROR_FILE_NOT_FOUND) and a destination held open without sharing
// with 5 (ERROR_ACCESS_DENIED, from the move; a plain CopyFileW onto it gives 32,
// ERROR_SHARING_VIOLATION).
void Win32Platform::CopyFile(const Text& source, const Text& destination) {
    const std::size_t cut = destination.find_last_of(u"\\/");
    const Text folder = cut == Text::npos ? Text(u".") : destination.substr(0, cut + 1);
    wchar_t temporary[MAX_PATH];
    if (!GetTempFileNameW(Wide(folder), L"orv", 0, temporary)) throw LastFailure();

    // Removes the temporary unless it has become the destination.
    struct Temporary {
        const wchar_t* path;
        bool kept = false;
        ~Temporary() {
            if (kept) return;
            SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);  // it may be read-only
            DeleteFileW(path);
        }
    } guard{temporary};
    if (!::CopyFileW(Wide(source), temporary, FALSE)) throw LastFailure();
    // Windows gives the copy the source's attributes: a control shipped read-only (from a CD, say)
    // would land read-only in the system folder, and no later run could replace it.
    const DWORD attributes = GetFileAttributesW(temporary);
    const DWORD writable = attributes & ~FILE_ATTRIBUTE_READONLY;
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        !SetFileAttributesW(temporary, writable ? writable : FILE_ATTRIBUTE_NORMAL)) {
        throw LastFailure();
    }
    // The data reaches the disk before the rename does, so that a power cut cannot leave the
    // rename done and the new file's data missing (a control full of zeros).
    if (const FileHandle written{
            CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr)};
        !written || !FlushFileBuffers(written.get())) {
        throw LastFailure();
    }
    if (!MoveFileExW(temporary, Wide(destination),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        throw LastFailure();
    }
    guard.kept = true;
}

bool Win32Platform::FileExists(const Text& path) { return IsFile(path); }

}  // namespace orvandi
