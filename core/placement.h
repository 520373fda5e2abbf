// What may land in the system folder. A control there is shared by every program that uses it:
// it is never replaced by an older version or by a file without a version, never rewritten with
// the bytes it already holds, never offered to a copy when Windows protects it, and a file that
// 32-bit regsvr32 cannot register never gets there.
#pragma once

#include <optional>

#include "core/files.h"
#include "core/result.h"
#include "core/system.h"
#include "core/text.h"

namespace orvandi {

enum class Placement {
    kCopy,             // copy over whatever is there
    kKeepNewer,        // the copy there carries a higher version: leave it
    kKeepVersioned,    // the copy there has a version and the source none: leave it
    kKeepIdentical,    // the copy there is byte for byte the same: write nothing
    kKeepProtected,    // Windows protects the copy there, of a version at least the source's
    kRefuse,           // the source is no 32-bit Windows DLL: copy nothing, register nothing
    kRefuseProtected,  // Windows protects the copy there, of a lower version: copy nothing
};

// The number of a refused file's failure: Windows' own for "not a valid Win32 application".
inline constexpr std::int32_t kNotAControlNumber = 193;
// And of a copy that Windows protects: what Windows answers anyone else who tries to replace it.
inline constexpr std::int32_t kProtectedNumber = 5;

Placement DecidePlacement(const CopyFacts& facts);
// The same rules for this program's own copy, which is no control: a newer release, or the same
// version with other bytes, replaces it; an older one never does.
Placement DecideProgramCopy(const CopyFacts& facts);

struct PlacementResult {
    Placement placement = Placement::kCopy;
    CopyFacts facts;                 // what the decision was taken on
    std::optional<Failure> failure;  // why the copy failed, or why the source was refused
    bool refusedInPlace = false;     // the failure is the copy there refusing to be replaced
    bool wasReadOnly = false;        // the copy replaced was read-only
};

using Decide = Placement (*)(const CopyFacts& facts);

// Opens the source once, inspects it and the destination, decides, and copies from that same
// opening when that is the decision. A failure on the way is in the result: the entry's remaining
// steps decide what it means.
PlacementResult Place(Files& files, System& system, const Text& source, const Text& destination,
                      Decide decide = DecidePlacement);

}  // namespace orvandi
