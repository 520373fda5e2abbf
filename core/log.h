// The unattended run's log file, and its last line when the program faults.
#pragma once

#include <cstdint>

#include "core/result.h"
#include "core/text.h"

namespace orvandi {

class Log {
  public:
    virtual ~Log() = default;

    // Opens a log file to append to (created when missing, in a folder that must exist). Fails
    // for anything but a plain file with one name, reached by the very path asked for, and made
    // by an administrator, SYSTEM, TrustedInstaller or this run's own user: not a folder, not a
    // link of any kind at the file or at any folder above it.
    virtual Status Open(const Text& path) = 0;
    // Appends a text to it.
    virtual Status Write(const Text& text) = 0;
    // When the log holds more than `limit` bytes, renames it "<its name>.1" (over a plain file of
    // that name) and starts a new one; where it cannot be renamed, it stays as it is.
    virtual void Rotate(std::uint64_t limit) = 0;
    // From now until the program ends, a fault that would end it (a structured exception nobody
    // handles, a stack overflow, abort) writes one last line to the log, if one is open, and ends
    // the program with `exitCode`. The line is the time, `start`, the fault's code in eight hex
    // digits, `end` and CRLF; it is prepared now, so that writing it needs no memory, nor much
    // of the faulting thread's stack.
    virtual void CatchFatal(const Text& start, const Text& end, int exitCode) = 0;
};

}  // namespace orvandi
