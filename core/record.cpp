#include "core/record.h"

#include "core/exit_codes.h"

namespace orvandi {
namespace {

constexpr char16_t kClassesSuffix[] = u".Classes";
constexpr char16_t kLastRun[] = u"LastRun", kLastExitCode[] = u"LastExitCode",
                   kFailedControls[] = u"FailedControls";

Text TwoDigits(int value) { return Join({value < 10 ? u"0" : u"", Decimal(value)}); }

bool IsControl(const Text& name) {
    const Text upper = Upper(name);
    return upper.size() >= 4 && upper.compare(upper.size() - 4, 4, u".OCX") == 0;
}

}  // namespace

Text RecordKey(const Text& package) {
    return package.empty() ? Text(u"SOFTWARE\\Orvandi\\Controls")
                           : Join({u"SOFTWARE\\Orvandi\\Packages\\", package});
}

Result<std::optional<ControlRecord>> ReadRecord(Registry& registry, const Text& package,
                                                const Text& name) {
    const Text key = RecordKey(package);
    const Result<std::optional<StoredValue>> version = registry.Read(Root::kMachine, key, name);
    if (!version) return version.failure();
    const std::optional<Text> text = *version ? TextOf(**version) : std::nullopt;
    if (!text) return std::optional<ControlRecord>();
    Result<std::optional<StoredValue>> classes =
        registry.Read(Root::kMachine, key, name + kClassesSuffix);
    if (!classes) return classes.failure();
    return std::optional<ControlRecord>(ControlRecord{*text, std::move(*classes)});
}

Status WriteRecord(Registry& registry, const Text& package, const Text& name,
                   const ControlRecord& record) {
    const Text key = RecordKey(package);
    if (record.classes) {
        if (Status written = registry.Write(key, name + kClassesSuffix, *record.classes);
            !written) {
            return written;
        }
    }
    return registry.Write(key, name, TextValue(record.version));
}

Status RemoveRecord(Registry& registry, const Text& package, const Text& name) {
    if (Status removed = registry.Remove(RecordKey(package), name); !removed) return removed;
    return RemovePackageValue(registry, package, name + kClassesSuffix);
}

Status RemovePackageValue(Registry& registry, const Text& package, const Text& name) {
    const Text key = RecordKey(package);
    if (Status removed = registry.Remove(key, name); !removed) return removed;
    return package.empty() ? Status() : registry.RemoveEmptyKey(key);
}

Result<std::vector<Text>> RecordedControls(Registry& registry, const Text& package) {
    const Result<std::vector<Text>> names = registry.ValueNames(Root::kMachine, RecordKey(package));
    if (!names) return names.failure();
    std::vector<Text> controls;
    for (const Text& name : *names) {
        if (!IsControl(name)) continue;
        const Text upper = Upper(name);
        auto at = controls.begin();  // a few names: a plain insertion keeps them in order
        while (at != controls.end() && Upper(*at) < upper) ++at;
        controls.insert(at, name);
    }
    return controls;
}

Result<bool> PackageKnown(Registry& registry, const Text& package) {
    const Text key = RecordKey(package);
    const Result<std::vector<Text>> names = registry.ValueNames(Root::kMachine, key);
    if (!names) return names.failure();
    return !names->empty();
}

Text VersionText(std::uint64_t version) {
    Text text;
    for (int shift = 48; shift >= 0; shift -= 16) {
        text += Decimal(static_cast<std::int32_t>(version >> shift & 0xFFFF));
        if (shift > 0) text += u'.';
    }
    return text;
}

std::optional<std::uint64_t> ParseVersion(const Text& text) {
    std::uint64_t version = 0;
    std::size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        std::uint32_t word = 0;
        const std::size_t start = at;
        for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9' && at - start < 5; ++at) {
            word = word * 10 + (text[at] - u'0');
        }
        if (at == start || word > 0xFFFF) return std::nullopt;
        version = version << 16 | word;
        if (part < 3 && (at >= text.size() || text[at++] != u'.')) return std::nullopt;
    }
    if (at != text.size()) return std::nullopt;
    return version;
}

Text Stamp(const LocalTime& t) {
    return Join({Decimal(t.year), u"-", TwoDigits(t.month), u"-", TwoDigits(t.day), u" ",
                 TwoDigits(t.hour), u":", TwoDigits(t.minute), u":", TwoDigits(t.second)});
}

Status RecordRunStart(Registry& registry, const Text& package, const LocalTime& start) {
    const Text key = RecordKey(package);
    if (Status written = registry.Write(key, kLastRun, TextValue(Stamp(start))); !written) {
        return written;
    }
    return RecordRunEnd(registry, package, kExitFailed, {});
}

Status RecordRunEnd(Registry& registry, const Text& package, int exitCode,
                    const std::vector<Text>& failedControls) {
    const Text key = RecordKey(package);
    if (Status written = registry.Write(key, kLastExitCode, NumberValue(exitCode)); !written) {
        return written;
    }
    return registry.Write(key, kFailedControls, TextsValue(failedControls));
}

Status ForgetPackage(Registry& registry, const Text& package) {
    for (const char16_t* name : {kInstalled, kLastRun, kLastExitCode, kFailedControls}) {
        if (Status removed = RemovePackageValue(registry, package, name); !removed) return removed;
    }
    return Status();
}

}  // namespace orvandi
