// What the program is started to do: its window, or, started with switches by a deployment system
// (Intune, Configuration Manager, a startup script) or by hand, an unattended run, or its help.
#pragma once

#include "core/platform.h"
#include "core/text.h"

namespace orvandi {

enum class RunMode { kWindow, kInstall, kUninstall, kHelp, kBadCommandLine };

struct Switches {
    RunMode mode = RunMode::kWindow;
    Text logPath;  // empty: no log
    Text package;  // empty: the unnamed package
};

// Any word starting with "/" or "-" makes the run unattended; it then takes exactly /S (install),
// /U (uninstall, with or without /S), /LOG=path and /PACKAGE=name, each at most once, in any letter
// case, with "-" or "/" alike. /? (or /H) asks for the help, whatever else the line holds. Words
// are separated by blanks; a quote groups blanks into a word and is dropped. Without such a word
// the window opens, unless nobody could see it: that is a bad command line, so the program ends at
// once instead of waiting for a click that cannot come.
//
// A package's name is what its record's registry key is named: 1 to 64 letters of any alphabet,
// digits, blanks, ".", "-" and "_", with no blank at either end.
Switches ParseCommandLine(UnattendedPlatform& platform, const Text& arguments);

// Exit codes, as Windows Installer gives them.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitBadCommandLine = 87;  // ERROR_INVALID_PARAMETER
inline constexpr int kExitFailed = 1603;        // ERROR_INSTALL_FAILURE
inline constexpr int kExitAnotherRun = 1618;    // ERROR_INSTALL_ALREADY_RUNNING
inline constexpr int kExitLogFailed = 1622;     // ERROR_INSTALL_LOG_FAILURE
inline constexpr int kExitRestart = 3010;       // ERROR_SUCCESS_REBOOT_REQUIRED

// Writes the switches and the exit codes where whoever asked can read them: on the standard output
// or the console it was started from, or else in a message box. Where neither can be seen
// (session 0), it ends as a command line without switches does there.
int ShowHelp(UnattendedPlatform& platform);

}  // namespace orvandi
