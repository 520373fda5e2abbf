// What the command line asks for.
#include <gtest/gtest.h>

#include <tuple>

#include "core/command_line.h"
#include "core/tests/fakes.h"

namespace orvandi {

// What the command line asks for, and whether a window could be seen at all (a window nobody sees
// would wait for ever). A package's name becomes a registry key's.
TEST(ParseCommandLine, KnowsExactlyItsSwitches) {
    const RunMode window = RunMode::kWindow, install = RunMode::kInstall,
                  uninstall = RunMode::kUninstall, check = RunMode::kCheck, help = RunMode::kHelp,
                  bad = RunMode::kBadCommandLine;
    const Text longest(64, u'p');
    std::vector<std::tuple<Text, bool, RunMode, Text, Text>> rows = {
        // clang-format off
        {u"", true, window, u"", u""}, {u"leggimi.txt \u2013S", true, window, u"", u""},
        {u"", false, bad, u"", u""}, {u"leggimi.txt \u2013S", false, bad, u"", u""},
        {u"/S", false, install, u"", u""}, {u"-s", true, install, u"", u""},
        {u" /s\t-U", true, uninstall, u"", u""}, {u"/u /log=C:\\x.log", true, uninstall, u"C:\\x.log", u""},
        {u"-LOG=\"C:\\a b\\x.log\" /S", true, install, u"C:\\a b\\x.log", u""},
        {u"\"/Log=C:\\a b.log\" /S", true, install, u"C:\\a b.log", u""},
        {u"/S /Package=\"Contabilit\u00e0 2.0_a-b\"", true, install, u"", u"Contabilit\u00e0 2.0_a-b"},
        {u"-package=" + longest + u" /U", true, uninstall, u"", longest},
        {u"/?", false, help, u"", u""}, {u"leggimi.txt /S /X -?", true, help, u"", u""},
        {u"/h", true, help, u"", u""}, {u"/S -H", true, help, u"", u""},
        {u"-check /package=P", false, check, u"", u"P"}, {u"/Check /LOG=c.log /PACKAGE=P", true, check, u"c.log", u"P"},
        // clang-format on
    };
    // clang-format off
    for (const char16_t* line : {u"/S -S", u"/S/U", u"/S /LOG=", u"/LOG=x", u"/S /LOG=C:\\a b.log", u"/S /Q",
                                 u"/S \u2013U", u"/S -", u"/S /PACKAGE=", u"/S \"/PACKAGE= a\"", u"/S \"/PACKAGE=a \"",
                                 u"/S /PACKAGE=a\\b", u"/S /PACKAGE=\u20acuro", u"/S /PACKAGE=a /PACKAGE=a", u"/PACKAGE=a",
                                 u"/S /Help", u"/CHECK", u"/CHECK /S /PACKAGE=P", u"/U /CHECK /PACKAGE=P",
                                 u"/CHECK /PACKAGE=a\\b"}) {
        // clang-format on
        rows.emplace_back(line, true, bad, u"", u"");
    }
    rows.emplace_back(u"/S /PACKAGE=" + longest + u"p", true, bad, u"", u"");
    for (const auto& [arguments, visible, mode, log, package] : rows) {
        FakePorts fake;
        fake.system.visible = visible;
        const Switches switches = ParseCommandLine(fake.system, arguments);
        EXPECT_EQ(switches.mode, mode) << std::string(arguments.begin(), arguments.end());
        EXPECT_EQ(switches.logPath, log);
        EXPECT_EQ(switches.package, package);
    }
}

// A bad command line says what is wrong with it.
TEST(ParseCommandLine, SaysWhatIsWrong) {
    const std::pair<Text, Text> rows[] = {
        {u"/S /Q", u"parola sconosciuta: /Q"},
        {u"/S -s", u"opzione ripetuta: /s"},
        {u"/LOG=x", u"manca /S, /U o /CHECK"},
        {u"/CHECK /U /PACKAGE=P", u"/CHECK non va con /S né con /U"},
        {u"/CHECK", u"/CHECK vuole /PACKAGE=nome"},
        {u"/S /LOG=", u"/LOG= senza percorso"},
        {u"/S \"/PACKAGE=a \"",
         u"nome di pacchetto non valido (da 1 a 64 lettere, cifre, spazi e .-_, "
         u"senza spazi in testa o in coda): a "},
    };
    for (const auto& [arguments, problem] : rows) {
        FakePorts fake;
        EXPECT_EQ(ParseCommandLine(fake.system, arguments).problem, problem) << Narrow(arguments);
    }
    FakePorts hidden;
    hidden.system.visible = false;
    EXPECT_EQ(ParseCommandLine(hidden.system, u"x").problem,
              u"senza opzioni, dove nessuno può vedere la finestra");
}

// A deployment system may hand the log's path over with its variables unexpanded.
TEST(ExpandVariables, ReplacesSetVariablesAndKeepsTheRest) {
    FakePorts fake;
    fake.system.environment = {{u"ProgramData", u"C:\\P"}, {u"windir", u"C:\\W"}};
    const std::pair<Text, Text> rows[] = {
        {u"%ProgramData%\\x.log", u"C:\\P\\x.log"},
        {u"%windir%%ProgramData%", u"C:\\WC:\\P"},
        {u"%UNSET%\\%windir%", u"%UNSET%\\C:\\W"},
        {u"100%\\%windir", u"100%\\%windir"},
        {u"%%windir%", u"%C:\\W"},
        {u"C:\\x.log", u"C:\\x.log"},
    };
    for (const auto& [path, expanded] : rows)
        EXPECT_EQ(*ExpandVariables(fake.system, path), expanded);
}

}  // namespace orvandi
