// The program as a deployment system starts it (Intune, Configuration Manager, a startup
// script): switches on the command line, no window and no message, regsvr32 waited for, an exit
// code such systems understand, and a log to read when a computer fails.
#pragma once

#include <cstdint>

#include "core/command_line.h"
#include "core/platform.h"
#include "core/text.h"

namespace orvandi {

// How long one regsvr32 may take before it is ended and its entry fails.
inline constexpr std::uint32_t kRegistrationTimeoutMs = 120000;

// The log's path with each %NAME% replaced by that environment variable's value, as Windows
// expands it (an unset variable stays as written), for a deployment system that hands the command
// line over unexpanded.
Text ExpandVariables(Platform& platform, const Text& path);

// Installs (placing each control as the window's run does, then registering it) or uninstalls
// every control the window would list, one at a time, and answers the exit code: only the codes
// of command_line.h, whatever happens (a fault that would end the program ends it with 1603).
// A named package is uninstalled from its record instead, and its install releases what the
// package recorded and no longer holds. Shows the help when asked. `arguments` and `version` go
// into the log's first line.
int RunUnattended(UnattendedPlatform& platform, const Switches& switches, const Text& arguments,
                  const Text& version);

}  // namespace orvandi
