// One control uninstalled: only what the package recorded, its count lowered, and unregistered
// only when no other program counts it. Calendario.ocx in each row, recorded as 1.2.3.4.
#include <gtest/gtest.h>

#include "core/control_steps.h"
#include "core/record.h"
#include "core/shared_count.h"
#include "core/tests/fakes.h"

namespace orvandi {
namespace {

const Text kSys = u"C:\\W\\SYSTEM32\\Calendario.ocx";
using Counts = std::map<Text, StoredValue>;
const StoredValue kQword{11, {1, 0, 0, 0, 0, 0, 0, 0}};  // REG_QWORD: no count

struct Pc : FakePorts {
    Pc(const Counts& counts, bool recorded, const Text& package = Text()) {
        if (!counts.empty()) registry.machine[kSharedCounts] = counts;
        if (recorded) {
            registry.machine[RecordKey(package)][u"Calendario.ocx"] = TextValue(u"1.2.3.4");
            registry.machine[RecordKey(package)][u"Calendario.ocx.Classes"] = TextsValue({u"{C1}"});
        }
    }
    ControlOutcome Uninstall(const Text& package = Text()) {
        return UninstallControl(
            ports, PathsOf(u"Calendario.ocx", u"C:\\App", u"C:\\W\\SYSTEM32", u"C:\\W"), package);
    }
    std::map<Text, StoredValue> Record(const Text& package = Text()) {
        return registry.machine[RecordKey(package)];
    }
};

TEST(UninstallControl, LowersTheCountAndUnregistersWhatNobodyElseCounts) {
    const std::map<Text, StoredValue> none,
        recorded = {{u"Calendario.ocx", TextValue(u"1.2.3.4")},
                    {u"Calendario.ocx.Classes", TextsValue({u"{C1}"})}};
    const struct {
        const char* what;
        Counts counts;
        bool recorded;
        std::uint32_t regsvr32;
        Counted counted;
        Cause cause;
        Counts after;
        std::map<Text, StoredValue> recordAfter;
        bool unregistered;
    } rows[] = {
        // clang-format off
        {"from 1 to 0: unregistered", {{kSys, N(1)}}, true, 0, {}, Cause::kNone, {}, none, true},
        {"a count gone missing counts as this package's own", {}, true, 0, {}, Cause::kNone, {}, none, true},
        {"from two bytes of 2: as many bytes", {{kSys, Bin({2, 0})}}, true, 0, Counted::kLeftToOthers, Cause::kNone,
         {{kSys, Bin({1, 0})}}, none, false},
        {"a count that cannot be read: registration left, record gone", {{kSys, kQword}}, true, 0, Counted::kUnreadable,
         Cause::kNone, {{kSys, kQword}}, none, false},
        {"what this package did not install", {{kSys, N(1)}}, false, 0, Counted::kNotRecorded, Cause::kNone,
         {{kSys, N(1)}}, none, false},
        {"an unregistration that fails: all as it was, for a retry", {{kSys, Sz(u"01")}}, true, 4, {}, Cause::kRegsvr32,
         {{kSys, Sz(u"01")}}, recorded, true},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Pc pc(row.counts, row.recorded);
        pc.processes.finished[u"Calendario"] = {Ending::kExited, row.regsvr32};
        const ControlOutcome control = pc.Uninstall();
        EXPECT_EQ(control.counted.value_or(Counted::kRaised),
                  row.unregistered ? Counted::kRaised : row.counted);
        EXPECT_EQ(control.cause, row.cause);
        EXPECT_EQ(control.restored, row.cause == Cause::kRegsvr32);
        EXPECT_EQ(pc.registry.machine[kSharedCounts], row.after);
        EXPECT_EQ(pc.Record(), row.recordAfter);
        EXPECT_EQ(pc.journal.calls.find(
                      u"Run regsvr32 /u /s \"C:\\W\\SYSTEM32\\Calendario.ocx\"") != Text::npos,
                  row.unregistered);
    }
}

TEST(UninstallControl, NothingToUnregisterWithoutACopy) {
    Pc pc({{kSys, N(1)}}, true);
    pc.files.absent.insert(kSys);
    EXPECT_EQ(pc.Uninstall().counted, Counted::kNoCopy);
    EXPECT_EQ(pc.journal.calls.find(u"Run regsvr32"), Text::npos);
}

// Any one registry write that fails, then the same uninstall again (another program counts the
// control too, or nobody does and regsvr32 fails): the count may end one too high, never one too
// low, whatever the write: the record, the count, or either half of the restore.
TEST(UninstallControl, ARetryAfterAnyFailedWriteNeverCountsTooFew) {
    for (const std::uint32_t others : {1u, 0u}) {
        for (int failing = 1; failing <= 4; ++failing) {
            SCOPED_TRACE(testing::Message() << others << " others, write " << failing);
            Pc pc({{kSys, N(others + 1)}}, true, u"P");
            pc.processes.finished[u"Calendario"] = {Ending::kExited, others == 0 ? 4u : 0u};
            pc.registry.failWrite = failing;
            pc.Uninstall(u"P");
            pc.registry.failWrite = 0;
            pc.Uninstall(u"P");
            const std::optional<StoredValue> stored = pc.registry.Value(kSharedCounts, kSys);
            const std::uint32_t count = stored ? ParseCount(*stored)->value : 0;
            const bool recorded = pc.Record(u"P").count(u"Calendario.ocx") > 0;
            // This package's share is still counted exactly when it is still recorded, at most one
            // more.
            EXPECT_GE(count, others + (recorded ? 1 : 0));
            EXPECT_LE(count, others + 1);
        }
    }
}

}  // namespace
}  // namespace orvandi
