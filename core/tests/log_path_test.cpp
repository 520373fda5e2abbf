// Whether a log may be written where it was asked for: its final path, its owner.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "core/log_path.h"
#include "core/text.h"

namespace orvandi {

// Names compared as Windows compares them (here: without case).
bool SameName(const Text& a, const Text& b) { return Upper(a) == Upper(b); }

// The final path Windows gives, the path asked for, whether they are one.
TEST(LogPath, TheFinalPathIsThePathAskedFor) {
    const std::tuple<Text, Text, bool> rows[] = {
        {u"\\\\?\\C:\\Logs\\run.log", u"c:\\logs\\RUN.log", true},
        {u"\\\\?\\UNC\\server\\share\\run.log", u"\\\\server\\share\\run.log", true},
        {u"\\\\?\\C:\\Logs", u"C:\\Logs\\", true},  // a folder asked with its separator
        {u"\\\\?\\C:\\", u"C:\\", true},            // a drive's root
        {u"\\\\?\\C:\\Windows\\System32\\run.log", u"C:\\Logs\\run.log", false},  // a junction
        {u"\\\\?\\C:\\Logs\\run.log", u"S:\\run.log", false},                     // a SUBST drive
        {u"\\\\?\\UNC\\server\\share\\run.log", u"L:\\run.log", false},           // a network drive
        {u"\\\\?\\C:\\Logs\\run.log", u"\\\\?\\C:\\Logs\\run.log", true},
        {u"\\\\?\\C:\\Logs\\run.log.1", u"C:\\Logs\\run.log", false},
        {u"\\\\?\\Volume{1b3c}\\run.log", u"C:\\Mount\\run.log", false},  // no drive, no folder
    };
    for (const auto& [final, asked, same] : rows) {
        EXPECT_EQ(SameFinalPath(final, asked, SameName), same)
            << std::string(final.begin(), final.end());
    }
}

// Administrators, SYSTEM, TrustedInstaller and the run's own user may own the log; nobody else.
TEST(LogPath, OnlyAdministratorsOrTheRunsUserOwnTheLog) {
    const Text run = u"S-1-5-21-1-2-3-1001";
    const std::tuple<Text, Text, bool> rows[] = {
        {kAdministratorsSid, run, true},
        {kSystemSid, run, true},
        {kTrustedInstallerSid, run, true},
        {run, run, true},
        {u"S-1-5-21-1-2-3-1002", run, false},  // another user
        {u"S-1-5-32-545", run, false},         // Users
        {u"S-1-1-0", run, false},              // Everyone
        {u"", u"", false},                     // no owner, no user
    };
    for (const auto& [owner, user, trusted] : rows) {
        EXPECT_EQ(TrustedOwner(owner, user), trusted) << std::string(owner.begin(), owner.end());
    }
}

}  // namespace orvandi
