// What may land in the system folder, and what replaces the program's own kept copy.
#include <gtest/gtest.h>

#include "core/placement.h"

namespace orvandi {

// What may land in the system folder: what the source is and what the system folder holds.
TEST(DecidePlacement, NeverADowngradeAnUnversionedFileANeedlessRewriteOrANonControl) {
    const std::optional<std::uint64_t> none, v1 = 0x0001000200030004, v2 = *v1 + 1;
    const Placement copy = Placement::kCopy, keepNewer = Placement::kKeepNewer,
                    keepVersioned = Placement::kKeepVersioned, keepSame = Placement::kKeepIdentical,
                    refuse = Placement::kRefuse, keepProtected = Placement::kKeepProtected,
                    refuseProtected = Placement::kRefuseProtected;
    // Source is a control, its version, the copy's, same bytes, copy exists, protected: done.
    const std::pair<CopyFacts, Placement> rows[] = {
        {{true, v1, none, false}, copy},
        {{false, none, none, false}, refuse},
        {{false, v1, v2, false}, refuse},
        {{true, v1, v2, false}, keepNewer},
        {{true, v2, v1, false}, copy},
        {{true, v1, v1, true}, keepSame},
        {{true, v1, v1, false}, copy},
        {{true, none, v2, false}, keepVersioned},
        {{true, v1, none, false}, copy},
        {{true, none, none, true}, keepSame},
        {{true, none, none, false}, copy},
        // Windows alone may replace what it protects: at least as high stays, lower fails.
        {{true, v2, v1, false, true, true}, refuseProtected},
        {{true, v1, none, false, true, true}, refuseProtected},
        {{true, v1, v1, false, true, true}, keepProtected},
        {{true, v1, v2, false, true, true}, keepProtected},
        {{true, none, v1, false, true, true}, keepProtected},
        {{true, v2, v1, true, true, true}, keepSame},
        {{false, v1, v1, false, true, true}, refuse},
    };
    for (const auto& [facts, placement] : rows) {
        EXPECT_EQ(DecidePlacement(facts), placement)
            << facts.sourceIsControl << " " << facts.sourceVersion.value_or(0) << " "
            << facts.destinationVersion.value_or(0) << " " << facts.sameBytes << " "
            << facts.destinationProtected;
    }
}

// The program's own copy is no control: a newer release, or the same version with other bytes,
// replaces it; an older release never does.
TEST(DecideProgramCopy, NeverAnOlderRelease) {
    const std::optional<std::uint64_t> none, v1 = 0x0001000000000000, v2 = 0x0001000100000000;
    const std::pair<CopyFacts, Placement> rows[] = {
        {{false, v2, v1, false, true}, Placement::kCopy},
        {{false, v1, v2, false, true}, Placement::kKeepNewer},
        {{false, v1, v1, false, true}, Placement::kCopy},
        {{false, v1, v1, true, true}, Placement::kKeepIdentical},
        {{false, v1, none, false, false}, Placement::kCopy},
    };
    for (const auto& [facts, placement] : rows) {
        EXPECT_EQ(DecideProgramCopy(facts), placement) << facts.destinationVersion.value_or(0);
    }
}

}  // namespace orvandi
