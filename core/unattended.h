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

// Any word starting with "/" or "-" makes the run unattended; it then takes exactly /S (install),
// /U (uninstall, with or without /S) and /LOG=path, each at most once, in any letter case, with
// "-" or "/" alike. Words are separated by blanks; a quote groups blanks into a word and is
// dropped. Without such a word the window opens, unless nobody could see it (`canShowWindow`
// false): that is a bad command line, so the program ends at once instead of waiting for a click
// that cannot come.
Switches ParseCommandLine(const Text& arguments, bool canShowWindow);

// Exit codes, as Windows Installer gives them.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitBadCommandLine = 87;  // ERROR_INVALID_PARAMETER
inline constexpr int kExitFailed = 1603;        // ERROR_INSTALL_FAILURE
inline constexpr int kExitAnotherRun = 1618;    // ERROR_INSTALL_ALREADY_RUNNING
inline constexpr int kExitLogFailed = 1622;     // ERROR_INSTALL_LOG_FAILURE
inline constexpr int kExitRestart = 3010;       // ERROR_SUCCESS_REBOOT_REQUIRED

// How long one regsvr32 may take before it is ended and its entry fails.
inline constexpr std::uint32_t kRegistrationTimeoutMs = 120000;

// The log's path with each %NAME% replaced by that environment variable's value, as Windows
// expands it (an unset variable stays as written), for a deployment system that hands the command
// line over unexpanded.
Text ExpandVariables(Platform& platform, const Text& path);

// Installs (placing each control as the window's run does, then registering it) or uninstalls
// every control the window would list, one at a time, and answers the exit code: only the codes
// above, whatever happens (a fault that would end the program ends it with 1603). `arguments`
// and `version` go into the log's first line.
int RunUnattended(UnattendedPlatform& platform, const Switches& switches, const Text& arguments,
                  const Text& version);

}  // namespace orvandi
