// Processes started and ended, what only a process of its own can show, the plain services.
#include <tuple>

#include "platform/tests/platform_test.h"

namespace orvandi {
namespace {

constexpr JobPlacement kOwn = JobPlacement::kOwnJob;

using ProcessesTest = PlatformTest;

// Programs come from the system folder only, never from PATH, and give their exit code; past
// their time they are ended at once with all they started.
TEST_F(ProcessesTest, StartsProgramsFromTheSystemFolderAndEndsThemWithAllTheyStarted) {
    fs::remove(folder / L"orvandi-cmd.exe");  // TearDown may not remove it while it still runs
    fs::copy_file(SystemFolder() / L"cmd.exe", folder / L"orvandi-cmd.exe");
    fs::copy_file(SAMPLE_OCX, folder / L"Figlio.ocx");
    const Result<Text> path = run.system.GetEnvironment(u"PATH");
    SetEnvironmentVariableW(L"PATH", (L".;" + folder.wstring()).c_str());
    EXPECT_EQ(Failed(run.processes.RunAndWait(u"orvandi-cmd /c exit 5", 60000, kOwn)),
              ERROR_FILE_NOT_FOUND);
    SetEnvironmentVariableW(L"PATH", P(*path).c_str());
    const auto exited = run.processes.RunAndWait(u"cmd /c exit 5", 60000, JobPlacement::kAlone);
    EXPECT_TRUE(exited && exited->ending == Ending::kExited && exited->exitCode == 5);
    EXPECT_EQ(Failed(run.processes.Launch(u"orvandi-none /s x.ocx", 2)), ERROR_FILE_NOT_FOUND);

    const DWORD start = GetTickCount();  // "Figlio" starts a program, then waits a minute
    const auto parent = run.processes.RunAndWait(
        Join({u"regsvr32 /s \"", T(folder / L"Figlio.ocx"), u"\""}), 6000, kOwn);
    EXPECT_TRUE(parent && parent->ending == Ending::kEndedAtTimeout);
    EXPECT_LT(GetTickCount() - start, 10000u) << "waited for it to end by itself";
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

// In a process of its own (platform_child.cpp): each fault ends with 1603 after a last line made
// ready at the start, even when every allocation faults or the stack is gone, in the log as it is
// then; no box for a fault, a missing disk or abort (the modes read back); another claim of the
// mark waits (1); a breakaway that the job forbids is not placed (3), then runs once allowed.
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

// The environment, messages, letters, names compared as Windows does (the program's own file and
// folder: see the end-to-end test).
TEST_F(ProcessesTest, TheSystemsPlainServices) {
    for (const char16_t c : {u'\u00e0', u'\u03a9', u'\u6f22'}) EXPECT_TRUE(run.system.IsLetter(c));
    for (const char16_t c : {u'1', u'\u20ac', u'\u2028'}) EXPECT_FALSE(run.system.IsLetter(c));
    EXPECT_TRUE(run.system.SameName(u"Contr\u00f4le.OCX", u"CONTR\u00d4LE.ocx"));

    const std::wstring longValue(300, L'v');  // past the first buffer
    for (const wchar_t* value : {L"C:\\a b", L"", longValue.c_str()}) {
        SetEnvironmentVariableW(L"ORVANDI_VALUE", value);
        EXPECT_EQ(*run.system.GetEnvironment(u"ORVANDI_VALUE"), T(value));
    }
    EXPECT_EQ(*run.system.GetEnvironment(u"ORVANDI_UNSET"), u"");

    wchar_t raw[256] = L"";
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, raw, 256, nullptr);
    EXPECT_EQ(SystemMessage(ERROR_ACCESS_DENIED) + u"\r\n", T(raw));
    // A message box for an owner that is no window fails at once, with the system's error.
    run.system.SetOwner(reinterpret_cast<HWND>(0x12345));
    EXPECT_EQ(Failed(run.system.ShowMessage(u"text")), ERROR_INVALID_WINDOW_HANDLE);
}

}  // namespace
}  // namespace orvandi
