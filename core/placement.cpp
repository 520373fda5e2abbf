#include "core/placement.h"

namespace orvandi {

Placement DecidePlacement(const CopyFacts& facts) {
    if (!facts.sourceIsControl) return Placement::kRefuse;
    if (facts.sourceVersion && facts.destinationVersion &&
        *facts.destinationVersion > *facts.sourceVersion) {
        return Placement::kKeepNewer;
    }
    return facts.sameBytes ? Placement::kKeepIdentical : Placement::kCopy;
}

PlacementResult PlaceControl(Platform& platform, const Text& source, const Text& destination) {
    PlacementResult result;
    try {
        result.facts = platform.InspectCopy(source, destination);
        result.placement = DecidePlacement(result.facts);
        if (result.placement == Placement::kRefuse) {
            // Windows' text for it names the file as "%1".
            Text text = platform.ErrorText(kNotAControlNumber);
            const std::size_t file = text.find(u"%1");
            if (file != Text::npos) text.replace(file, 2, source);
            result.failure = Failure{kNotAControlNumber, text};
        } else if (result.placement == Placement::kCopy) {
            platform.CopyFile(source, destination);
        }
    } catch (const Failure& failure) {
        result.failure = failure;
    }
    return result;
}

}  // namespace orvandi
