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
    const std::optional<std::uint64_t> recorded =
        *record ? ParseVersion((*record)->version) : std::nullopt;
    if (!recorded) {  // a value that is no text, or text that is no version
        differences.push_back({Difference::kUnreadableVersion,
                               name,
                               {},
                               *record ? (*record)->version : Text(),
                               {},
                               {}});
    }
    const Result<std::optional<std::uint64_t>> found = ports.files.ReadVersion(copy);
    if (!found) {
        differences.push_back({Difference::kNoCopy, name, {}, {}, {}, found.failure()});
        return Status();
    }
    if (recorded && *recorded != 0 && found->value_or(0) < *recorded) {
        differences.push_back({Difference::kOlder,
                               name,
                               {},
                               (*record)->version,
                               *found ? VersionText(**found) : Text(),
                               {}});
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
