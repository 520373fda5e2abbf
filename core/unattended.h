// The program as a deployment system starts it (Intune, Configuration Manager, a startup
// script): switches on the command line, no window and no message, regsvr32 waited for, an exit
// code such systems understand, and a log to read when a computer fails.
#pragma once

#include <cstdint>

#include "core/platform.h"
#include "core/text.h"

namespace orvandi {

enum class RunMode { kWindow, kInstall, kUninstall, kBadCommandLine };

struct Switches {
    RunMode mode = RunMode::kWindow;
    Text logPath;  // empty: no log
};

// Any word starting with "/" makes the run unattended; it then takes exactly /S (install), /U
// (uninstall, with or without /S) and /LOG=path, each at most once, in any letter case. Words
// are separated by blanks; a quote groups blanks into a word and is dropped.
Switches ParseCommandLine(const Text& arguments);

// Exit codes, as Windows Installer gives them.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitBadCommandLine = 87;  // ERROR_INVALID_PARAMETER
inline constexpr int kExitFailed = 1603;        // ERROR_INSTALL_FAILURE
inline constexpr int kExitAnotherRun = 1618;    // ERROR_INSTALL_ALREADY_RUNNING

// How long one regsvr32 may take before it is ended and its entry fails.
inline constexpr std::uint32_t kRegistrationTimeoutMs = 120000;

// Installs (placing each control as the window's run does, then registering it) or uninstalls
// every control the window would list, one at a time, and answers the exit code. `arguments`
// and `version` go into the log's first line.
int RunUnattended(UnattendedPlatform& platform, const Switches& switches, const Text& arguments,
                  const Text& version);

}  // namespace orvandi
