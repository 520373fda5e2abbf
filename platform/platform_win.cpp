// The Platform on Win32. Text is UTF-16 like the wide API (wchar_t is 16-bit on Windows), so it
// passes by reinterpretation.
#include <windows.h>

#include "platform/platform_win.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvandi {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wchar_t is UTF-16");

const wchar_t* Wide(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
wchar_t* Wide(Text& text) { return reinterpret_cast<wchar_t*>(text.data()); }
Text FromWide(const wchar_t* text, std::size_t length) {
    return Text(reinterpret_cast<const char16_t*>(text), length);
}

Failure LastFailure() { return SystemFailure(GetLastError()); }

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
Text SystemPath(UINT(WINAPI* get)(LPWSTR, UINT)) {
    Text folder = Grow([get](wchar_t* buffer, DWORD size) { return get(buffer, size); });
    if (folder.empty()) throw LastFailure();
    return folder;
}

Text Environment(const Text& name) {
    SetLastError(ERROR_SUCCESS);  // a variable set to the empty text answers 0 and no error
    Text value = Grow([&name](wchar_t* buffer, DWORD size) {
        return GetEnvironmentVariableW(Wide(name), buffer, size);
    });
    const DWORD code = GetLastError();
    if (value.empty() && code != ERROR_SUCCESS && code != ERROR_ENVVAR_NOT_FOUND) {
        throw SystemFailure(code);
    }
    return value;
}

// Equal characters as Windows file names compare them: ignoring case, accented letters too.
bool SameLetter(wchar_t a, wchar_t b) {
    return a == b || CompareStringOrdinal(&a, 1, &b, 1, TRUE) == CSTR_EQUAL;
}

// Whether a long file name matches a wildcard: '*' stands for any run of characters, '?' for
// exactly one. As in Windows, a trailing ".*" also matches a name without a dot ("*.*" is every
// name).
bool Matches(const Text& wildcard, const Text& name) {
    std::size_t w = 0, n = 0, star = Text::npos, starName = 0;
    while (n < name.size()) {
        if (w < wildcard.size() && wildcard[w] == u'*') {
            star = w++;  // first let the star match nothing; widen it on a mismatch
            starName = n;
        } else if (w < wildcard.size() &&
                   (wildcard[w] == u'?' || SameLetter(wildcard[w], name[n]))) {
            ++w;
            ++n;
        } else if (star != Text::npos) {
            w = star + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (w < wildcard.size() && wildcard[w] == u'*') ++w;
    return w == wildcard.size() || wildcard.compare(w, Text::npos, u".*") == 0;
}

// A file, not a folder.
bool IsFile(const Text& path) {
    const DWORD attributes = GetFileAttributesW(Wide(path));
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsAbsolute(const Text& path) {
    return (path.size() >= 3 && path[1] == u':' && (path[2] == u'\\' || path[2] == u'/')) ||
           path.compare(0, 2, u"\\\\") == 0;
}

// The program a command line's first word names, with ".exe" added when it has no extension:
// searched for in the Windows system folder, then the Windows folder, then the absolute folders
// on PATH. Never in this program's folder or the current directory, which CreateProcessW would
// search first (a planted regsvr32.exe there would win). A name holding a folder is taken as is.
Text FindProgram(Text name) {
    const std::size_t dot = name.find_last_of(u".\\/:");
    if (dot == Text::npos || name[dot] != u'.') name += u".exe";

    std::vector<Text> candidates;
    if (name.find_first_of(u"\\/:") != Text::npos) {
        candidates.push_back(name);
    } else {
        std::vector<Text> folders{SystemPath(GetSystemDirectoryW),
                                  SystemPath(GetWindowsDirectoryW)};
        const Text path = Environment(u"PATH");
        for (std::size_t start = 0; start <= path.size();) {
            std::size_t end = path.find(u';', start);
            if (end == Text::npos) end = path.size();
            Text folder = path.substr(start, end - start);
            if (folder.size() >= 2 && folder.front() == u'"' && folder.back() == u'"') {
                folder = folder.substr(1, folder.size() - 2);
            }
            if (IsAbsolute(folder)) folders.push_back(folder);  // "" and "." are the current one
            start = end + 1;
        }
        for (const Text& folder : folders) candidates.push_back(folder + u"\\" + name);
    }
    for (const Text& candidate : candidates) {
        if (IsFile(candidate)) return candidate;
    }
    throw SystemFailure(ERROR_FILE_NOT_FOUND);
}

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

Text SystemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const std::unique_ptr<wchar_t, HLOCAL(WINAPI*)(HLOCAL)> owner(buffer, LocalFree);
    Text text = length ? FromWide(buffer, length) : Text();
    while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n')) text.pop_back();
    return text.empty() ? Text(u"Unknown error") : text;
}

Failure SystemFailure(DWORD code) {
    return Failure{static_cast<std::int32_t>(code), SystemMessage(code)};
}

Text Win32Platform::ApplicationFolder() {
    const Text path = Grow([](wchar_t* buffer, DWORD size) {
        return GetModuleFileNameW(nullptr, buffer, size);  // answers `size` when cut short
    });
    if (path.empty()) throw LastFailure();
    return path.substr(0, path.find_last_of(u"\\/"));
}

Text Win32Platform::ListFirst(const Text& pattern, int attributes) {
    listing_.reset();
    listingPattern_ = pattern.substr(pattern.find_last_of(u"\\/:") + 1);  // npos + 1 == 0
    // Attribute value 0 admits plain files (read-only and archive ones too); the hidden, system
    // and directory bits admit those kinds as well.
    listingExcluded_ = (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM) &
                       ~static_cast<DWORD>(attributes);
    WIN32_FIND_DATAW found;
    listing_.reset(FindFirstFileW(Wide(pattern), &found));
    if (!listing_) return EndListing();
    return Admit(found);
}

Text Win32Platform::ListNext() {
    WIN32_FIND_DATAW found;
    if (!listing_) return Text();
    if (!FindNextFileW(listing_.get(), &found)) return EndListing();
    return Admit(found);
}

Text Win32Platform::Admit(WIN32_FIND_DATAW& found) {
    for (;;) {
        // Windows also matches the pattern against 8.3 short names ("OLD~1.OCX" for
        // "Old.ocx_bak"): only the long name counts.
        const Text name = FromWide(found.cFileName, wcslen(found.cFileName));
        if (!(found.dwFileAttributes & listingExcluded_) && Matches(listingPattern_, name)) {
            return name;
        }
        if (!FindNextFileW(listing_.get(), &found)) return EndListing();
    }
}

Text Win32Platform::EndListing() {
    const DWORD code = GetLastError();
    listing_.reset();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
        code == ERROR_NO_MORE_FILES) {
        return Text();
    }
    throw SystemFailure(code);
}

void Win32Platform::ListClose() { listing_.reset(); }

Text Win32Platform::GetEnvironment(const Text& name) { return Environment(name); }

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

namespace {

// Starts a program as Launch describes: its process, and its id.
KernelHandle Start(const Text& commandLine, int windowStyle, DWORD& id) {
    const Text program = FindProgram(commandLine.substr(0, commandLine.find(u' ')));
    const Text workingFolder = SystemPath(GetSystemDirectoryW);
    Text writable = commandLine;  // CreateProcessW may write to its command line

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(windowStyle);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(Wide(program), Wide(writable), nullptr, nullptr, FALSE, 0, nullptr,
                        Wide(workingFolder), &startup, &started)) {
        throw LastFailure();
    }
    const KernelHandle thread(started.hThread);
    id = started.dwProcessId;
    return KernelHandle(started.hProcess);
}

}  // namespace

std::int32_t Win32Platform::Launch(const Text& commandLine, int windowStyle) {
    DWORD id = 0;
    Start(commandLine, windowStyle, id);  // never waited for
    return static_cast<std::int32_t>(id);
}

Finished Win32Platform::RunAndWait(const Text& commandLine, std::uint32_t timeoutMs) {
    DWORD id = 0;
    const KernelHandle process = Start(commandLine, SW_HIDE, id);
    Finished finished;
    DWORD waited = WaitForSingleObject(process.get(), timeoutMs);
    if (waited == WAIT_TIMEOUT) {
        finished.inTime = false;
        // Ended, and waited for, so that it holds the copy no longer.
        if (!TerminateProcess(process.get(), ERROR_TIMEOUT)) throw LastFailure();
        waited = WaitForSingleObject(process.get(), INFINITE);
    }
    DWORD code = 0;
    if (waited != WAIT_OBJECT_0 || !GetExitCodeProcess(process.get(), &code)) throw LastFailure();
    finished.exitCode = code;
    return finished;
}

bool Win32Platform::FileExists(const Text& path) { return IsFile(path); }

// A named mutex in the global namespace, which every session sees: only its existence counts. One
// made by another account (SYSTEM, say) may refuse this one access: it exists all the same.
bool Win32Platform::ClaimRun() {
    runClaim_.reset(CreateMutexW(nullptr, FALSE, L"Global\\Orvandi.UnattendedRun"));
    const DWORD code = GetLastError();
    if (runClaim_ && code != ERROR_ALREADY_EXISTS) return true;
    runClaim_.reset();
    if (code == ERROR_ALREADY_EXISTS || code == ERROR_ACCESS_DENIED) return false;
    throw SystemFailure(code);
}

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

LocalTime Win32Platform::Now() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

Text Win32Platform::ErrorText(std::int32_t number) {
    return SystemMessage(static_cast<DWORD>(number));
}

void Win32Platform::ShowMessage(const Text& text) {
    // Windows answers 0 on failure; Wine answers -1 (for an owner that is no window, say).
    if (MessageBoxW(owner_, Wide(text), L"Orvandi", MB_OK) <= 0) throw LastFailure();
}

void Win32Platform::SetPointer(int pointer) {
    // At once: the window may process no message for a while.
    SetCursor(LoadCursorW(nullptr, pointer == kPointerHourglass ? IDC_WAIT : IDC_ARROW));
}

}  // namespace orvandi
