// One control in an unattended run: installed (placed, registered, counted and recorded) or
// uninstalled (uncounted, and unregistered when no other program counts it). Each step answers
// what happened, as a value.
//
// Controls in the system folder are shared by every program that uses them. Installers keep a
// count per shared file under HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\SharedDLLs and only
// unregister or remove it when the count reaches zero; this program keeps that count too, and a
// record of its own of what it installed on this PC (record.h). A count may end one too high after
// a failure, never one too low: it goes up before the record is written, and the record goes
// before the count comes down, so a run retried after any one failed write never takes away a
// count that another program still needs.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/outcome.h"
#include "core/ports.h"
#include "core/text.h"

namespace orvandi {

// How long one regsvr32 may take before it is ended and its entry fails.
inline constexpr std::uint32_t kRegistrationTimeoutMs = 120000;

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
ControlOutcome InstallControl(Ports& ports, const ControlPaths& paths, const Text& package);
// Only what this package installed, and only when no other program counts it any more, is
// unregistered. The files stay in every case.
ControlOutcome UninstallControl(Ports& ports, const ControlPaths& paths, const Text& package);

// Runs regsvr32 (or any command) in a job of its own and waits for it.
Regsvr32 RunRegsvr32(Processes& processes, const Text& command);

// Where the placement failed because the file at `copy` refused to be replaced, and a running
// program holding it is why: renames it aside and places the source again. Answers what was done
// (nothing: no such refusal); `placed` is then the placement of the new copy.
std::optional<SetAside> ReplaceInUse(Ports& ports, const Text& source, const Text& copy,
                                     Decide decide, PlacementResult& placed);

}  // namespace orvandi
