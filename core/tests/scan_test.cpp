#include <gtest/gtest.h>

#include "core/scan.h"
#include "core/tests/vector_entry_list.h"
#include "platform/recording_platform.h"

namespace orvandi {
namespace {

TEST(ScanControlFiles, KeepsTheListingOrderAndUsesThePatternAsBuilt) {
    RecordingPlatform platform;
    platform.listing = {u"b.ocx", u"A.OCX", u"My Control.ocx", u"\u00e0.ocx"};
    VectorEntryList list;
    // A trailing separator in the folder text is kept, never collapsed.
    ScanControlFiles(platform, u"C:\\App\\", list);

    EXPECT_EQ(list.names, platform.listing);
    EXPECT_EQ(list.marks, std::vector<bool>(4, false));
    const auto first = platform.CallsOf("ListFirst");
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].arguments, (std::vector<Text>{u"C:\\App\\\\OCX\\*.ocx", u"0"}));
    EXPECT_EQ(platform.CallsOf("ListNext").size(), 4u);  // the fourth returns the end
}

TEST(ScanControlFiles, StopsAtTheFirstEmptyName) {
    RecordingPlatform platform;
    platform.listing = {u"", u"late.ocx"};
    VectorEntryList list;
    ScanControlFiles(platform, u"C:\\App", list);
    EXPECT_TRUE(list.names.empty());
    EXPECT_TRUE(platform.CallsOf("ListNext").empty());
}

TEST(ScanControlFiles, KeepsTheFirst32767NamesAndRaisesOverflowOnTheNext) {
    RecordingPlatform platform;
    for (int i = 0; i < 32769; ++i) platform.listing.push_back(Decimal(i) + u".ocx");
    VectorEntryList list;
    try {
        ScanControlFiles(platform, u"C:\\App", list);
        FAIL() << "no overflow";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number, kOverflowNumber);
        EXPECT_EQ(failure.description, u"Overflow");
    }
    ASSERT_EQ(list.names.size(), 32767u);
    EXPECT_EQ(list.names.back(), u"32766.ocx");
}

TEST(ScanControlFiles, LeavesAListingFailureToTheCaller) {
    RecordingPlatform platform;
    platform.listing = {u"a.ocx", u"b.ocx"};
    platform.Fail("ListNext", u"", Failure{5, u"Access denied."});
    VectorEntryList list;
    EXPECT_THROW(ScanControlFiles(platform, u"C:\\App", list), Failure);
    EXPECT_EQ(list.names, std::vector<Text>{u"a.ocx"});
}

TEST(ResolveSystemFolder, ChoosesTheSuffixByWhetherOsIsSet) {
    struct Row {
        std::optional<Text> os, windir;
        Text expected;
    };
    const Row rows[] = {
        {u"Windows_NT", u"C:\\WINDOWS", u"C:\\WINDOWS\\SYSTEM32"},
        {u"anything at all", u"C:\\WINDOWS", u"C:\\WINDOWS\\SYSTEM32"},
        {u"", u"C:\\WINDOWS", u"C:\\WINDOWS\\SYSTEM"},
        {std::nullopt, u"C:\\WINDOWS", u"C:\\WINDOWS\\SYSTEM"},
        {u"Windows_NT", std::nullopt, u"\\SYSTEM32"},
        {std::nullopt, std::nullopt, u"\\SYSTEM"},
        {u"Windows_NT", u"c:\\windows\\", u"c:\\windows\\\\SYSTEM32"},
    };
    for (const Row& row : rows) {
        RecordingPlatform platform;
        if (row.os) platform.environment[u"OS"] = *row.os;
        if (row.windir) platform.environment[u"windir"] = *row.windir;
        EXPECT_EQ(ResolveSystemFolder(platform), row.expected);
    }
}

}  // namespace
}  // namespace orvandi
