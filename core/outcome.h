// What happened, as values: to one control of an unattended run, and to the run. The steps answer
// these; the log's lines, the Application event and the package's registry values are each
// formatted from them in one place.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/clock.h"
#include "core/command_line.h"
#include "core/placement.h"
#include "core/processes.h"
#include "core/registration_check.h"
#include "core/result.h"
#include "core/text.h"

namespace orvandi {

// A copy that the file in its place refused, because a running program holds it, is put in place
// all the same: the file in use is renamed aside in its folder, where that program goes on using
// it, and deleted at the next restart.
struct SetAside {
    Text asideName;  // the name it was given
    std::optional<std::vector<Holder>> holders;
    bool replaced = false;                // the new copy took its place
    std::optional<Failure> notAtRestart;  // replaced, but Windows refused to delete it at restart
    std::optional<Failure> notPutBack;    // not replaced, and not renamed back either
};

// regsvr32, run and waited for.
struct Regsvr32 {
    std::optional<Failure> notStarted;
    Finished finished;  // when it started
    bool Registered() const {
        return !notStarted && finished.ending == Ending::kExited && finished.exitCode == 0;
    }
};

// What a control's count and record came to.
enum class Counted {
    kRaised,           // installed: its count raised to `count` and recorded
    kAlreadyRecorded,  // installed before by this package: nothing counted again
    kUnreadable,       // a count that does not read as one: left as it is
    kNotRecorded,      // uninstalled: not this package's, left as it is
    kLeftToOthers,     // uninstalled: still counted by `count` other programs, left registered
    kNoCopy,           // uninstalled: counted no more, and no copy to unregister
};

// Why a control ended badly.
enum class Cause {
    kNone,
    kNotAControl,          // not a 32-bit Windows DLL: not copied
    kProtected,            // Windows protects the copy there, older: not replaced
    kCopyFailed,           // the copy was not made; what was there got registered
    kRegsvr32,             // regsvr32 did not start, ran out of time or failed
    kStuck,                // regsvr32 ran out of time and could not be ended: the run stops
    kRegisteredElsewhere,  // registered, but not for the machine to the copy
    kIncomplete,           // registered, but its count or record could not be written
    kUnexpected,           // anything else that stopped it
};

struct ControlOutcome {
    Text name;
    bool install = true;   // else uninstalled, or released by an install that dropped it
    bool dropped = false;  // released: its package no longer holds it
    std::optional<SetAside> setAside;
    std::optional<PlacementResult> placed;  // what happened to its file
    std::optional<Counted> counted;
    std::uint32_t count = 0;
    std::optional<Regsvr32> regsvr32;
    std::optional<MissingDlls> missing;     // after regsvr32's 3
    std::optional<ClassesChecked> classes;  // after regsvr32's 0
    bool restored = false;  // an unregistration failed: count and record put back as they were
    std::optional<Failure> failure;  // kIncomplete and kUnexpected: the failure that stopped it
    Cause cause = Cause::kNone;
    std::uint32_t milliseconds = 0;

    bool Failed() const { return cause != Cause::kNone; }
    // Done, but the copy it replaced (held by a program) goes at the next restart.
    bool AtRestart() const { return !Failed() && setAside && setAside->replaced; }
};

// Why an unattended run ended.
enum class RunEnd {
    kTotals,              // every control visited
    kBadCommandLine,      // nothing done
    kLogRefused,          // nothing done: the log cannot be used
    kAnotherRun,          // nothing done: try again later
    kRefused,             // nothing done: not an administrator's run
    kNothingToInstall,    // no .ocx in the OCX folder
    kTooMany,             // more .ocx than the window can list
    kNothingToUninstall,  // the package installed nothing here
    kStopped,             // a regsvr32 that could not be ended
    kUnexpected,          // a failure no step expected
};

struct RunOutcome {
    RunMode mode = RunMode::kInstall;
    Text package, arguments, version;
    Text applicationFolder, systemFolder;
    Text logPath;  // as expanded; empty: no log
    Text problem;  // kBadCommandLine: what is wrong with it
    LocalTime started;
    RunEnd end = RunEnd::kTotals;
    std::optional<Failure> failure;  // kLogRefused, kUnexpected
    std::vector<ControlOutcome> controls;
    std::uint32_t milliseconds = 0;
};

// The run's exit code, decided by how it ended: a failure wins over a restart, so that the
// deployment is seen to have failed.
int ExitCode(const RunOutcome& run);
std::vector<Text> FailedNames(const RunOutcome& run);

}  // namespace orvandi
