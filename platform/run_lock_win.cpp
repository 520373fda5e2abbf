// The mark of an unattended run in progress on this computer.
#include <windows.h>

#include "platform/helpers_win.h"
#include "platform/platform_win.h"
#include "platform/security_win.h"

namespace orvandi {
namespace {

// The file's owner and its only permissions: SYSTEM and Administrators, nobody else at all.
constexpr wchar_t kLockPermissions[] = L"O:BAD:P(A;;FA;;;SY)(A;;FA;;;BA)";

}  // namespace

// The mark is a file of a fixed name in the system folder (SysWOW64 on 64-bit Windows), where only
// administrators and SYSTEM can create files, held open for reading without sharing: a second run
// is refused it with error 32, from any session. Nobody else can take its name first, unlike a
// named object's, which any user may create.
//
// The file stays for good, and what other programs do to it can never block a run, only delay
// one. A file deleted when its run ends (FILE_FLAG_DELETE_ON_CLOSE, as earlier versions did) stays
// delete-pending while any other handle to it is open, and refuses every open with error 5 until
// that handle goes: a handle with FILE_READ_ATTRIBUTES alone, which the system folder's List right
// lets any user open, and which ignores sharing, is enough. A permanent file is never
// delete-pending, and such a handle, which takes no part in sharing, does not stand in the way of
// this one. A handle that reads the file does: only an administrator's program (an antivirus, a
// backup) can open one, given the permissions below, which each run sets again on its own handle
// (readable by Users, any user could hold the file and make every run wait). The run ends with
// 1618 then, to be tried again, never with 1603. A run that crashes leaves the file to the next
// one: Windows closes its handle.
//
// Error 5 means this process is no administrator, or else that something outside it stands in the
// way (an administrator's program that is deleting the file, say), which passes like another run.
// One more try after 200 ms lets a program that only looks at the file (an antivirus scanning it)
// finish first.
Result<RunMark> Win32Files::ClaimRun() {
    const Result<Text> system = SystemPath(GetSystemDirectoryW);
    if (!system) return system.failure();
    const Text path = Join({*system, u"\\Orvandi-in-corso.lock"});
    for (int asked = 1;; ++asked) {
        FileHandle lock(CreateFileW(Wide(path), GENERIC_READ | WRITE_DAC | WRITE_OWNER, 0, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (lock) {
            if (Status set = SetPermissions(lock.get(), kLockPermissions,
                                            PROTECTED_DACL_SECURITY_INFORMATION);
                !set) {
                return set.failure();
            }
            runLock_ = std::move(lock);
            return RunMark::kTaken;
        }
        const DWORD code = GetLastError();
        if (code == ERROR_ACCESS_DENIED && !IsAdministrator()) return RunMark::kRefused;
        if (code != ERROR_ACCESS_DENIED && code != ERROR_SHARING_VIOLATION) {
            return SystemFailure(code);
        }
        if (asked == 2) return RunMark::kAnotherRun;
        Sleep(200);
    }
}

}  // namespace orvandi
