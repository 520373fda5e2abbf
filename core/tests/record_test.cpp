// A package's record: versions as text, controls in name order, the key gone with its last value.
#include <gtest/gtest.h>

#include "core/record.h"
#include "core/tests/fakes.h"

namespace orvandi {

TEST(Record, VersionsAsText) {
    const std::pair<Text, std::optional<std::uint64_t>> rows[] = {
        {u"1.2.3.4", 0x0001000200030004},
        {u"65535.0.0.0", 0xFFFF000000000000},
        {u"0.0.0.0", 0},
        {u"65536.0.0.0", std::nullopt},
        {u"1.2.3", std::nullopt},
        {u"1.2.3.4.5", std::nullopt},
        {u"1..3.4", std::nullopt},
        {u" 1.2.3.4", std::nullopt},
        {u"000001.2.3.4", std::nullopt},
        {u"", std::nullopt},
    };
    for (const auto& [text, version] : rows) {
        EXPECT_EQ(ParseVersion(text), version) << Narrow(text);
        if (version) {
            EXPECT_EQ(VersionText(*version), text);
        }
    }
}

TEST(Record, ControlsInNameOrderAndTheKeyGoneWithItsLastValue) {
    FakePorts fake;
    const Text key = RecordKey(u"P");
    for (const Text name :
         {u"b.ocx", u"A.OCX", u"Installed", u"b.ocx.Classes", u"LastRun", u"c.ocx"}) {
        fake.registry.machine[key][name] = TextValue(u"1.0.0.0");
    }
    EXPECT_EQ(*RecordedControls(fake.registry, u"P"),
              (std::vector<Text>{u"A.OCX", u"b.ocx", u"c.ocx"}));
    EXPECT_TRUE(RemoveRecord(fake.registry, u"P", u"b.ocx"));
    EXPECT_EQ(fake.registry.machine[key].count(u"b.ocx.Classes"), 0u) << "its classes go with it";
    EXPECT_TRUE(ForgetPackage(fake.registry, u"P"));
    EXPECT_EQ(fake.registry.machine.count(key), 1u) << "controls are left";
    for (const Text name : {u"A.OCX", u"c.ocx"})
        EXPECT_TRUE(RemoveRecord(fake.registry, u"P", name));
    EXPECT_EQ(fake.registry.machine.count(key), 0u);
    fake.registry.machine[RecordKey(u"")][u"d.ocx"] = TextValue(u"1.0.0.0");
    EXPECT_TRUE(RemoveRecord(fake.registry, u"", u"d.ocx"));
    EXPECT_EQ(fake.registry.machine.count(u"SOFTWARE\\Orvandi\\Controls"), 1u)
        << "the unnamed key stays: every unnamed run shares it";
}

}  // namespace orvandi
