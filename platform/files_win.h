// Files the program writes besides the log: the copy of a control (one of its steps is here for
// the tests to drive directly), and temporary files.
#pragma once

#include <windows.h>

#include <cstdint>

#include "core/text.h"

namespace orvandi {

// Writes `text` in UTF-8 to a new temporary file in `folder` (named as the copy's temporary
// files, so a leftover goes with the next copy into that folder) and answers its path. The
// caller deletes it.
Text WriteTemporary(const Text& folder, const Text& text);

// Writes the first `size` bytes of `from` to `to` at its current position. Raises a Failure with
// Windows' number when a read fails, or error 38 (ERROR_HANDLE_EOF) when `from` ends before
// `size` bytes: a source that shrinks while it is copied.
void CopyData(HANDLE from, HANDLE to, std::uint64_t size);

// Gives an open file (opened with DELETE access) a new path, replacing a file there (never a
// folder). False, with the error in GetLastError, when Windows refuses.
bool RenameByHandle(HANDLE file, const Text& to);

// A file's path as Windows itself knows it, read from an open handle: links followed, the 32-bit
// view of the system folder under its real name (SysWOW64 on 64-bit Windows).
Text RealPath(const Text& path);

}  // namespace orvandi
