#include "core/control_steps.h"
#include "core/record.h"
#include "core/registration.h"
#include "core/shared_count.h"

namespace orvandi {
namespace {

// The steps after the record was found; a failure among them stops the control there.
Status Release(Ports& ports, const ControlPaths& paths, const Text& package,
               const ControlRecord& record, ControlOutcome& control) {
    Registry& registry = ports.registry;
    const Result<CountFound> found = FindCount(registry, paths.countPaths);
    if (!found) return found.failure();
    if (found->Unreadable()) {  // whoever keeps it so may still need the control
        control.counted = Counted::kUnreadable;
        return RemoveRecord(registry, package, paths.name);
    }
    // A count gone missing counts as this package's own. The record goes first: should lowering
    // the count fail then, it stays one too high, and a retry does not lower it twice.
    const std::uint32_t count = found->count ? found->count->value : 1;
    const std::uint32_t left = count > 0 ? count - 1 : 0;
    if (Status removed = RemoveRecord(registry, package, paths.name); !removed) return removed;
    if (Status written = WriteCount(registry, *found, left); !written) return written;
    if (left > 0) {
        control.counted = Counted::kLeftToOthers;
        control.count = left;
        return Status();
    }
    if (!ports.files.FileExists(paths.copy)) {
        control.counted = Counted::kNoCopy;
        return Status();
    }
    control.regsvr32 = RunRegsvr32(ports.processes, UnregistrationCommand(paths.copy));
    if (control.regsvr32->Registered()) return Status();
    const Ending ending = control.regsvr32->finished.ending;
    control.cause = ending == Ending::kWouldNotEnd ? Cause::kStuck : Cause::kRegsvr32;
    // A retry does the work again: the count as it was first, then the record (the count one
    // too high, should the record fail).
    if (Status restored = RestoreCount(registry, *found); !restored) return restored;
    if (Status recorded = WriteRecord(registry, package, paths.name, record); !recorded) {
        return recorded;
    }
    control.restored = true;
    return Status();
}

}  // namespace

ControlOutcome UninstallControl(Ports& ports, const ControlPaths& paths, const Text& package) {
    ControlOutcome control;
    control.name = paths.name;
    control.install = false;
    const Result<std::optional<ControlRecord>> record =
        ReadRecord(ports.registry, package, paths.name);
    Status released = record.status();
    if (record && !*record) {
        control.counted = Counted::kNotRecorded;
    } else if (record) {
        released = Release(ports, paths, package, **record, control);
    }
    if (!released) {
        control.failure = released.failure();
        if (control.cause == Cause::kNone) control.cause = Cause::kUnexpected;
    }
    return control;
}

}  // namespace orvandi
