#include <gtest/gtest.h>

#include "core/registration.h"
#include "core/tests/vector_entry_list.h"
#include "platform/recording_platform.h"

namespace orvandi {
namespace {

const Text kApp = u"C:\\App";
const Text kSys = u"C:\\WINDOWS\\SYSTEM32";
const Text kZeroSummary =
    u"operazione completata\r\nTotali : 0\r\nOk : 0\r\nNo : 0\r\n"
    u"operazione completata con successo";

TEST(FormatRunSummary, ReadsAsTheWorkedExamples) {
    EXPECT_EQ(FormatRunSummary(0, 0, u""), kZeroSummary);
    EXPECT_EQ(FormatRunSummary(3, 1, u"B.ocx\r\n"),
              u"operazione completata\r\nTotali : 3\r\nOk : 2\r\nNo : 1\r\n"
              u"non sono riuscito a fare i seguenti: B.ocx\r\n");
    EXPECT_EQ(FormatRunSummary(32767, 2, u"a.ocx\r\nb.ocx\r\n"),
              u"operazione completata\r\nTotali : 32767\r\nOk : 32765\r\nNo : 2\r\n"
              u"non sono riuscito a fare i seguenti: a.ocx\r\nb.ocx\r\n");
}

TEST(FormatRunError, NamesTheButtonHandlerInEnglish) {
    EXPECT_EQ(FormatRunError(53, u"File not found"),
              u"Error 53 (File not found) in procedure Command2_Click of Form Form1");
    EXPECT_EQ(FormatRunError(-2147483647 - 1, u"x"),
              u"Error -2147483648 (x) in procedure Command2_Click of Form Form1");
    EXPECT_EQ(FormatFailure(6, u"Overflow", u"Form_Load"),
              u"Error 6 (Overflow) in procedure Form_Load of Form Form1");
}

TEST(CheckedArithmetic, RaisesOverflowOutside16Bits) {
    EXPECT_EQ(Add16(32766, 1), 32767);
    EXPECT_EQ(Sub16(0, 1), -1);
    EXPECT_EQ(Sub16(-32767, 1), -32768);
    for (auto overflow : {+[] { Add16(32767, 1); }, +[] { Sub16(-32768, 1); },
                          +[] { Sub16(0, -32768); }, +[] { Add16(-32768, -1); }}) {
        try {
            overflow();
            ADD_FAILURE() << "no overflow";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.number, 6);
            EXPECT_EQ(failure.description, u"Overflow");
        }
    }
}

TEST(RegistrationCommand, QuotesOnlyNamesWithBlanks) {
    EXPECT_EQ(RegistrationCommand(u"B.ocx"), u"regsvr32 /s B.ocx");
    EXPECT_EQ(RegistrationCommand(u"My Control.ocx"), u"regsvr32 /s \"My Control.ocx\"");
    EXPECT_EQ(RegistrationCommand(u"x -u.ocx"), u"regsvr32 /s \"x -u.ocx\"");
    EXPECT_EQ(RegistrationCommand(u"tab\there.ocx"), u"regsvr32 /s \"tab\there.ocx\"");
}

// One run over a list, with chosen platform failures: what was copied and launched, in which
// order, and the one message shown.
struct RunCase {
    const char* what;
    std::vector<Text> names;
    std::vector<bool> marks;
    std::vector<std::pair<std::string, Text>> failing;  // operation, part of its first argument
    std::vector<Text> expectedLaunches;
    Text expectedMessage;
};

TEST(RunRegistration, VisitsMarkedEntriesAndCountsEachOnce) {
    const Failure denied{5, u"Access denied."};
    const RunCase cases[] = {
        {"empty list", {}, {}, {}, {}, kZeroSummary},
        {"nothing marked", {u"A.ocx", u"B.ocx"}, {false, false}, {}, {}, kZeroSummary},
        {"marked only, in index order",
         {u"A.ocx", u"B.ocx", u"C.ocx"},
         {true, false, true},
         {},
         {u"regsvr32 /s A.ocx", u"regsvr32 /s C.ocx"},
         u"operazione completata\r\nTotali : 2\r\nOk : 2\r\nNo : 0\r\n"
         u"operazione completata con successo"},
        {"a failed copy is still launched",
         {u"A.ocx", u"B.ocx", u"C.ocx"},
         {true, true, true},
         {{"CopyFile", u"B.ocx"}},
         {u"regsvr32 /s A.ocx", u"regsvr32 /s B.ocx", u"regsvr32 /s C.ocx"},
         u"operazione completata\r\nTotali : 3\r\nOk : 2\r\nNo : 1\r\n"
         u"non sono riuscito a fare i seguenti: B.ocx\r\n"},
        {"copy and launch failing count once",
         {u"A.ocx", u"B.ocx"},
         {true, true},
         {{"CopyFile", u"B.ocx"}, {"Launch", u"B.ocx"}},
         {u"regsvr32 /s A.ocx", u"regsvr32 /s B.ocx"},
         u"operazione completata\r\nTotali : 2\r\nOk : 1\r\nNo : 1\r\n"
         u"non sono riuscito a fare i seguenti: B.ocx\r\n"},
        {"failed launches named in order",
         {u"A.ocx", u"My Control.ocx", u"C.ocx"},
         {true, true, true},
         {{"Launch", u"A.ocx"}, {"Launch", u"C.ocx"}},
         {u"regsvr32 /s A.ocx", u"regsvr32 /s \"My Control.ocx\"", u"regsvr32 /s C.ocx"},
         u"operazione completata\r\nTotali : 3\r\nOk : 1\r\nNo : 2\r\n"
         u"non sono riuscito a fare i seguenti: A.ocx\r\nC.ocx\r\n"},
        {"hourglass failing ends the run with the error text only",
         {u"A.ocx"},
         {true},
         {{"SetPointer", u"11"}},
         {},
         u"Error 5 (Access denied.) in procedure Command2_Click of Form Form1"},
        {"summary failing with nothing marked is reported by the outer scope",
         {u"A.ocx"},
         {false},
         {{"ShowMessage", u"operazione"}},
         {},
         u"Error 5 (Access denied.) in procedure Command2_Click of Form Form1"},
    };
    for (const RunCase& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingPlatform platform;
        for (const auto& [operation, part] : c.failing) platform.Fail(operation, part, denied);
        VectorEntryList list(c.names, c.marks);

        RunRegistration(platform, list, kApp, kSys);

        std::vector<Text> launches;
        for (const auto& call : platform.CallsOf("Launch")) {
            launches.push_back(call.arguments[0]);
            EXPECT_EQ(call.arguments[1], u"2");  // minimized, with focus
        }
        EXPECT_EQ(launches, c.expectedLaunches);
        ASSERT_FALSE(platform.calls.empty());
        const auto& last = platform.calls.back();
        EXPECT_EQ(last.operation, "ShowMessage");
        EXPECT_EQ(last.arguments[0], c.expectedMessage);
        EXPECT_EQ(list.marks, c.marks) << "a run never changes the marks";
    }
}

TEST(RunRegistration, CopiesFromTheOcxFolderIntoTheSystemFolderAndSetsThePointer) {
    RecordingPlatform platform;
    VectorEntryList list({u"A.ocx", u"x -u.ocx"}, {true, true});
    RunRegistration(platform, list, u"D:\\Setup\\", kSys);

    std::vector<std::pair<std::string, std::vector<Text>>> seen;
    for (const auto& call : platform.calls) seen.emplace_back(call.operation, call.arguments);
    const std::vector<std::pair<std::string, std::vector<Text>>> expected = {
        {"SetPointer", {u"11"}},
        {"CopyFile", {u"D:\\Setup\\\\OCX\\A.ocx", u"C:\\WINDOWS\\SYSTEM32\\A.ocx"}},
        {"Launch", {u"regsvr32 /s A.ocx", u"2"}},
        {"CopyFile", {u"D:\\Setup\\\\OCX\\x -u.ocx", u"C:\\WINDOWS\\SYSTEM32\\x -u.ocx"}},
        {"Launch", {u"regsvr32 /s \"x -u.ocx\"", u"2"}},
        {"SetPointer", {u"1"}},
        {"ShowMessage", {FormatRunSummary(2, 0, u"")}},
    };
    EXPECT_EQ(seen, expected);
}

TEST(RunRegistration, OuterScopeReportsUntilTheFirstMarkedEntryAndRestoresTheArrow) {
    RecordingPlatform platform;
    VectorEntryList list({u"A.ocx", u"B.ocx", u"C.ocx"}, {false, false, true});
    list.failMarkAt = 1;
    RunRegistration(platform, list, kApp, kSys);

    EXPECT_TRUE(platform.CallsOf("CopyFile").empty());
    const auto messages = platform.CallsOf("ShowMessage");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].arguments[0],
              u"Error 91 (Mark unreadable) in procedure Command2_Click of Form Form1");
    const auto pointers = platform.CallsOf("SetPointer");
    ASSERT_EQ(pointers.size(), 2u);
    EXPECT_EQ(pointers.back().arguments[0], u"1");
}

TEST(RunRegistration, FailuresOutsideAnyScopeLeaveTheRun) {
    using Call = RecordingPlatform::Call;
    struct Row {
        const char* what;
        std::optional<std::int16_t> failMarkAt;
        std::function<bool(const Call&)> failing;
    };
    const Row rows[] = {
        {"reading a mark after the first marked entry", 2, [](const Call&) { return false; }},
        {"the final pointer change", std::nullopt,
         [](const Call& call) { return call.arguments == std::vector<Text>{u"1"}; }},
        {"showing the summary", std::nullopt,
         [](const Call& call) { return call.operation == "ShowMessage"; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        RecordingPlatform platform;
        platform.FailWhen(row.failing, Failure{7, u"Out of memory"});
        VectorEntryList list({u"A.ocx", u"B.ocx", u"C.ocx"}, {false, true, true});
        list.failMarkAt = row.failMarkAt;
        try {
            RunRegistration(platform, list, kApp, kSys);
            ADD_FAILURE() << "the failure was swallowed";
        } catch (const Failure& failure) {
            EXPECT_TRUE(failure.number == 7 || failure.number == 91);
        }
        EXPECT_EQ(platform.CallsOf("CopyFile").size(), row.failMarkAt ? 1u : 2u);
        // No error text of the run's own: the caller reports the escaped failure.
        for (const auto& call : platform.CallsOf("ShowMessage")) {
            EXPECT_EQ(call.arguments[0].find(u"Error"), Text::npos);
        }
    }
}

TEST(RunRegistration, AFullListRunsToItsEnd) {
    const std::size_t full = 32767;
    std::vector<Text> names;
    for (std::size_t i = 0; i < full; ++i) names.push_back(Decimal(int(i)) + u".ocx");
    RecordingPlatform platform;
    platform.Fail("CopyFile", u"\\32766.ocx", Failure{2, u"not found"});
    VectorEntryList list(names, std::vector<bool>(full, true));

    RunRegistration(platform, list, kApp, kSys);

    EXPECT_EQ(platform.CallsOf("Launch").size(), full);
    EXPECT_EQ(platform.calls.back().arguments[0],
              u"operazione completata\r\nTotali : 32767\r\nOk : 32766\r\nNo : 1\r\n"
              u"non sono riuscito a fare i seguenti: 32766.ocx\r\n");
}

TEST(MarkAll, MarksEveryEntryAndClearsNone) {
    VectorEntryList list({u"a", u"b", u"c"}, {false, true, false});
    MarkAll(list);
    EXPECT_EQ(list.marks, std::vector<bool>(3, true));
    MarkAll(list);
    EXPECT_EQ(list.marks, std::vector<bool>(3, true));

    VectorEntryList empty;
    MarkAll(empty);
    EXPECT_TRUE(empty.marks.empty());
}

}  // namespace
}  // namespace orvandi
