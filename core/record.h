// This program's record of what a package installed on this PC, under its own registry key: one
// text value per control, named by its file name and holding the version installed, which
// detection rules read. A named package's key also says whether its last install ended well
// ("Installed"), how its last run ended ("LastRun", "LastExitCode", "FailedControls"), and which
// classes each control registered to its copy ("<control>.Classes"). Only the controls' values
// end in ".ocx": no other value is ever taken for a control. The unnamed package (an empty name)
// has the key that every unnamed run shares, and holds controls alone.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/clock.h"
#include "core/registry.h"
#include "core/result.h"
#include "core/text.h"

namespace orvandi {

inline constexpr char16_t kInstalled[] = u"Installed";

Text RecordKey(const Text& package);

// What the record holds for one control: the version installed, and (named packages) the
// classes it registered to its copy, as stored.
struct ControlRecord {
    Text version;
    std::optional<StoredValue> classes;
};

// Nothing when the control has no text value there.
Result<std::optional<ControlRecord>> ReadRecord(Registry& registry, const Text& package,
                                                const Text& name);
// The classes first: a control's own value is what says it was installed.
Status WriteRecord(Registry& registry, const Text& package, const Text& name,
                   const ControlRecord& record);
// The control's value first, then its classes; a named package's key goes with its last value.
Status RemoveRecord(Registry& registry, const Text& package, const Text& name);
// A value of the package's own (Installed, say), and the key with it when it was the last.
Status RemovePackageValue(Registry& registry, const Text& package, const Text& name);

// The controls a package's record holds, in name order.
Result<std::vector<Text>> RecordedControls(Registry& registry, const Text& package);
// Whether a package has a key at all.
Result<bool> PackageKnown(Registry& registry, const Text& package);

// "1.2.3.4": the four 16-bit words of a file version, most significant first, as the record
// holds it; and back (nothing for a text that is no such version).
Text VersionText(std::uint64_t version);
std::optional<std::uint64_t> ParseVersion(const Text& text);

// "2026-12-07 15:01:34", as installers write the time in their logs.
Text Stamp(const LocalTime& time);

// A named package's run, as soon as it holds the run's mark: it started now and, until it ends,
// reads as failed (1603: a run that crashes or is ended at a time limit never reads as the last
// one's success). Then how it ended.
Status RecordRunStart(Registry& registry, const Text& package, const LocalTime& start);
Status RecordRunEnd(Registry& registry, const Text& package, int exitCode,
                    const std::vector<Text>& failedControls);
// Removes what a package's key says of its runs, and the key with it when nothing else is left:
// after an uninstall that leaves no control.
Status ForgetPackage(Registry& registry, const Text& package);

}  // namespace orvandi
