// The mark of an unattended run in progress on this computer.
#include <windows.h>

#include "platform/platform_win.h"

namespace orvandi {

// A named mutex in the global namespace, which every session sees: only its existence counts. One
// made by another account (SYSTEM, say) may refuse this one access: it exists all the same.
bool Win32Platform::ClaimRun() {
    runClaim_.reset(CreateMutexW(nullptr, FALSE, L"Global\\Orvandi.UnattendedRun"));
    const DWORD code = GetLastError();
    if (runClaim_ && code != ERROR_ALREADY_EXISTS) return true;
    runClaim_.reset();
    if (code == ERROR_ALREADY_EXISTS || code == ERROR_ACCESS_DENIED) return false;
    throw SystemFailure(code);
}

}  // namespace orvandi
