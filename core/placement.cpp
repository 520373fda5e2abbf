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
            result.failure = Failure{kNotAControlNumber, platform.ErrorText(kNotAControlNumber)};
        } else if (result.placement == Placement::kCopy) {
            platform.CopyFile(source, destination);
        }
    } catch (const Failure& failure) {
        result.failure = failure;
    }
    return result;
}

}  // namespace orvandi
