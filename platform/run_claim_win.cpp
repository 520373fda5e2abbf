// The mark of an unattended run in progress on this computer.
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <memory>

#include "platform/helpers_win.h"
#include "platform/platform_win.h"

namespace orvandi {
namespace {

using LocalMemory = std::unique_ptr<void, HLOCAL(WINAPI*)(HLOCAL)>;

// Whether a kernel object is owned by SYSTEM or the Administrators group: something only an
// administrator's program can make. An object that cannot be read is not.
bool OwnedByAdministrators(HANDLE object) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    const LocalMemory free(descriptor, LocalFree);
    return IsWellKnownSid(owner, WinLocalSystemSid) ||
           IsWellKnownSid(owner, WinBuiltinAdministratorsSid);
}

}  // namespace

// The mark is a mutex in the global namespace, which every session sees. Anyone may create an
// object of that name, so only a mutex owned by SYSTEM or the Administrators group counts as
// another run: this program makes it with that owner, and a standard user cannot. Its DACL is
// given too, for SYSTEM and Administrators alone: SYSTEM's default DACL may refuse an
// administrator, whose run could then not read the owner of a real run's mark. An object of that
// name that is no mutex (error 6), refuses access (error 5) or has another owner is not this
// program's: the run goes on without a mark.
RunMark Win32Platform::ClaimRun() {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"O:BAD:(A;;GA;;;SY)(A;;GA;;;BA)", SDDL_REVISION_1, &descriptor, nullptr)) {
        throw LastFailure();
    }
    const LocalMemory free(descriptor, LocalFree);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    runClaim_.reset(CreateMutexW(&attributes, FALSE, L"Global\\Orvandi.UnattendedRun"));
    const DWORD code = GetLastError();
    if (!runClaim_) return RunMark::kHeldByOther;
    if (code != ERROR_ALREADY_EXISTS) return RunMark::kTaken;
    const bool anotherRun = OwnedByAdministrators(runClaim_.get());
    runClaim_.reset();
    return anotherRun ? RunMark::kAnotherRun : RunMark::kHeldByOther;
}

}  // namespace orvandi
