#include "core/log_path.h"

namespace orvandi {
namespace {

// A path in the plain form a user writes: "\\?\UNC\server\share" as "\\server\share",
// "\\?\C:\" as "C:\", without a separator at the end.
Text Plain(Text path) {
    if (path.compare(0, 8, u"\\\\?\\UNC\\") == 0) {
        path.erase(2, 6);
    } else if (path.compare(0, 4, u"\\\\?\\") == 0) {
        path.erase(0, 4);
    }
    if (!path.empty() && path.back() == u'\\') path.pop_back();
    return path;
}

}  // namespace

bool SameFinalPath(const Text& finalPath, const Text& asked,
                   bool (*sameName)(const Text& a, const Text& b)) {
    return sameName(Plain(finalPath), Plain(asked));
}

bool TrustedOwner(const Text& ownerSid, const Text& runSid) {
    return ownerSid == kAdministratorsSid || ownerSid == kSystemSid ||
           ownerSid == kTrustedInstallerSid || (!runSid.empty() && ownerSid == runSid);
}

}  // namespace orvandi
