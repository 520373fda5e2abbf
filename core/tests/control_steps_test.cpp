// One control installed or uninstalled: Calendario.ocx 1.2.3.4, its count under two names.
#include <gtest/gtest.h>

#include "core/control_steps.h"
#include "core/record.h"
#include "core/shared_count.h"
#include "core/tests/fakes.h"

namespace orvandi {

const Text kSys = u"C:\\W\\SYSTEM32\\Calendario.ocx", kWow = u"C:\\W\\SysWOW64\\Calendario.ocx",
           kSource = u"C:\\App\\OCX\\Calendario.ocx";
constexpr std::uint64_t kV4 = 0x0001000200030004;
using Values = std::map<Text, StoredValue>;
const StoredValue kQword{11, {1, 0, 0, 0, 0, 0, 0, 0}};  // REG_QWORD: no count

// A PC for Calendario.ocx: its count, its record (with a class) and the copy there.
struct Pc : FakePorts {
    explicit Pc(const Values& counts, const Text& recorded = Text(), const Text& package = Text(),
                bool present = true) {
        files.facts[kSource] = {true, kV4, {}, false, present};
        if (!counts.empty()) registry.machine[kSharedCounts] = counts;
        if (recorded.empty()) return;
        Record(package) = {{u"Calendario.ocx", TextValue(recorded)},
                           {u"Calendario.ocx.Classes", TextsValue({u"{C1}"})}};
    }
    ControlPaths Paths() {
        return PathsOf(u"Calendario.ocx", u"C:\\App", u"C:\\W\\SYSTEM32", u"C:\\W");
    }
    ControlOutcome Install(const Text& package = Text()) {
        return InstallControl(ports, Paths(), package);
    }
    ControlOutcome Uninstall(const Text& package = Text()) {
        return UninstallControl(ports, Paths(), package);
    }
    Values& Counts() { return registry.machine[kSharedCounts]; }
    Values& Record(const Text& package = Text()) { return registry.machine[RecordKey(package)]; }
    bool Ran(const Text& command) {
        return journal.calls.find(u"Run regsvr32 " + command) != Text::npos;
    }
};

TEST(InstallControl, CountsOncePerPackageInTheFormFoundAndRecords) {
    const struct {
        const char* what;
        bool present;
        Values counts;
        Text record;  // before
        Counted counted;
        Values after;
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
        Pc pc(row.counts, row.record, u"", row.present);
        const ControlOutcome control = pc.Install();
        EXPECT_EQ(control.cause, Cause::kNone);
        EXPECT_EQ(control.counted, row.counted);
        EXPECT_EQ(pc.Counts(), row.after);
        EXPECT_EQ(pc.Record()[u"Calendario.ocx"], TextValue(u"1.2.3.4"));
    }
}

// What happens to the file decides the rest: a copy in use is set aside and replaced; a refusal
// for any other reason fails the control, after registering what is there.
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
        {.what = "not registered", .facts = {true, kV4, {}, false}, .regsvr32 = five, .cause = Cause::kRegsvr32, .record = u""},
        {.what = "out of time", .facts = {true, kV4, {}, false}, .regsvr32 = late, .cause = Cause::kRegsvr32, .record = u""},
        {.what = "out of time and not to be ended: the run stops", .facts = {true, kV4, {}, false}, .regsvr32 = stuck,
         .cause = Cause::kStuck, .record = u""},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Pc pc({});
        pc.files.facts[kSource] = row.facts;
        if (row.inUse != 0) pc.files.inUse.insert(kSys);
        pc.files.inUseError = row.inUse;
        if (row.readOnly) pc.files.readOnly.insert(kSys);
        pc.processes.finished[u"Calendario"] = row.regsvr32;
        const ControlOutcome control = pc.Install();
        EXPECT_EQ(control.placed->placement, row.placement);
        EXPECT_EQ(control.placed->wasReadOnly, row.readOnly);
        EXPECT_EQ(control.cause, row.cause);
        EXPECT_EQ(control.AtRestart(), row.setAside);
        EXPECT_EQ(pc.journal.calls.find(u"DeleteAtRestart " + kSys + u".old") != Text::npos,
                  row.setAside);
        EXPECT_EQ(pc.Ran(u"/s \"" + kSys + u"\" 120000\n"), row.registered);
        const std::optional<Text> recorded = TextOf(pc.Record()[u"Calendario.ocx"]);
        EXPECT_EQ(recorded.value_or(u""), row.record) << "only what took effect is recorded";
    }
}

// Windows 7 refuses a second job to a process in one already: regsvr32 breaks away from it, or
// else runs in none.
TEST(InstallControl, RunsRegsvr32InTheJobWindowsAllows) {
    const JobPlacement own = JobPlacement::kOwnJob, breakaway = JobPlacement::kBreakaway;
    for (const std::set<JobPlacement>& refused :
         {std::set<JobPlacement>{}, {own}, {own, breakaway}}) {
        Pc pc({});
        pc.processes.refusedJobs = refused;
        EXPECT_EQ(pc.Install().cause, Cause::kNone);
        EXPECT_EQ(pc.Ran(u"/s \"" + kSys + u"\" 120000 breakaway\n"), refused.size() >= 1);
        EXPECT_EQ(pc.Ran(u"/s \"" + kSys + u"\" 120000 alone\n"), refused.size() == 2);
    }
}

// A named package records the classes registered to the copy (not those only declared), for a
// later check; the unnamed record stays as earlier releases wrote it.
TEST(InstallControl, RecordsTheClassesRegisteredToTheCopy) {
    for (const Text package : {u"Contabilit\u00e0", u""}) {
        Pc pc({});
        pc.files.libraries[kSys] = {
            u"{L}", 1, 0, {{u"{C1}", u"Uno", true}, {u"{C2}", u"Due", true}}};
        pc.registry.machine[u"SOFTWARE\\Classes\\CLSID\\{C1}\\InprocServer32"][u""] =
            TextValue(kSys);
        EXPECT_EQ(pc.Install(package).cause, Cause::kNone);
        EXPECT_EQ(pc.registry.Value(RecordKey(package), u"Calendario.ocx.Classes"),
                  package.empty() ? std::nullopt : std::optional(TextsValue({u"{C1}"})));
    }
}

TEST(UninstallControl, LowersTheCountAndUnregistersWhatNobodyElseCounts) {
    const Values none, recorded = {{u"Calendario.ocx", TextValue(u"1.2.3.4")},
                                   {u"Calendario.ocx.Classes", TextsValue({u"{C1}"})}};
    const struct {
        const char* what;
        Values counts;
        Text record;
        std::uint32_t regsvr32;
        std::optional<Counted> counted;  // nothing: unregistered (or not: see regsvr32)
        Values after, recordAfter;
    } rows[] = {
        // clang-format off
        {"from 1 to 0: unregistered", {{kSys, N(1)}}, u"1.2.3.4", 0, {}, {}, none},
        {"a count gone missing counts as this package's own", {}, u"1.2.3.4", 0, {}, {}, none},
        {"from two bytes of 2: as many bytes", {{kSys, Bin({2, 0})}}, u"1.2.3.4", 0, Counted::kLeftToOthers,
         {{kSys, Bin({1, 0})}}, none},
        {"a count that cannot be read: registration left, record gone", {{kSys, kQword}}, u"1.2.3.4", 0,
         Counted::kUnreadable, {{kSys, kQword}}, none},
        {"what this package did not install", {{kSys, N(1)}}, u"", 0, Counted::kNotRecorded, {{kSys, N(1)}}, none},
        {"an unregistration that fails: all as it was, for a retry", {{kSys, Sz(u"01")}}, u"1.2.3.4", 4, {},
         {{kSys, Sz(u"01")}}, recorded},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Pc pc(row.counts, row.record);
        pc.processes.finished[u"Calendario"] = {Ending::kExited, row.regsvr32};
        const ControlOutcome control = pc.Uninstall();
        EXPECT_EQ(control.counted, row.counted);
        EXPECT_EQ(control.cause, row.regsvr32 == 0 ? Cause::kNone : Cause::kRegsvr32);
        EXPECT_EQ(control.restored, row.regsvr32 != 0);
        EXPECT_EQ(pc.Counts(), row.after);
        EXPECT_EQ(pc.Record(), row.recordAfter);
        EXPECT_EQ(pc.Ran(u"/u /s \"" + kSys + u"\""), !row.counted);
    }
    Pc pc({{kSys, N(1)}}, u"1.2.3.4");
    pc.files.absent.insert(kSys);
    EXPECT_EQ(pc.Uninstall().counted, Counted::kNoCopy) << "nothing to unregister without a copy";
    EXPECT_FALSE(pc.Ran(u""));
}

// Any one registry write failing, then a retry: the count may end one too high, never lower than
// the others' count plus this package's own while it is recorded.
TEST(ControlSteps, ARetryAfterAnyFailedWriteNeverCountsTooFew) {
    for (const bool install : {true, false}) {
        for (const std::uint32_t others : {1u, 0u}) {
            for (int failing = 1; failing <= 6; ++failing) {
                SCOPED_TRACE(testing::Message() << install << " " << others << " " << failing);
                Pc pc({{kSys, N(others + (install ? 0 : 1))}}, install ? u"" : u"1.2.3.4", u"P");
                pc.processes.finished[u"/u"] = {Ending::kExited, others == 0 ? 4u : 0u};
                for (const int fail : {failing, 0}) {
                    pc.registry.failWrite = fail;
                    pc.registry.writes = 0;
                    install ? pc.Install(u"P") : pc.Uninstall(u"P");
                }
                const std::optional<StoredValue> stored = pc.registry.Value(kSharedCounts, kSys);
                const std::uint32_t count = stored ? ParseCount(*stored)->value : 0;
                const bool recorded = pc.Record(u"P").count(u"Calendario.ocx") > 0;
                EXPECT_GE(count, others + (recorded ? 1 : 0));
                EXPECT_LE(count, others + 1 + (recorded ? 1 : 0));
            }
        }
    }
}

}  // namespace orvandi
