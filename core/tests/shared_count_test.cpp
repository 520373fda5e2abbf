// Counts as installers keep them, read in any of their forms.
#include <gtest/gtest.h>

#include "core/shared_count.h"
#include "core/tests/fakes.h"

namespace orvandi {

// Counts as other installers keep them (written back in their own form: see the next test).
TEST(SharedCount, ReadsNumbersTextAndBytes) {
    const std::optional<std::uint32_t> no;
    const std::pair<StoredValue, std::optional<std::uint32_t>> reads[] = {
        // clang-format off
        {N(7), 7}, {N(0xFFFFFFFF), 0xFFFFFFFF}, {{kValueNumber, {7, 0, 0}}, no}, {{kValueNumber, {}}, no},
        {Sz(u"12"), 12}, {Sz(std::u16string(u"12\0\0", 4)), 12}, {Sz(u"007"), 7}, {Sz(u"4294967295"), 0xFFFFFFFF},
        {Sz(u"4294967296"), no}, {Sz(u"00000000001"), no}, {Sz(u""), no}, {Sz(std::u16string(u"\0" u"1", 2)), no},
        {Sz(std::u16string(u"1\0" u"2", 3)), no}, {Sz(u" 1"), no}, {Sz(u"-1"), no}, {Sz(u"\uFF11"), no},
        {{kValueText, {'1', 0, 0}}, no},
        {Bin({3}), 3}, {Bin({0x34, 0x12}), 0x1234}, {Bin({1, 0, 0, 0}), 1}, {Bin({}), no}, {Bin({1, 0, 0, 0, 0}), no},
        {{2, Sz(u"1").data}, no}, {{11, {1, 0, 0, 0, 0, 0, 0, 0}}, no},
        // clang-format on
    };
    for (const auto& [stored, count] : reads) {
        const std::optional<SharedCount> read = ParseCount(stored);
        EXPECT_EQ(read ? std::optional(read->value) : no, count)
            << stored.type << " of " << stored.data.size() << " bytes";
    }
}

}  // namespace orvandi
