// What the control files' copy is made of, for the tests to drive one step directly.
#pragma once

#include <windows.h>

#include <cstdint>

namespace orvandi {

// Writes the first `size` bytes of `from` to `to` at its current position. Raises a Failure with
// Windows' number when a read fails, or error 38 (ERROR_HANDLE_EOF) when `from` ends before
// `size` bytes: a source that shrinks while it is copied.
void CopyData(HANDLE from, HANDLE to, std::uint64_t size);

}  // namespace orvandi
