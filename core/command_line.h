// What the program is started to do: its window, or, started with switches by a deployment system
// (Intune, Configuration Manager, a startup script) or by hand, an unattended run, or its help.
#pragma once

#include "core/exit_codes.h"
#include "core/system.h"
#include "core/text.h"

namespace orvandi {

enum class RunMode { kWindow, kInstall, kUninstall, kCheck, kHelp, kBadCommandLine };

struct Switches {
    RunMode mode = RunMode::kWindow;
    Text logPath;  // empty: no log
    Text package;  // empty: the unnamed package
    Text problem;  // kBadCommandLine: what is wrong with it, in a line
};

// Any word starting with "/" or "-" makes the run unattended; it then takes exactly /S (install),
// /U (uninstall, with or without /S) or /CHECK (with /PACKAGE= and without /S or /U), /LOG=path and
// /PACKAGE=name, each at most once, in any letter case, with "-" or "/" alike. /? (or /H) asks for
// the help, whatever else the line holds. Words are separated by blanks; a quote groups blanks into
// a word and is dropped. Without such a word the window opens, unless nobody could see it: that is
// a bad command line, so the program ends at once instead of waiting for a click that cannot come.
//
// A package's name is what its record's registry key is named: 1 to 64 letters of any alphabet,
// digits, blanks, ".", "-" and "_", with no blank at either end.
Switches ParseCommandLine(System& system, const Text& arguments);

// Writes the switches and the exit codes where whoever asked can read them: on the standard output
// or the console it was started from, or else in a message box. Where neither can be seen
// (session 0), it ends as a command line without switches does there.
int ShowHelp(System& system);

}  // namespace orvandi
