// Owners and permissions: what the program sets on what it keeps, what it reads of files it finds,
// and who this process runs as. Everything is set and read on an open handle, never by name: the
// object checked or changed is the object opened.
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include "platform/files_win.h"
#include "platform/helpers_win.h"
#include "platform/platform_win.h"
#include "platform/security_win.h"

namespace orvandi {
namespace {

// A folder only administrators may change: SYSTEM and Administrators have full control of it and
// of what it holds, Users read and run (FILE_GENERIC_READ | FILE_GENERIC_EXECUTE), nothing comes
// from the folder above. Files and folders inside have those rights as inherited ones (ID), and
// none of their own.
constexpr wchar_t kAdministratorsFolder[] =
    L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
constexpr wchar_t kFileInside[] = L"O:BAD:(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)";
constexpr wchar_t kFolderInside[] =
    L"O:BAD:(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)(A;OICIID;0x1200a9;;;BU)";

Result<Text> SidText(PSID sid) {
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return LastFailure();
    const LocalMemory owner(text);
    return FromWide(text);
}

// A file or a folder opened to change its owner and permissions: itself, a link never followed.
FileHandle OpenToSecure(const Text& path) {
    return FileHandle(
        CreateFileW(Wide(path), READ_CONTROL | WRITE_DAC | WRITE_OWNER | FILE_READ_ATTRIBUTES,
                    kShareAll, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

}  // namespace

Status SetPermissions(HANDLE object, const wchar_t* sddl, SECURITY_INFORMATION protection) {
    PSECURITY_DESCRIPTOR made = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &made,
                                                              nullptr)) {
        return LastFailure();
    }
    const LocalMemory descriptor(made);
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    if (!GetSecurityDescriptorOwner(made, &owner, &defaulted) ||
        !GetSecurityDescriptorDacl(made, &present, &dacl, &defaulted)) {
        return LastFailure();
    }
    const DWORD status = SetSecurityInfo(
        object, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | protection,
        owner, nullptr, dacl, nullptr);
    if (status != ERROR_SUCCESS) return SystemFailure(status);
    return {};
}

Result<Text> OwnerOf(HANDLE object) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR read = nullptr;
    const DWORD status = GetSecurityInfo(object, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                                         nullptr, nullptr, nullptr, &read);
    if (status != ERROR_SUCCESS) return SystemFailure(status);
    const LocalMemory descriptor(read);
    return SidText(owner);
}

Result<Text> RunUser() {
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return LastFailure();
    const KernelHandle token(opened);
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } buffer;
    DWORD size = sizeof buffer;
    if (!GetTokenInformation(token.get(), TokenUser, &buffer, size, &size)) return LastFailure();
    return SidText(buffer.user.User.Sid);
}

// SYSTEM's token holds the Administrators group as well; a token that UAC filtered holds it for
// denying only, which CheckTokenMembership does not count.
bool IsAdministrator() {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    BOOL member = FALSE;
    return CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size) &&
           CheckTokenMembership(nullptr, sid, &member) && member;
}

// The folder is given to the Administrators every time, whoever made it and whatever was done to
// it since: its owner, and protected permissions. What it already holds is reset to the folder's
// rights alone (a file someone gave rights of its own keeps none of them); a file made in it
// later, such as the copy's temporary file, gets them from the folder as Windows makes it, and
// keeps them when it is renamed within the folder. Windows also passes the new rights down the
// tree when they are set on the folder, but leaves each file's own rights and owner.
Status Win32Files::MakeAdministratorsFolder(const Text& path) {
    if (!CreateDirectoryW(Wide(path), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        return LastFailure();
    }
    const FileHandle folder = OpenToSecure(path);
    BY_HANDLE_FILE_INFORMATION info;
    if (!folder || !GetFileInformationByHandle(folder.get(), &info)) return LastFailure();
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return SystemFailure(ERROR_DIRECTORY);
    // A junction or a mount point: the rights would go to the folder it leads to.
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        return SystemFailure(ERROR_CANT_ACCESS_FILE);
    }
    Status secured =
        SetPermissions(folder.get(), kAdministratorsFolder, PROTECTED_DACL_SECURITY_INFORMATION);
    WIN32_FIND_DATAW found;
    const FindHandle listing(FindFirstFileW(Wide(Join({path, u"\\*"})), &found));
    for (bool more = secured && listing; more; more = FindNextFileW(listing.get(), &found)) {
        const Text name = FromWide(found.cFileName);
        if (name == u"." || name == u"..") continue;
        const FileHandle inside = OpenToSecure(Join({path, u"\\", name}));
        secured = !inside ? Status(LastFailure())
                          : SetPermissions(inside.get(),
                                           (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                                               ? kFolderInside
                                               : kFileInside,
                                           UNPROTECTED_DACL_SECURITY_INFORMATION);
        if (!secured) break;
    }
    return secured;
}

}  // namespace orvandi
