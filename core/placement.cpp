#include "core/placement.h"

namespace orvandi {

Placement DecidePlacement(const CopyFacts& facts) {
    if (!facts.sourceIsControl) return Placement::kRefuse;
    if (facts.sourceVersion && facts.destinationVersion &&
        *facts.destinationVersion > *facts.sourceVersion) {
        return Placement::kKeepNewer;
    }
    // As Windows Installer has it: a file with a version is never replaced by one without.
    if (!facts.sourceVersion && facts.destinationVersion) return Placement::kKeepVersioned;
    return facts.sameBytes ? Placement::kKeepIdentical : Placement::kCopy;
}

PlacementResult PlaceControl(Platform& platform, const Text& source, const Text& destination) {
    PlacementResult result;
    try {
        const std::unique_ptr<SourceFile> file = platform.OpenSource(source);
        result.facts = file->Inspect(destination);
        result.placement = DecidePlacement(result.facts);
        if (result.placement == Placement::kRefuse) {
            // Windows' text for it names the file as "%1".
            Text text = platform.ErrorText(kNotAControlNumber);
            const std::size_t at = text.find(u"%1");
            if (at != Text::npos) text.replace(at, 2, source);
            result.failure = Failure{kNotAControlNumber, text};
        } else if (result.placement == Placement::kCopy) {
            const CopyResult copied = file->CopyTo(destination);
            result.wasReadOnly = copied.wasReadOnly;
            result.refusedInPlace = copied.refused.has_value();
            result.failure = copied.refused;
        }
    } catch (const Failure& failure) {
        result.failure = failure;
    }
    return result;
}

}  // namespace orvandi
