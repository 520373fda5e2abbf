// One control installed: placed as the window places it, registered, checked, counted once per
// package and recorded. Calendario.ocx 1.2.3.4 in each row; "sys" and "wow" are its count's two
// names.
#include <gtest/gtest.h>

#include "core/control_steps.h"
#include "core/record.h"
#include "core/shared_count.h"
#include "core/tests/fakes.h"

namespace orvandi {
namespace {

const Text kSys = u"C:\\W\\SYSTEM32\\Calendario.ocx", kWow = u"C:\\W\\SysWOW64\\Calendario.ocx",
           kSource = u"C:\\App\\OCX\\Calendario.ocx";
constexpr std::uint64_t kV4 = 0x0001000200030004;
using Counts = std::map<Text, StoredValue>;

// A PC for Calendario.ocx: the copy there (when `there` is set), its count and its record.
struct Pc : FakePorts {
    Pc(bool present, std::optional<std::uint64_t> there, const Counts& counts,
       const Text& recorded = Text(), const Text& package = Text()) {
        files.facts[kSource] = {true, kV4, there, false, present};
        if (!counts.empty()) registry.machine[kSharedCounts] = counts;
        if (!recorded.empty())
            registry.machine[RecordKey(package)][u"Calendario.ocx"] = TextValue(recorded);
    }
    ControlOutcome Install(const Text& package = Text()) {
        return InstallControl(
            ports, PathsOf(u"Calendario.ocx", u"C:\\App", u"C:\\W\\SYSTEM32", u"C:\\W"), package);
    }
    Counts CountsNow() { return registry.machine[kSharedCounts]; }
    Text RecordNow(const Text& package = Text()) {
        const std::optional<StoredValue> value =
            registry.Value(RecordKey(package), u"Calendario.ocx");
        return value ? *TextOf(*value) : Text();
    }
};

TEST(InstallControl, CountsOncePerPackageInTheFormFoundAndRecords) {
    const struct {
        const char* what;
        bool present;
        Counts counts;
        Text record;  // before
        Counted counted;
        Counts after;
    } rows[] = {
        // clang-format off
        {"a new file", false, {}, u"", Counted::kRaised, {{kSys, N(1)}}},
        {"present and uncounted: one for the program unknown that put it there", true, {}, u"", Counted::kRaised, {{kSys, N(2)}}},
        {"counted by another program, under the SysWOW64 name", true, {{kWow, N(3)}}, u"", Counted::kRaised, {{kWow, N(4)}}},
        {"counted in a byte, raised past it", true, {{kWow, Bin({0xFF})}}, u"", Counted::kRaised, {{kWow, Bin({0, 1, 0, 0})}}},
        {"counted as text", true, {{kSys, Sz(u"01")}}, u"", Counted::kRaised, {{kSys, Sz(std::u16string(u"2\0", 2))}}},
        {"at its largest: never 0", true, {{kSys, N(0xFFFFFFFF)}}, u"", Counted::kRaised, {{kSys, N(0xFFFFFFFF)}}},
        {"a count that cannot be read: left as it is", true, {{kSys, Sz(u"dodici")}}, u"", Counted::kUnreadable,
         {{kSys, Sz(u"dodici")}}},
        {"recorded already: counted once per PC", true, {{kSys, N(2)}}, u"1.2.3.3", Counted::kAlreadyRecorded,
         {{kSys, N(2)}}},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Pc pc(row.present, std::nullopt, row.counts, row.record);
        const ControlOutcome control = pc.Install();
        EXPECT_EQ(control.cause, Cause::kNone);
        EXPECT_EQ(control.counted, row.counted);
        EXPECT_EQ(pc.CountsNow(), row.after);
        EXPECT_EQ(pc.RecordNow(), u"1.2.3.4");
        if (row.counted == Counted::kRaised) {
            EXPECT_LT(pc.journal.calls.find(u"SharedDLLs"),
                      pc.journal.calls.find(u"Controls\\Calendario"))
                << "the count goes up before the record is written: one too many is the safe error";
        }
    }
}

// What happens to the file decides the rest: a file that is no control, or older than the copy
// Windows protects, goes nowhere and is not registered; a copy in use is set aside and replaced;
// a refusal for any other reason fails the control, after registering what is there.
TEST(InstallControl, PlacesRegistersAndChecks) {
    const Finished five{Ending::kExited, 5}, late{Ending::kEndedAtTimeout, 1},
        stuck{Ending::kWouldNotEnd, 1};
    const struct {
        const char* what;
        CopyFacts facts;
        std::int32_t inUse = 0;  // the copy there refuses to be replaced with this
        Finished regsvr32 = {};
        bool readOnly = false;
        Placement placement = Placement::kCopy;
        Cause cause = Cause::kNone;
        bool setAside = false, registered = true;
        Text record = u"1.2.3.4";
    } rows[] = {
        // clang-format off
        {.what = "not a control", .facts = {false, kV4, {}, false}, .placement = Placement::kRefuse,
         .cause = Cause::kNotAControl, .registered = false, .record = u""},
        {.what = "held by a program: set aside, replaced", .facts = {true, kV4, {}, false, true}, .inUse = 5, .setAside = true},
        {.what = "held open by a program", .facts = {true, kV4, {}, false, true}, .inUse = 32, .setAside = true},
        {.what = "refused for another reason: registered as it was, failed", .facts = {true, kV4, {}, false, true},
         .inUse = 1920, .cause = Cause::kCopyFailed, .record = u""},
        {.what = "read-only there: replaced", .facts = {true, kV4, {}, false, true}, .readOnly = true},
        {.what = "a newer copy kept, recorded with its own version", .facts = {true, kV4, kV4 + 1, false, true},
         .placement = Placement::kKeepNewer, .record = u"1.2.3.5"},
        {.what = "an older copy that Windows protects: not replaced, not registered",
         .facts = {true, kV4, kV4 - 1, false, true, true}, .placement = Placement::kRefuseProtected,
         .cause = Cause::kProtected, .registered = false, .record = u""},
        {.what = "as new a copy that Windows protects: kept", .facts = {true, kV4, kV4, false, true, true},
         .placement = Placement::kKeepProtected},
        {.what = "not registered", .facts = {true, kV4, {}, false}, .regsvr32 = five, .cause = Cause::kRegsvr32, .record = u""},
        {.what = "out of time", .facts = {true, kV4, {}, false}, .regsvr32 = late, .cause = Cause::kRegsvr32, .record = u""},
        {.what = "out of time and not to be ended: the run stops", .facts = {true, kV4, {}, false}, .regsvr32 = stuck,
         .cause = Cause::kStuck, .record = u""},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Pc pc(row.facts.destinationExists, row.facts.destinationVersion, {});
        pc.files.facts[kSource] = row.facts;
        if (row.inUse != 0) pc.files.inUse.insert(kSys);
        pc.files.inUseError = row.inUse;
        if (row.readOnly) pc.files.readOnly.insert(kSys);
        pc.processes.finished[u"Calendario"] = row.regsvr32;
        const ControlOutcome control = pc.Install();
        EXPECT_EQ(control.placed->placement, row.placement);
        EXPECT_EQ(control.placed->wasReadOnly, row.readOnly);
        EXPECT_EQ(control.cause, row.cause);
        EXPECT_EQ(control.setAside && control.setAside->replaced, row.setAside);
        EXPECT_EQ(control.AtRestart(), row.setAside);
        EXPECT_EQ(pc.journal.calls.find(u"DeleteAtRestart C:\\W\\SYSTEM32\\Calendario.ocx.old") !=
                      Text::npos,
                  row.setAside);
        EXPECT_EQ(
            pc.journal.calls.find(
                u"Run regsvr32 /s \"C:\\W\\SYSTEM32\\Calendario.ocx\" 120000\n") != Text::npos,
            row.registered);
        EXPECT_EQ(pc.RecordNow(), row.record) << "only a registration that took effect is recorded";
    }
}

// Windows 7 refuses a second job to a process in one already: regsvr32 breaks away from it, or
// else runs in none.
TEST(InstallControl, RunsRegsvr32InTheJobWindowsAllows) {
    for (const std::set<JobPlacement>& refused :
         {std::set<JobPlacement>{},
          {JobPlacement::kOwnJob},
          {JobPlacement::kOwnJob, JobPlacement::kBreakaway}}) {
        Pc pc(false, std::nullopt, {});
        pc.processes.refusedJobs = refused;
        EXPECT_EQ(pc.Install().cause, Cause::kNone);
        const Text run = u"Run regsvr32 /s \"C:\\W\\SYSTEM32\\Calendario.ocx\" 120000";
        EXPECT_EQ(pc.journal.calls.find(run + u" breakaway\n") != Text::npos, refused.size() >= 1);
        EXPECT_EQ(pc.journal.calls.find(run + u" alone\n") != Text::npos, refused.size() == 2);
    }
}

// A named package records, beside each control, the classes it registered to its copy (for a
// later check); the unnamed record stays as earlier releases wrote it.
TEST(InstallControl, RecordsTheClassesRegisteredToTheCopy) {
    for (const Text package : {u"Contabilit\u00e0", u""}) {
        Pc pc(false, std::nullopt, {});
        pc.files.libraries[kSys] = {
            u"{L}",
            1,
            0,
            {{u"{C1}", u"Uno", true}, {u"{C2}", u"Due", true}, {u"{C3}", u"Tre", false}}};
        pc.registry.machine[u"SOFTWARE\\Classes\\CLSID\\{C1}\\InprocServer32"][u""] =
            TextValue(kSys);
        const ControlOutcome control = pc.Install(package);
        EXPECT_EQ(control.cause, Cause::kNone)
            << "a class declared but not registered is a warning";
        const std::optional<StoredValue> classes =
            pc.registry.Value(RecordKey(package), u"Calendario.ocx.Classes");
        EXPECT_EQ(classes, package.empty() ? std::nullopt : std::optional(TextsValue({u"{C1}"})));
    }
}

// Any one registry write that fails, then the same install again: the count may end one too high
// (the safe error), never lower than the other programs' count plus this package's one.
TEST(InstallControl, ARetryAfterAnyFailedWriteNeverCountsTooFew) {
    for (int failing = 1; failing <= 3; ++failing) {
        SCOPED_TRACE(failing);
        Pc pc(true, std::nullopt, {{kSys, N(3)}}, u"", u"P");
        pc.registry.failWrite = failing;
        pc.Install(u"P");
        pc.registry.failWrite = 0;
        EXPECT_EQ(pc.Install(u"P").cause, Cause::kNone);
        const std::uint32_t count = ParseCount(pc.CountsNow()[kSys])->value;
        EXPECT_TRUE(count == 4 || count == 5) << count;
        EXPECT_EQ(pc.RecordNow(u"P"), u"1.2.3.4");
    }
}

}  // namespace
}  // namespace orvandi
