// The mark of an unattended run in progress on this computer.
#include <windows.h>

#include <sddl.h>

#include <memory>

#include "platform/helpers_win.h"
#include "platform/platform_win.h"

namespace orvandi {

// The mark is a file of a fixed name in the system folder, where only administrators and SYSTEM
// can create files (and where the run writes anyway), opened without sharing: a second run is
// refused it with error 32, from any session. Nobody else can take its name first, unlike a named
// object's, which any user may create. It is deleted when its handle closes, so a run that
// crashes leaves it to nobody, and a file that a power cut left behind opens and goes. Its own
// permissions admit SYSTEM and Administrators alone, so that no user can hold such a leftover
// open. A standard user's run is refused it with error 5, as is, for a moment, a run that comes
// while the previous one's file is still being deleted: that one is asked again once.
RunMark Win32Platform::ClaimRun() {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"O:BAD:P(A;;FA;;;SY)(A;;FA;;;BA)", SDDL_REVISION_1, &descriptor, nullptr)) {
        throw LastFailure();
    }
    const std::unique_ptr<void, HLOCAL(WINAPI*)(HLOCAL)> free(descriptor, LocalFree);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const Text path = SystemPath(GetSystemDirectoryW) + u"\\Orvandi-in-corso.lock";
    for (int asked = 1;; ++asked) {
        runClaim_.reset(CreateFileW(Wide(path), GENERIC_READ | DELETE, 0, &attributes, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        if (runClaim_) return RunMark::kTaken;
        const DWORD code = GetLastError();
        if (code == ERROR_SHARING_VIOLATION) return RunMark::kAnotherRun;
        if (code != ERROR_ACCESS_DENIED) throw SystemFailure(code);
        if (asked == 2) return RunMark::kRefused;
        Sleep(200);
    }
}

}  // namespace orvandi
