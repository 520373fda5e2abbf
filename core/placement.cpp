#include "core/placement.h"

namespace orvandi {

Placement DecidePlacement(const CopyFacts& facts) {
    if (!facts.sourceIsControl) return Placement::kRefuse;
    const bool newer = facts.sourceVersion && facts.destinationVersion &&
                       *facts.destinationVersion > *facts.sourceVersion;
    if (facts.destinationProtected && !facts.sameBytes) {
        // Windows alone may replace it (or rename it aside): a version at least as high stays,
        // and a lower one can only be reported.
        const bool atLeast =
            facts.destinationVersion &&
            (!facts.sourceVersion || *facts.destinationVersion >= *facts.sourceVersion);
        return atLeast ? Placement::kKeepProtected : Placement::kRefuseProtected;
    }
    if (newer) return Placement::kKeepNewer;
    // As Windows Installer has it: a file with a version is never replaced by one without.
    if (!facts.sourceVersion && facts.destinationVersion) return Placement::kKeepVersioned;
    return facts.sameBytes ? Placement::kKeepIdentical : Placement::kCopy;
}

Placement DecideProgramCopy(const CopyFacts& facts) {
    if (facts.sameBytes) return Placement::kKeepIdentical;
    const bool older = facts.sourceVersion && facts.destinationVersion &&
                       *facts.destinationVersion > *facts.sourceVersion;
    return older ? Placement::kKeepNewer : Placement::kCopy;
}

PlacementResult Place(Files& files, System& system, const Text& source, const Text& destination,
                      Decide decide) {
    PlacementResult result;
    Result<std::unique_ptr<SourceFile>> file = files.OpenSource(source);
    if (!file) {
        result.failure = file.failure();
        return result;
    }
    const Result<CopyFacts> facts = (*file)->Inspect(destination);
    if (!facts) {
        result.failure = facts.failure();
        return result;
    }
    result.facts = *facts;
    result.placement = decide(*facts);
    if (result.placement == Placement::kRefuse) {
        // Windows' text for it names the file as "%1".
        Text text = system.ErrorText(kNotAControlNumber);
        const std::size_t at = text.find(u"%1");
        if (at != Text::npos) text.replace(at, 2, source);
        result.failure = Failure{kNotAControlNumber, text};
    } else if (result.placement == Placement::kRefuseProtected) {
        result.failure = Failure{kProtectedNumber, system.ErrorText(kProtectedNumber)};
    } else if (result.placement == Placement::kCopy) {
        const Result<CopyResult> copied = (*file)->CopyTo(destination);
        if (!copied) {
            result.failure = copied.failure();
        } else {
            result.wasReadOnly = copied->wasReadOnly;
            result.refusedInPlace = copied->refused.has_value();
            result.failure = copied->refused;
        }
    }
    return result;
}

}  // namespace orvandi
