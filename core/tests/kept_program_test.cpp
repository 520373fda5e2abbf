// The program's own copy in the 32-bit Program Files folder, and the event source it serves.
#include <gtest/gtest.h>

#include "core/kept_program.h"
#include "core/tests/fakes.h"

namespace orvandi {

const Text kVersion = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const Text kSource = u"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Orvandi";

// From the registry, never from the environment: 64-bit Windows names the 32-bit folder apart.
TEST(KeptProgram, InTheProgramFilesFolderThatThe32BitViewNames) {
    FakePorts fake;
    fake.system.environment[u"ProgramFiles(x86)"] = u"C:\\Utente";
    EXPECT_FALSE(KeptProgramFolder(fake.registry));
    fake.registry.machine[kVersion][u"ProgramFilesDir"] = TextValue(u"C:\\Program Files");
    EXPECT_EQ(*KeptProgramFolder(fake.registry), u"C:\\Program Files\\Orvandi");
    fake.registry.machine[kVersion][u"ProgramFilesDir (x86)"] =
        TextValue(u"C:\\Program Files (x86)");
    EXPECT_EQ(*KeptProgramFolder(fake.registry), u"C:\\Program Files (x86)\\Orvandi");
}

// The folder is made the Administrators' first, then the copy placed; a running one is set aside.
TEST(KeptProgram, CopiedAfterTheFolderIsSecuredAndSetAsideWhenRunning) {
    const Text folder = u"C:\\P\\Orvandi", copy = u"C:\\P\\Orvandi\\Orvandi.exe";
    for (const bool running : {false, true}) {
        FakePorts fake;
        fake.files.facts[u"C:\\App\\Orvandi.exe"] = {false, 2, 1, false, true};
        if (running) fake.files.inUse.insert(copy);
        EXPECT_TRUE(KeepProgram(fake.ports, folder));
        const Text& calls = fake.journal.calls;
        EXPECT_LT(calls.find(u"AdministratorsFolder C:\\P\\Orvandi\n"),
                  calls.find(u"Copy C:\\App\\Orvandi.exe > " + copy));
        EXPECT_EQ(calls.find(u"DeleteAtRestart " + copy + u".old") != Text::npos, running);
    }
    FakePorts refused;
    refused.journal.Fail(u"AdministratorsFolder");
    EXPECT_FALSE(KeepProgram(refused.ports, folder));
    EXPECT_EQ(refused.journal.calls.find(u"Copy"), Text::npos)
        << "copied into a folder not secured";
}

// Written when missing or changed by another program, left alone when it is as it should be.
TEST(KeptProgram, TheEventSourceIsRegisteredAgainWhenChanged) {
    const Text file = u"C:\\P\\Orvandi\\Orvandi.exe";
    FakePorts fake;
    EXPECT_TRUE(RegisterEventSource(fake.registry, file));
    EXPECT_EQ(fake.registry.Value(kSource, u"EventMessageFile"), TextValue(file));
    EXPECT_EQ(fake.registry.Value(kSource, u"TypesSupported"), N(7));
    const int writes = fake.registry.writes;
    EXPECT_TRUE(RegisterEventSource(fake.registry, file));
    EXPECT_EQ(fake.registry.writes, writes);
    fake.registry.machine[kSource][u"EventMessageFile"] =
        TextValue(u"%SystemRoot%\\EventCreate.exe");
    EXPECT_TRUE(RegisterEventSource(fake.registry, file));
    EXPECT_EQ(fake.registry.Value(kSource, u"EventMessageFile"), TextValue(file));
}

}  // namespace orvandi
