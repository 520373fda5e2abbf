// What the window offers, and where it installs.
#include <gtest/gtest.h>

#include <tuple>

#include "core/scan.h"
#include "core/tests/fakes.h"

namespace orvandi {

TEST(ScanControlFiles, ListsInOrderUntilTheFirstEmptyNameThenCloses) {
    FakePorts fake;
    FakeList list(fake.journal);
    fake.files.listing = {u"b.ocx", u"A.OCX", u"\u00e0 b.ocx", u"", u"late.ocx"};
    EXPECT_TRUE(ScanControlFiles(fake.files, u"C:\\App\\", list));  // a trailing separator is kept
    EXPECT_EQ(list.names,
              std::vector<Text>(fake.files.listing.begin(), fake.files.listing.begin() + 3));
    EXPECT_EQ(fake.journal.calls,
              u"ListFirst C:\\App\\\\OCX\\*.ocx 0\nListNext\nListNext\nListNext\nListClose\n");
}

TEST(ResolveSystemFolder, AddsTheSuffixByWhetherOsIsSet) {
    for (auto [os, windir, folder] : {std::tuple{u"Windows_NT", u"C:\\W", u"C:\\W\\SYSTEM32"},
                                      {u"x", u"C:\\W\\", u"C:\\W\\\\SYSTEM32"},
                                      {u"", u"C:\\W", u"C:\\W\\SYSTEM"},
                                      {u"", u"", u"\\SYSTEM"}}) {
        FakePorts fake;
        fake.system.environment = {{u"OS", os}, {u"windir", windir}};
        EXPECT_EQ(*ResolveSystemFolder(fake.system), folder);
    }
}

}  // namespace orvandi
