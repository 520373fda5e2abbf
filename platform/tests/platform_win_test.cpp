// The Win32 ports on real files, the real registry and real processes, in a folder of each test's
// own under the temporary folder: programs started and ended, what only a process of its own can
// show, the system's plain services, the message table.
#include <tuple>

#include "platform/tests/platform_test.h"

namespace orvandi {
namespace {

constexpr JobPlacement kOwn = JobPlacement::kOwnJob;

using ProcessesTest = PlatformTest;

// Programs come from the system folder only: never from PATH (nor the program's own folder: see
// the end-to-end test). Waited for, a program gives its exit code; past the time allowed it is
// ended at once with all it started ("Lento" takes 3 s to register; "Figlio" starts a program
// and records its id, then waits).
TEST_F(ProcessesTest, StartsProgramsFromTheSystemFolderAndEndsThemWithAllTheyStarted) {
    fs::remove(folder / L"orvandi-cmd.exe");  // TearDown may not remove it while it still runs
    fs::copy_file(SystemFolder() / L"cmd.exe", folder / L"orvandi-cmd.exe");
    fs::copy_file(SAMPLE_OCX, folder / L"Lento.ocx");
    fs::copy_file(SAMPLE_OCX, folder / L"Figlio.ocx");
    const Result<Text> path = run.system.GetEnvironment(u"PATH");
    SetEnvironmentVariableW(L"PATH", (L".;" + folder.wstring()).c_str());
    EXPECT_EQ(Failed(run.processes.RunAndWait(u"orvandi-cmd /c exit 5", 60000, kOwn)),
              ERROR_FILE_NOT_FOUND);
    SetEnvironmentVariableW(L"PATH", P(*path).c_str());
    const auto exited = run.processes.RunAndWait(u"cmd /c exit 5", 60000, JobPlacement::kAlone);
    EXPECT_TRUE(exited && exited->ending == Ending::kExited && exited->exitCode == 5);
    EXPECT_EQ(Failed(run.processes.Launch(u"orvandi-none /s x.ocx", 2)), ERROR_FILE_NOT_FOUND);

    const DWORD start = GetTickCount();
    const auto slow = run.processes.RunAndWait(
        Join({u"regsvr32 /s \"", T(folder / L"Lento.ocx"), u"\""}), 500, kOwn);
    EXPECT_TRUE(slow && slow->ending == Ending::kEndedAtTimeout);
    EXPECT_LT(GetTickCount() - start, 2000u) << "waited for it to end by itself";

    const auto parent = run.processes.RunAndWait(
        Join({u"regsvr32 /s \"", T(folder / L"Figlio.ocx"), u"\""}), 6000, kOwn);
    EXPECT_TRUE(parent && parent->ending == Ending::kEndedAtTimeout);
    DWORD child = 0, size = sizeof child;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\OrvandiSamples\\Figlio.ocx", L"Child",
                           RRF_RT_REG_DWORD, nullptr, &child, &size),
              ERROR_SUCCESS);
    const KernelHandle started(OpenProcess(SYNCHRONIZE, FALSE, child));
    EXPECT_TRUE(!started || WaitForSingleObject(started.get(), 10000) == WAIT_OBJECT_0)
        << "what the registration started still runs";
}

const std::string kBom = "\xEF\xBB\xBF";

// The log after a fault: its last line, the time made uniform.
std::string FatalLine(const char* code) {
    return kBom + "####-##-## ##:##:## Errore imprevisto (eccezione 0x" + code +
           "); codice di uscita 1603\r\n";
}

// What only a process of its own can show (platform_child.cpp). A fault that would end an
// unattended run ends it with the run's own exit code, after one last line written from what was
// made ready at the start: an in-page error (what a program started from a share meets when the
// network drops), terminate and abort, a stack overflow, a fault after which every allocation
// faults too; in the log as it is then, moved aside and started anew. Such a run shows no box for a
// fault, a drive without a disk or a file it cannot open, and msvcrt reports abort on standard
// error (Wine shows no abort box: the modes are read back). Another process's claim of the run's
// mark waits for this one's (1). A program to be broken away from a job that allows no breakaway is
// not placed (Ending 3) and does not run; once the job allows it, it runs.
TEST_F(ProcessesTest, WhatOnlyAProcessOfItsOwnCanShow) {
    Win32Files claimed;
    ASSERT_EQ(*claimed.ClaimRun(), RunMark::kTaken);
    const std::tuple<const wchar_t*, DWORD, std::string> rows[] = {
        {L"in-page", 1603, FatalLine("C0000006")},
        {L"terminate", 1603, FatalLine("40000015")},
        {L"abort", 1603, FatalLine("40000015")},
        {L"stack-overflow", 1603, FatalLine("C00000FD")},
        {L"allocator", 1603, FatalLine("C0000005")},
        {L"rotated", 1603, FatalLine("C0000005")},  // in the log as it is then
        {L"modes", 0, kBom + "32771 1\n"},          // 0x8003: no box for a drive, a fault, a file
        {L"claim", 0, kBom + "1\n"},
        {L"breakaway", 0, kBom + "3 0\n0 5\n"},
    };
    for (const auto& [task, exitCode, logged] : rows) {
        const fs::path log = folder / (std::wstring(task) + L".log");
        std::wstring line = L"platform_child \"" + log.wstring() + L"\" " + task;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        ASSERT_TRUE(CreateProcessW(PLATFORM_CHILD, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &started));
        const KernelHandle process(started.hProcess), thread(started.hThread);
        DWORD code = 0;
        WaitForSingleObject(process.get(), 60000);
        GetExitCodeProcess(process.get(), &code);
        EXPECT_EQ(code, exitCode) << fs::path(task).string();
        std::string written = Contents(log);
        for (std::size_t at = 3; at < 22 && at < written.size(); ++at) {
            if (exitCode != 0 && written[at] >= '0' && written[at] <= '9') written[at] = '#';
        }
        EXPECT_EQ(written, logged) << fs::path(task).string();
    }
}

// The environment, the program's own file, messages, letters of any alphabet, and names compared
// as Windows compares file and registry names. (The message table: see the end-to-end test.)
TEST_F(ProcessesTest, TheSystemsPlainServices) {
    for (const auto& [c, letter] : {std::pair{u'\u00e0', true},
                                    {u'\u03a9', true},
                                    {u'\u6f22', true},
                                    {u'1', false},
                                    {u'\u20ac', false},
                                    {u'\u2028', false}}) {
        EXPECT_EQ(run.system.IsLetter(c), letter) << static_cast<int>(c);
    }
    EXPECT_TRUE(run.system.SameName(u"Contr\u00f4le.OCX", u"CONTR\u00d4LE.ocx"));

    const std::wstring longValue(300, L'v');  // past the first buffer
    for (const wchar_t* value : {L"C:\\a b", L"", longValue.c_str()}) {
        SetEnvironmentVariableW(L"ORVANDI_VALUE", value);
        EXPECT_EQ(*run.system.GetEnvironment(u"ORVANDI_VALUE"), T(value));
    }
    EXPECT_EQ(*run.system.GetEnvironment(u"ORVANDI_UNSET"), u"");
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(*run.system.ProgramFile(), T(self));
    EXPECT_EQ(*run.system.ApplicationFolder(), T(fs::path(self).parent_path()));

    wchar_t raw[256] = L"";
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, raw, 256, nullptr);
    EXPECT_EQ(SystemMessage(ERROR_ACCESS_DENIED) + u"\r\n", T(raw));
    // A message box for an owner that is no window fails at once, with the system's error.
    run.system.SetOwner(reinterpret_cast<HWND>(0x12345));
    EXPECT_EQ(Failed(run.system.ShowMessage(u"text")), ERROR_INVALID_WINDOW_HANDLE);
}

}  // namespace
}  // namespace orvandi
