// What the Win32 files share besides helpers_win.h: a file read through its handle, the steps of
// a copy that the tests drive directly, temporary files, and paths as Windows resolved them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

#include "core/pe_image.h"
#include "core/result.h"
#include "core/text.h"
#include "platform/handles_win.h"

namespace orvandi {

inline constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A file opened for reading only, whoever else has it open (a control in use by a program). Should
// the path name a pipe after all, its server learns nothing of who opened it.
FileHandle OpenToRead(const Text& path);

// Reads `size` bytes at `offset`: ERROR_SUCCESS; ERROR_HANDLE_EOF when the file ends before them;
// or why the read failed.
DWORD ReadAt(HANDLE file, std::uint64_t offset, void* buffer, DWORD size);

// A file's bytes for the PE reader, through its handle. The first read that fails is kept: the
// reader only sees that nothing came, and the owner of this source tells why.
class HandleBytes : public ByteSource {
  public:
    explicit HandleBytes(HANDLE file) : file_(file) {}
    std::uint64_t Size() override;
    bool ReadAt(std::uint64_t offset, void* buffer, std::uint32_t size) override;
    const std::optional<Failure>& failure() const { return failure_; }

  private:
    HANDLE file_;
    std::optional<Failure> failure_;
};

// A name part no other name made by this program has: its process id and a count.
Text Unique();

// Writes `text` in UTF-8 to a new temporary file in `folder` (named as the copy's temporary
// files, so a leftover goes with the next copy into that folder) and answers its path. The
// caller deletes it.
Result<Text> WriteTemporary(const Text& folder, const Text& text);

// Writes the first `size` bytes of `from` to `to` at its current position. Fails with Windows'
// number when a read fails, or with error 38 (ERROR_HANDLE_EOF) when `from` ends before `size`
// bytes: a source that shrinks while it is copied.
Status CopyData(HANDLE from, HANDLE to, std::uint64_t size);

// Sets a file's attributes; 0 (which Windows would ignore) as FILE_ATTRIBUTE_NORMAL.
bool SetAttributes(const Text& path, DWORD attributes);

// Gives an open file (opened with DELETE access) a new path, replacing a file there (never a
// folder). False, with the error in GetLastError, when Windows refuses.
bool RenameByHandle(HANDLE file, const Text& to);

// The path of an open file or folder as Windows resolved it, every link followed, in the form
// GetFinalPathNameByHandleW gives: "\\?\C:\...", "\\?\UNC\server\share\...".
Result<Text> FinalPath(HANDLE file);

// A file's path as Windows itself knows it, read from an open handle: links followed, the 32-bit
// view of the system folder under its real name (SysWOW64 on 64-bit Windows), "C:\..." for a
// path on a drive.
Result<Text> RealPath(const Text& path);

}  // namespace orvandi
