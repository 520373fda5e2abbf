// What only administrators may change: the mark of a run in progress, and a folder of theirs.
#include <aclapi.h>
#include <sddl.h>

#include <tuple>

#include "platform/tests/platform_test.h"

namespace orvandi {
namespace {

using SecurityTest = PlatformTest;

// The access mask that the ACEs of an open file or folder grant Everyone and Users together.
ACCESS_MASK GrantedToEveryone(const fs::path& path) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const FileHandle file = Open(path, READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_DELETE);
    GetSecurityInfo(file.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                    nullptr, &descriptor);
    const LocalMemory owner(descriptor);
    ACCESS_MASK granted = 0;
    for (DWORD index = 0; dacl != nullptr && index < dacl->AceCount; ++index) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        wchar_t* text = nullptr;
        GetAce(dacl, index, reinterpret_cast<void**>(&ace));
        ConvertSidToStringSidW(&ace->SidStart, &text);
        const LocalMemory sid(text);
        const std::wstring name = text != nullptr ? text : L"";
        if (ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
            (name == L"S-1-1-0" || name == L"S-1-5-32-545")) {  // Everyone, Users
            granted |= ace->Mask;
        }
    }
    return granted;
}

// The mark stays in the system folder, held without sharing: another run or a reader makes a run
// wait (1618); an attributes-only handle or an ended run does not. An administrator refused it
// waits too (Wine runs everything as an administrator).
TEST_F(SecurityTest, NothingAnotherProgramHoldsBlocksTheNextRun) {
    const fs::path lock = SystemFolder() / L"Orvandi-in-corso.lock";
    {
        Win32Files crashed;
        ASSERT_EQ(*crashed.ClaimRun(), RunMark::kTaken);
    }
    EXPECT_TRUE(fs::is_regular_file(lock));
    // The other handle's access and sharing; the mark the next run gets.
    const std::tuple<DWORD, DWORD, RunMark> rows[] = {
        {FILE_READ_ATTRIBUTES, 0, RunMark::kTaken},
        {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
         RunMark::kAnotherRun},
        {0, 0, RunMark::kAnotherRun},  // another run
    };
    for (const auto& [access, share, mark] : rows) {
        Win32Files other;
        const FileHandle held = access != 0 ? Open(lock, access, share) : FileHandle();
        if (access == 0) {
            ASSERT_EQ(*other.ClaimRun(), RunMark::kTaken);
        }
        EXPECT_TRUE(access == 0 || held) << access;
        const Result<RunMark> next = Win32Files().ClaimRun();
        EXPECT_EQ(next ? *next : RunMark::kRefused, mark) << access;
    }
    fs::remove(lock);
    fs::create_directory(lock);
    const Result<RunMark> refused = Win32Files().ClaimRun();
    fs::remove(lock);
    EXPECT_EQ(refused ? *refused : RunMark::kRefused, RunMark::kAnotherRun);
}

// A folder of the Administrators: made when missing, and every time only they and SYSTEM may change
// it or what it holds, whatever rights were there; users may read.
TEST_F(SecurityTest, AFolderOfTheAdministratorsIsTheirsWithWhatItHolds) {
    const fs::path kept = folder / L"Orvandi", inside = kept / L"Orvandi.exe";
    EXPECT_TRUE(run.files.MakeAdministratorsFolder(T(kept)));
    EXPECT_TRUE(fs::is_directory(kept));
    Write(inside, "old copy");
    PSECURITY_DESCRIPTOR open = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;FA;;;WD)", SDDL_REVISION_1, &open,
                                                         nullptr);
    const LocalMemory owner(open);
    for (const fs::path& path : {kept, inside}) {
        SetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, open);
        ASSERT_TRUE(GrantedToEveryone(path) & FILE_WRITE_DATA) << path.string();
    }
    EXPECT_TRUE(run.files.MakeAdministratorsFolder(T(kept)));
    for (const fs::path& path : {kept, inside}) {
        const ACCESS_MASK granted = GrantedToEveryone(path);
        EXPECT_EQ(granted & (FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | WRITE_DAC), 0u);
        EXPECT_TRUE(granted & FILE_READ_DATA) << path.string();
    }
    EXPECT_EQ(Failed(run.files.MakeAdministratorsFolder(T(inside))), ERROR_DIRECTORY);
    EXPECT_EQ(Failed(run.files.MakeAdministratorsFolder(T(folder / L"none\\Orvandi"))),
              ERROR_PATH_NOT_FOUND);
}

}  // namespace
}  // namespace orvandi
