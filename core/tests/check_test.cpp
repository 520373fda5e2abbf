// A package's check, changing nothing. P records Calendario.ocx 1.2.3.4 with its class {C1}, and
// Vecchio.ocx without a version or classes, as earlier releases recorded it.
#include <gtest/gtest.h>

#include "core/check.h"
#include "core/record.h"
#include "core/tests/fakes.h"

namespace orvandi {

const Text kCalendario = u"C:\\W\\SYSTEM32\\Calendario.ocx";
constexpr std::uint64_t kV4 = 0x0001000200030004;

struct Pc : FakePorts {
    std::map<Text, StoredValue>& record = registry.machine[RecordKey(u"P")];
    Pc() {
        record = {{kInstalled, TextValue(u"2026-12-07 09:05:30")},
                  {u"LastExitCode", N(0)},
                  {u"Calendario.ocx", TextValue(u"1.2.3.4")},
                  {u"Calendario.ocx.Classes", TextsValue({u"{C1}"})},
                  {u"Vecchio.ocx", TextValue(u"0.0.0.0")}};
        files.versions[kCalendario] = kV4;
        registry.machine[u"SOFTWARE\\Classes\\CLSID\\{C1}\\InprocServer32"][u""] =
            TextValue(kCalendario);
    }
};

TEST(CheckPackage, ComparesThePcWithTheRecord) {
    using D = Difference;
    const struct {
        const char* what;
        void (*change)(Pc&);
        std::vector<D::Kind> differences;
    } rows[] = {
        // clang-format off
        {"as installed", [](Pc&) {}, {}},
        {"a newer copy since", [](Pc& pc) { pc.files.versions[kCalendario] = kV4 + 1; }, {}},
        {"no Installed: the last install did not end well", [](Pc& pc) { pc.record.erase(kInstalled); },
         {D::kNotInstalled}},
        {"a copy deleted", [](Pc& pc) { pc.files.absent.insert(kCalendario); }, {D::kNoCopy}},
        {"an older copy in its place", [](Pc& pc) { pc.files.versions[kCalendario] = kV4 - 1; }, {D::kOlder}},
        {"a copy without a version in its place", [](Pc& pc) { pc.files.versions.erase(kCalendario); }, {D::kOlder}},
        {"the control without a version deleted", [](Pc& pc) { pc.files.absent.insert(u"C:\\W\\SYSTEM32\\Vecchio.ocx"); },
         {D::kNoCopy}},
        {"a class no longer registered",
         [](Pc& pc) { pc.registry.machine.erase(u"SOFTWARE\\Classes\\CLSID\\{C1}\\InprocServer32"); }, {D::kClassGone}},
        {"a class registered to another file", [](Pc& pc) {
             pc.registry.machine[u"SOFTWARE\\Classes\\CLSID\\{C1}\\InprocServer32"][u""] = TextValue(u"C:\\Altro.ocx"); },
         {D::kClassElsewhere}},
        {"a version changed by hand", [](Pc& pc) { pc.record[u"Calendario.ocx"] = TextValue(u"uno"); },
         {D::kUnreadableVersion}},
        {"a control's value that is no text", [](Pc& pc) { pc.record[u"Calendario.ocx"] = N(1); },
         {D::kUnreadableVersion}},
        {"classes that are no list", [](Pc& pc) { pc.record[u"Calendario.ocx.Classes"] = TextValue(u"{C1}"); },
         {D::kUnreadableClasses}},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Pc pc;
        row.change(pc);
        const auto before = pc.registry.machine;
        const Result<CheckOutcome> outcome = CheckPackage(pc.ports, u"P", u"C:\\W\\SYSTEM32");
        ASSERT_TRUE(outcome && outcome->known);
        std::vector<D::Kind> kinds;
        for (const Difference& d : outcome->differences) kinds.push_back(d.kind);
        EXPECT_EQ(kinds, row.differences);
        EXPECT_TRUE(pc.registry.machine == before && pc.journal.calls.find(u"Write") == Text::npos)
            << "changed something";
    }
    FakePorts unknown;
    EXPECT_FALSE(CheckPackage(unknown.ports, u"P", u"C:\\W\\SYSTEM32")->known);
}

}  // namespace orvandi
