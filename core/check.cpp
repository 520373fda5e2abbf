#include "core/check.h"

#include "core/record.h"
#include "core/registration_check.h"

namespace orvandi {
namespace {

Status CheckControl(Ports& ports, const Text& package, const Text& name, const Text& systemFolder,
                    std::vector<Difference>& differences) {
    const Result<std::optional<ControlRecord>> record = ReadRecord(ports.registry, package, name);
    if (!record) return record.failure();
    const Text copy = Join({systemFolder, u"\\", name});
    const Text version = *record ? (*record)->version : Text();
    const std::optional<std::uint64_t> recorded = ParseVersion(version);
    // A value that is no text, or text that is no version; 0.0.0.0: a control without a version.
    const std::uint64_t least = recorded.value_or(0);
    if (!*record || !recorded) {
        differences.push_back({Difference::kUnreadableVersion, name, {}, version, {}, {}});
    }
    const Result<std::optional<std::uint64_t>> found = ports.files.ReadVersion(copy);
    if (!found) {
        differences.push_back({Difference::kNoCopy, name, {}, {}, {}, found.failure()});
        return Status();
    }
    if (found->value_or(0) < least) {
        differences.push_back(
            {Difference::kOlder, name, {}, version, *found ? VersionText(**found) : Text(), {}});
    }
    if (!*record || !(*record)->classes) return Status();
    const std::optional<std::vector<Text>> classes = TextsOf(*(*record)->classes);
    if (!classes) {
        differences.push_back({Difference::kUnreadableClasses, name, {}, {}, {}, {}});
        return Status();
    }
    for (const Text& clsid : *classes) {
        const Result<std::optional<Text>> server =
            MachineServer(ports.registry, ports.system, clsid);
        if (!server) return server.failure();
        if (!*server || (*server)->empty()) {
            differences.push_back({Difference::kClassGone, name, clsid, {}, {}, {}});
        } else if (!NamesTheCopy(ports.files, **server, copy, systemFolder)) {
            differences.push_back({Difference::kClassElsewhere, name, clsid, {}, **server, {}});
        }
    }
    return Status();
}

}  // namespace

Result<CheckOutcome> CheckPackage(Ports& ports, const Text& package, const Text& systemFolder) {
    CheckOutcome outcome;
    const Result<bool> known = PackageKnown(ports.registry, package);
    if (!known) return known.failure();
    outcome.known = *known;
    if (!outcome.known) return outcome;
    const Result<std::optional<StoredValue>> installed =
        ports.registry.Read(Root::kMachine, RecordKey(package), kInstalled);
    if (!installed) return installed.failure();
    if (!*installed) outcome.differences.push_back({Difference::kNotInstalled, {}, {}, {}, {}, {}});
    const Result<std::vector<Text>> controls = RecordedControls(ports.registry, package);
    if (!controls) return controls.failure();
    for (const Text& name : *controls) {
        if (Status checked = CheckControl(ports, package, name, systemFolder, outcome.differences);
            !checked) {
            return checked.failure();
        }
    }
    return outcome;
}

}  // namespace orvandi
