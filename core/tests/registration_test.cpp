// The window's run, over a list of three entries.
#include <gtest/gtest.h>

#include "core/registration.h"
#include "core/tests/fakes.h"

namespace orvandi {

const Text kZero =
    u"operazione completata\r\nTotali : 0\r\nOk : 0\r\nNo : 0\r\n"
    u"operazione completata con successo";

// One press of REGISTRA SELEZIONATI, some calls failing: every call, in order. After the first
// marked entry, a failure outside an entry's steps leaves the run ("escaped") for the window.
TEST(RunRegistration, CopiesLaunchesCountsAndReports) {
    const Text error = u"Message Error 5 (Denied) in procedure Command2_Click of Form Form1\n";
    const struct {
        const char* what;
        std::vector<bool> marks;  // of A.ocx, "-u b.ocx", à.ocx
        std::vector<Text> failing;
        Text log;
    } rows[] = {
        // clang-format off
        {"nothing marked", {0, 0, 0}, {}, u"Pointer 11\nPointer 1\nMessage " + kZero + u"\n"},
        {"in order, each copy registered by its whole path, quoted; no control refused, a newer "
         "copy kept", {1, 1, 1}, {},
         u"Pointer 11\nLaunch regsvr32 /s \"C:\\W S\\-u b.ocx\" @2\n"
         u"Copy C:\\App\\OCX\\\u00e0.ocx > C:\\W S\\\u00e0.ocx\nLaunch regsvr32 /s \"C:\\W S\\\u00e0.ocx\" @2\n"
         u"Pointer 1\nMessage operazione completata\r\nTotali : 3\r\nOk : 2\r\nNo : 1\r\n"
         u"non sono riuscito a fare i seguenti: A.ocx\r\n\n"},
        {"an unreadable source or a failed copy is still launched; two failed steps count once",
         {1, 0, 1}, {u"Inspect C:\\App\\OCX\\A", u"> C:\\W S\\\u00e0", u"\u00e0.ocx\""},
         u"Pointer 11\nLaunch regsvr32 /s \"C:\\W S\\A.ocx\" @2\n"
         u"Copy C:\\App\\OCX\\\u00e0.ocx > C:\\W S\\\u00e0.ocx\nLaunch regsvr32 /s \"C:\\W S\\\u00e0.ocx\" @2\n"
         u"Pointer 1\nMessage operazione completata\r\nTotali : 2\r\nOk : 0\r\nNo : 2\r\n"
         u"non sono riuscito a fare i seguenti: A.ocx\r\n\u00e0.ocx\r\n\n"},
        {"the hourglass failing ends the run", {1, 1, 1}, {u"Pointer 11"}, u"Pointer 11\nPointer 1\n" + error},
        {"a mark unreadable before the first marked entry", {0, 1, 1}, {u"marked 1"},
         u"Pointer 11\nPointer 1\n" + error},
        {"the summary failing with nothing marked", {0, 0, 0}, {u"Message op"},
         u"Pointer 11\nPointer 1\nMessage " + kZero + u"\nPointer 1\n" + error},
        {"a mark after the first marked entry", {0, 1, 1}, {u"marked 2"}, u"Pointer 11\nLaunch regsvr32 /s \"C:\\W S\\-u b.ocx\" @2\nescaped\n"},
        {"the arrow after the pass", {0, 1, 0}, {u"Pointer 1\n"}, u"Pointer 11\nLaunch regsvr32 /s \"C:\\W S\\-u b.ocx\" @2\nPointer 1\nescaped\n"},
        {"the summary after the pass", {0, 1, 0}, {u"Message op"}, u"Pointer 11\nLaunch regsvr32 /s \"C:\\W S\\-u b.ocx\" @2\nPointer 1\nMessage operazione completata\r\nTotali : 1\r\nOk : 1\r\nNo : 0\r\noperazione completata con successo\nescaped\n"},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        FakePorts fake;
        FakeList list(fake.journal);
        list.names = {u"A.ocx", u"-u b.ocx", u"\u00e0.ocx"};
        list.marks = row.marks;
        fake.files.facts[u"C:\\App\\OCX\\A.ocx"] = {false, {}, {}, false};
        fake.files.facts[u"C:\\App\\OCX\\-u b.ocx"] = {true, 1, 2, false};
        for (const Text& part : row.failing)
            fake.journal.failures.push_back({part, {5, u"Denied"}});
        if (!RunRegistration(fake.system, fake.files, fake.processes, list, u"C:\\App",
                             u"C:\\W S")) {
            fake.journal.calls += u"escaped\n";
        }
        EXPECT_EQ(fake.journal.calls, row.log);
        EXPECT_EQ(list.marks, row.marks) << "a run never changes the marks";
    }
}

}  // namespace orvandi
