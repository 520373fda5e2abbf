// The unattended log: appended in UTF-8 to a plain file reached by the very path asked for.
#include <tuple>

#include "platform/tests/platform_test.h"

namespace orvandi {
namespace {

using LogTest = PlatformTest;

// Made by the test's command line (platform/tests/CMakeLists.txt): a Unix symbolic link, which
// Wine follows as Windows follows a link, under the Unix mount point Z:\tmp.
const fs::path kLinks = L"Z:\\tmp\\orvandi-links";

// Appended to in UTF-8. A folder, a second name of another file or a link at its name is refused,
// says what was found and changes nothing; a log under a mount point (Z:\tmp) is written.
TEST_F(LogTest, LogsAreAppendedInUtf8ToAPlainFileReachedAsAsked) {
    for (const Text line : {u"\u00e0\r\n", u"b"}) {
        Win32Log log;
        ASSERT_TRUE(log.Open(T(folder / L"a.log")));
        EXPECT_TRUE(log.Write(line));
    }
    EXPECT_EQ(Contents(folder / L"a.log"), "\xEF\xBB\xBF\xC3\xA0\r\nb");
    fs::create_directory(folder / L"folder.log");
    ASSERT_TRUE(
        CreateHardLinkW((folder / L"second.log").c_str(), (folder / L"a.log").c_str(), nullptr));
    Write(folder / L"beside.log", "its .1 is a folder");
    fs::create_directory(folder / L"beside.log.1");
    // The log, the failure, what it says was found.
    const std::tuple<fs::path, std::int32_t, Text> rows[] = {
        {folder / L"none\\a.log", ERROR_PATH_NOT_FOUND, u""},
        {folder / L"folder.log", ERROR_ACCESS_DENIED, u""},
        {folder / L"second.log", ERROR_CANT_ACCESS_FILE, u"(2 nomi)"},
        {folder / L"beside.log", ERROR_CANT_ACCESS_FILE, u"(collegamento)"},  // its .1: a folder
        {kLinks / L"real\\link.log", ERROR_FILE_EXISTS, u""},                 // leads nowhere
        {kLinks / L"real\\plain.log", 0, u""},
    };
    for (const auto& [path, failure, found] : rows) {
        Win32Log log;
        const Status opened = log.Open(T(path));
        EXPECT_EQ(Failed(opened), failure) << path.string();
        if (!opened) {
            EXPECT_NE(opened.failure().description.find(found), Text::npos) << path.string();
        }
    }
    EXPECT_EQ(Contents(folder / L"a.log"), "\xEF\xBB\xBF\xC3\xA0\r\nb");
    EXPECT_TRUE(fs::is_empty(kLinks / L"target"));
    EXPECT_EQ(Contents(kLinks / L"real\\plain.log"), "\xEF\xBB\xBF");

    // A log past its limit stays where a viewer holds it against deletion.
    const fs::path viewed = folder / L"viewed.log";
    Write(viewed, "held by a viewer");
    const FileHandle viewer = Open(viewed, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    Win32Log log;
    ASSERT_TRUE(log.Open(T(viewed)));
    log.Rotate(3);
    EXPECT_TRUE(log.Write(u"c"));
    EXPECT_EQ(Contents(viewed), "held by a viewerc");
}

}  // namespace
}  // namespace orvandi
