// Unattended runs through the fakes: what is done in which order, the exit code, and where it is
// read (log, event, the package's key). The words: see report_test.cpp.
#include <gtest/gtest.h>

#include "core/record.h"
#include "core/tests/fakes.h"
#include "core/unattended.h"

namespace orvandi {

const Text kPackageKey = u"SOFTWARE\\Orvandi\\Packages\\P";
const Text kSys = u"C:\\W\\SYSTEM32\\";

struct Pc : FakePorts {
    Pc() {
        registry.machine[u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion"][u"ProgramFilesDir"] =
            TextValue(u"C:\\Programmi");
        files.facts[u"C:\\App\\Orvandi.exe"] = {false, 1, {}, false};
    }
    int Run(RunMode mode, const Text& package = u"P", const Text& log = u"%windir%\\x.log") {
        return RunUnattended(ports, {mode, log, package, {}}, u"ARGS", u"1.00");
    }
    // The log's lines, each checked for its time stamp.
    std::vector<Text> Lines() {
        std::vector<Text> lines;
        for (std::size_t at = 0, end; at < log.text.size(); at = end + 2) {
            end = log.text.find(u"\r\n", at);
            EXPECT_EQ(log.text.compare(at, 20, u"2026-12-07 09:05:30 "), 0);
            lines.push_back(log.text.substr(at + 20, end - at - 20));
        }
        return lines;
    }
    std::optional<StoredValue> Value(const Text& name) { return registry.Value(kPackageKey, name); }
};

bool Has(const Text& text, const Text& part) { return text.find(part) != Text::npos; }

// An install: the mark, the log rotated first, a line per control, the program kept, the
// package's key, one event.
TEST(RunUnattended, InstallsEveryControlOnceItHoldsTheRunsMark) {
    Pc pc;
    pc.files.listing = {u"Ok.ocx", u"Guasto.ocx"};
    pc.processes.finished[u"Guasto"] = {Ending::kExited, 5};
    pc.registry.machine[kPackageKey][u"Vecchio.ocx"] = TextValue(u"1.0.0.0");
    EXPECT_EQ(pc.Run(RunMode::kInstall), 1603);
    const std::vector<Text> lines = pc.Lines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_TRUE(Has(lines[0], u"riga di comando: ARGS, cartella di sistema: C:\\W\\SYSTEM32"));
    EXPECT_TRUE(Has(lines[1], u"Ok.ocx: copiato") && Has(lines[2], u"Guasto.ocx: copiato"));
    EXPECT_TRUE(Has(lines[3], u"Vecchio.ocx: non più nel pacchetto"))
        << "released after the folder's own";
    EXPECT_TRUE(Has(lines[4], u"Totale 3") && Has(lines[4], u"; durata "));
    const Text& calls = pc.journal.calls;
    EXPECT_EQ(calls.find(u"OpenLog C:\\W\\x.log\nClaimRun\nRotateLog 1048576\n"), 0u);
    EXPECT_LT(calls.find(u"LastRun"), calls.find(u"AdministratorsFolder C:\\Programmi\\Orvandi\n"));
    EXPECT_LT(calls.find(u"AdministratorsFolder"), calls.find(u"ListFirst"));
    EXPECT_EQ(pc.Value(u"LastRun"), TextValue(u"2026-12-07 09:05:30"));
    const auto code =
        std::find_if(pc.registry.written.begin(), pc.registry.written.end(),
                     [](const auto& value) { return value.first == u"LastExitCode"; });
    EXPECT_EQ(code->second, N(1603)) << "until it ends, a run reads as failed";
    EXPECT_EQ(pc.Value(u"LastExitCode"), N(1603));
    EXPECT_EQ(pc.Value(u"FailedControls"), TextsValue({u"Guasto.ocx"}));
    EXPECT_EQ(pc.Value(kInstalled), std::nullopt);
    ASSERT_EQ(pc.events.reported.size(), 1u);
    EXPECT_TRUE(Has(calls, u"Event 1603 error\n"));
    EXPECT_EQ(
        pc.registry.Value(u"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Orvandi",
                          u"EventMessageFile"),
        TextValue(u"C:\\Programmi\\Orvandi\\Orvandi.exe"));
    EXPECT_EQ(pc.log.fatal, u"Errore imprevisto (eccezione 0xC0000005); codice di uscita 1603 1603")
        << "the last line a fault writes, prepared before anything is done";
}

// Runs that end before any control: what each does and leaves undone.
TEST(RunUnattended, RunsThatEndBeforeAnyControl) {
    const struct {
        const char* what;
        RunMode mode;
        int exitCode;
        void (*set)(Pc&);
        bool claimed, event;   // the run's mark was asked for; an event was written
        bool lastRun = false;  // the package's key tells of the run
        bool output = false, box = false;
    } rows[] = {
        // clang-format off
        {"a bad command line: what is wrong, on the output", RunMode::kBadCommandLine, 87,
         [](Pc& pc) { pc.system.output = true; }, false, true},
        {"the help on the output", RunMode::kHelp, 0, [](Pc& pc) { pc.system.output = true; }, false, false, false, true},
        {"the help in a box", RunMode::kHelp, 0, [](Pc&) {}, false, false, false, false, true},
        {"the help where nobody can see it", RunMode::kHelp, 87, [](Pc& pc) { pc.system.visible = false; }, false, true},
        {"a log that cannot be opened: nothing done", RunMode::kInstall, 1622,
         [](Pc& pc) { pc.journal.Fail(u"OpenLog"); }, false, true},
        {"a log that fails: nothing more done", RunMode::kInstall, 1603,
         [](Pc& pc) { pc.journal.Fail(u"LogWrite"); }, true, true},
        {"another run", RunMode::kUninstall, 1618, [](Pc& pc) { pc.files.mark = RunMark::kAnotherRun; }, true, true},
        {"a standard user's run", RunMode::kInstall, 1603, [](Pc& pc) { pc.files.mark = RunMark::kRefused; }, true, true},
        {"no controls", RunMode::kInstall, 1603, [](Pc&) {}, true, true, true},
        {"more than the window can list", RunMode::kInstall, 1603,
         [](Pc& pc) { pc.files.listing = std::vector<Text>(32768, u"e.ocx"); }, true, true, true},
        {"Windows' error 6 is no overflow", RunMode::kInstall, 1603, [](Pc& pc) { pc.journal.Fail(u"ListFirst", 6); },
         true, true, true},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Pc pc;
        row.set(pc);
        EXPECT_EQ(pc.Run(row.mode), row.exitCode);
        EXPECT_EQ(Has(pc.journal.calls, u"OpenLog"),
                  row.mode != RunMode::kBadCommandLine && row.mode != RunMode::kHelp);
        EXPECT_EQ(Has(pc.journal.calls, u"ClaimRun"), row.claimed);
        EXPECT_EQ(pc.events.reported.size(), row.event ? 1u : 0u);
        for (const auto& event : pc.events.reported)
            EXPECT_EQ(event.id, std::uint32_t(row.exitCode));
        EXPECT_FALSE(Has(pc.journal.calls, u"Run regsvr32"));
        EXPECT_EQ(Has(pc.system.written, u"1618  un'altra installazione"), row.output);
        EXPECT_EQ(Has(pc.system.written, u"Riga di comando non valida"),
                  row.mode == RunMode::kBadCommandLine);
        EXPECT_EQ(Has(pc.journal.calls, u"Message Orvandi installa"), row.box);
        EXPECT_EQ(pc.Value(u"LastRun").has_value(), row.lastRun);
    }
}

// A regsvr32 that could not be ended still runs: nothing more may start beside it.
TEST(RunUnattended, StopsAtARegsvr32ThatCannotBeEnded) {
    Pc pc;
    pc.files.listing = {u"Fermo.ocx", u"Ok.ocx"};
    pc.processes.finished[u"Fermo"] = {Ending::kWouldNotEnd, 1};
    EXPECT_EQ(pc.Run(RunMode::kInstall), 1603);
    EXPECT_FALSE(Has(pc.journal.calls, u"Ok.ocx"));
    EXPECT_EQ(pc.Lines().size(), 3u);
}

// A control replaced in use: 3010, and a warning. An event that cannot be written, or a program
// that cannot be kept, is logged; the code stays.
TEST(RunUnattended, WhatCannotBeKeptOrReportedIsLogged) {
    Pc pc;
    pc.files.listing = {u"Usato.ocx"};
    pc.files.inUse.insert(kSys + u"Usato.ocx");
    pc.journal.Fail(u"Event 3010 warning\n");
    pc.journal.Fail(u"AdministratorsFolder");
    EXPECT_EQ(pc.Run(RunMode::kInstall), 3010);
    const std::vector<Text> lines = pc.Lines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_TRUE(
        Has(lines[1], u"Copia di Orvandi in C:\\Programmi\\Orvandi non riuscita (errore 5"));
    EXPECT_TRUE(Has(lines[4], u"Evento non scritto nel registro Applicazione (errore 5"));
}

// A check changes nothing; a line per difference on the output and in the log.
TEST(RunUnattended, ChecksAPackageChangingNothing) {
    Pc pc;
    pc.system.output = true;
    pc.registry.machine[kPackageKey][u"LastExitCode"] = N(0);
    EXPECT_EQ(pc.Run(RunMode::kCheck), 1);
    EXPECT_EQ(pc.journal.calls, u"OpenLog C:\\W\\x.log\n");
    EXPECT_TRUE(pc.events.reported.empty());
    EXPECT_EQ(pc.system.written,
              u"Manca Installed: l'ultima installazione del pacchetto non è finita bene\r\n");
    EXPECT_EQ(pc.Lines().size(), 3u);
}

}  // namespace orvandi
