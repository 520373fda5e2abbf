#include "core/control_steps.h"
#include "core/record.h"
#include "core/registration.h"
#include "core/shared_count.h"

namespace orvandi {
namespace {

// The version of the file now in the system folder, for the record ("0.0.0.0": none).
Text InstalledVersion(const PlacementResult& placed);

// A package's first install on this PC raises the control's count: a control already in the
// system folder without a count was put there by a program unknown, which counts as one. A run
// where the package's record exists (a startup script runs at every boot) counts nothing again,
// nor does one that finds a count it cannot read. The record is written each time, with the
// classes the control registered to its copy (a named package's only: the unnamed record stays
// as earlier releases wrote it).
Status CountAndRecord(Ports& ports, const ControlPaths& paths, const Text& package, bool wasPresent,
                      ControlOutcome& control) {
    Registry& registry = ports.registry;
    const Result<std::optional<ControlRecord>> record = ReadRecord(registry, package, paths.name);
    if (!record) return record.failure();
    if (*record) {
        control.counted = Counted::kAlreadyRecorded;
    } else {
        const Result<CountFound> found = FindCount(registry, paths.countPaths);
        if (!found) return found.failure();
        if (found->Unreadable()) {
            control.counted = Counted::kUnreadable;
        } else {
            std::uint32_t raised = wasPresent ? 2 : 1;
            if (found->count) raised = std::max(found->count->value, found->count->value + 1);
            if (Status written = WriteCount(registry, *found, raised); !written) return written;
            control.counted = Counted::kRaised;
            control.count = raised;  // never 0: a count at its largest stays there
        }
    }
    ControlRecord mine{InstalledVersion(*control.placed), std::nullopt};
    if (!package.empty()) mine.classes = TextsValue(control.classes->ClassesHere());
    return WriteRecord(registry, package, paths.name, mine);
}

Text InstalledVersion(const PlacementResult& placed) {
    const bool kept = placed.placement == Placement::kKeepNewer ||
                      placed.placement == Placement::kKeepVersioned ||
                      placed.placement == Placement::kKeepProtected;
    const std::optional<std::uint64_t> version =
        kept ? placed.facts.destinationVersion : placed.facts.sourceVersion;
    return VersionText(version.value_or(0));
}

}  // namespace

ControlPaths PathsOf(const Text& name, const Text& applicationFolder, const Text& systemFolder,
                     const Text& windowsFolder) {
    const Text copy = Join({systemFolder, u"\\", name});
    return {name,          Join({applicationFolder, u"\\OCX\\", name}),         copy, systemFolder,
            windowsFolder, {copy, Join({windowsFolder, u"\\SysWOW64\\", name})}};
}

ControlOutcome InstallControl(Ports& ports, const ControlPaths& paths, const Text& package) {
    ControlOutcome control;
    control.name = paths.name;
    PlacementResult placed = Place(ports.files, ports.system, paths.source, paths.copy);
    const bool wasPresent = placed.facts.destinationExists;
    control.setAside = ReplaceInUse(ports, paths.source, paths.copy, DecidePlacement, placed);
    control.placed = placed;
    if (placed.placement == Placement::kRefuse) {
        control.cause = Cause::kNotAControl;
        return control;
    }
    if (placed.placement == Placement::kRefuseProtected) {
        control.cause = Cause::kProtected;
        return control;
    }
    control.regsvr32 = RunRegsvr32(ports.processes, RegistrationCommand(paths.copy));
    const Finished& finished = control.regsvr32->finished;
    if (!control.regsvr32->notStarted && finished.ending == Ending::kExited &&
        finished.exitCode == 3) {  // the control, or something it needs, could not be loaded
        Result<MissingDlls> missing =
            FindMissing(ports.files, ports.registry, ports.system, paths.copy, paths.systemFolder,
                        paths.windowsFolder);
        if (!missing) {
            control.failure = missing.failure();
            control.cause = Cause::kUnexpected;
            return control;
        }
        control.missing = std::move(*missing);
    }
    if (!control.regsvr32->Registered()) {
        control.cause = finished.ending == Ending::kWouldNotEnd ? Cause::kStuck : Cause::kRegsvr32;
        return control;
    }
    if (placed.failure) {
        control.cause = Cause::kCopyFailed;
        return control;
    }
    Result<ClassesChecked> classes = CheckRegistration(ports.files, ports.registry, ports.system,
                                                       paths.copy, paths.systemFolder);
    if (classes) control.classes = std::move(*classes);
    if (classes && !control.classes->Registered()) {
        control.cause = Cause::kRegisteredElsewhere;  // registered, but the PC would use another
        return control;
    }
    const Status recorded =
        classes ? CountAndRecord(ports, paths, package, wasPresent, control) : classes.status();
    if (!recorded) {
        control.failure = recorded.failure();
        control.cause = Cause::kIncomplete;
    }
    return control;
}

}  // namespace orvandi
