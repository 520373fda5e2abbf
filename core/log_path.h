// What decides whether the unattended log may be written where it was asked for: the path Windows
// resolved and the file's owner, gathered by the platform, judged here.
#pragma once

#include "core/text.h"

namespace orvandi {

// Owners that are Windows' or an administrator's: BUILTIN\Administrators, SYSTEM, and
// NT SERVICE\TrustedInstaller, which owns Windows' own files.
inline constexpr char16_t kAdministratorsSid[] = u"S-1-5-32-544";
inline constexpr char16_t kSystemSid[] = u"S-1-5-18";
inline constexpr char16_t kTrustedInstallerSid[] =
    u"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// Whether the final path of a file or folder that was opened (GetFinalPathNameByHandleW:
// "\\?\C:\...", "\\?\UNC\server\share\...") names the path that was asked for, in its full, long
// form (C:\..., \\server\share\...): nothing on the way was a link. `sameName` compares names as
// Windows does, ignoring letter case in every alphabet; a separator at the end does not count.
bool SameFinalPath(const Text& finalPath, const Text& asked,
                   bool (*sameName)(const Text& a, const Text& b));

// Whether a file owned by `ownerSid` may be written as the log of a run by `runSid`: one made by
// an administrator, SYSTEM, TrustedInstaller, or this run's own user (the owner of what an
// administrator makes under the "object creator" owner policy, and of whatever Wine makes).
bool TrustedOwner(const Text& ownerSid, const Text& runSid);

}  // namespace orvandi
