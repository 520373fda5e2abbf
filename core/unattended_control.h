// One control in an unattended run: installed (placed, registered, counted and recorded) or
// uninstalled (uncounted, and unregistered when no other program counts it), with the log line
// that tells what happened.
//
// Controls in the system folder are shared by every program that uses them. Installers keep a
// count per shared file under HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\SharedDLLs and only
// unregister or remove it when the count reaches zero; this program keeps that count too, and a
// record of its own of what it installed on this PC, which detection rules read.
#pragma once

#include <cstdint>
#include <vector>

#include "core/failure.h"
#include "core/platform.h"
#include "core/text.h"

namespace orvandi {

// How one control came out.
enum class Outcome {
    kDone,
    kDoneAtRestart,  // done, and the copy it replaced (held by a program) goes at the restart
    kFailed,
    kStop,  // a regsvr32 that could not be ended still runs: nothing more may start beside it
};

struct ControlPaths {
    Text name;    // the control's file name: its record's name
    Text source;  // in the OCX folder
    Text copy;    // in the system folder
    Text systemFolder, windowsFolder;
    // The names its count may have: the copy's path as this program writes it first, then the
    // same file under the 32-bit system folder's own name (SysWOW64), which Windows Installer
    // writes on 64-bit Windows. Value names ignore letter case, so "system32" is one name in any
    // case.
    std::vector<Text> countPaths;
};

ControlPaths PathsOf(const Text& name, const Text& applicationFolder, const Text& systemFolder,
                     const Text& windowsFolder);

// `package` names the record, and who counts: each package that installs a control counts it
// once ("": the unnamed package).
Outcome InstallControl(UnattendedPlatform& platform, const ControlPaths& paths, const Text& package,
                       Text& line);
Outcome UninstallControl(UnattendedPlatform& platform, const ControlPaths& paths,
                         const Text& package, Text& line);

// "errore <number>: <description>"
Text Explain(const Failure& failure);

}  // namespace orvandi
