// Who owns a file and who may change it: permissions the program sets on what it keeps, owners it
// reads, and who this process runs as.
#pragma once

#include <windows.h>

#include "core/result.h"
#include "core/text.h"

namespace orvandi {

// Sets the owner and the permissions of an open file or folder (opened with WRITE_OWNER and
// WRITE_DAC) from a security descriptor in SDDL: "O:BAD:P(A;;FA;;;SY)...". `protection` is
// PROTECTED_DACL_SECURITY_INFORMATION (the permissions are these alone) or
// UNPROTECTED_DACL_SECURITY_INFORMATION (and whatever its folder passes on).
Status SetPermissions(HANDLE object, const wchar_t* sddl, SECURITY_INFORMATION protection);

// The SID of the owner of an open file or folder (opened with READ_CONTROL), as text: "S-1-5-18".
Result<Text> OwnerOf(HANDLE object);

// The SID of the user this process runs as, as text.
Result<Text> RunUser();

// Whether this process has the Administrators' rights: an elevated administrator, or SYSTEM. A
// standard user, or an administrator's token that UAC filtered, has not.
bool IsAdministrator();

}  // namespace orvandi
