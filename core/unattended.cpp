#include "core/unattended.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "core/entry_list.h"
#include "core/failure.h"
#include "core/scan.h"
#include "core/unattended_control.h"

namespace orvandi {
namespace {

Text TwoDigits(int value) { return Join({value < 10 ? u"0" : u"", Decimal(value)}); }

// "2026-12-07 15:01:34", as Windows Installer and other installers write the time in their logs.
Text Stamp(const LocalTime& t) {
    return Join({Decimal(t.year), u"-", TwoDigits(t.month), u"-", TwoDigits(t.day), u" ",
                 TwoDigits(t.hour), u":", TwoDigits(t.minute), u":", TwoDigits(t.second)});
}

// The listing as a plain list of names: the run takes every entry, so nothing is marked.
class NameList : public EntryList {
  public:
    std::vector<Text> names;

    std::int16_t count() override { return static_cast<std::int16_t>(names.size()); }
    Text name(std::int16_t index) override { return names.at(index); }
    bool marked(std::int16_t) override { return false; }
    void SetMarked(std::int16_t, bool) override {}
    void Append(const Text& name) override { names.push_back(name); }
    void Clear() override { names.clear(); }
};

// The log, when the command line asks for one: lines in Italian, each starting with the date and
// time it was written (a startup script's log holds a run for every boot) and ending in CRLF.
class RunLog {
  public:
    explicit RunLog(UnattendedPlatform& platform) : platform_(platform) {}
    void Open(const Text& path) {
        if (path.empty()) return;
        platform_.OpenLog(ExpandVariables(platform_, path));
        on_ = true;
    }
    // One line, whatever its parts hold: a registry value that a user wrote, or a name in a
    // control file, cannot start a line of its own and pass for the program's.
    void Line(Text text) {
        for (char16_t& c : text) c = c < u' ' ? u' ' : c;
        if (on_) platform_.WriteLog(Join({Stamp(platform_.Now()), u" ", text, kCrLf}));
    }
    bool On() const { return on_; }
    // The run's last line: why it ends, and with which exit code.
    int End(const Text& why, int exitCode) {
        Line(Join({why, u"; codice di uscita ", Decimal(exitCode)}));
        return exitCode;
    }

  private:
    UnattendedPlatform& platform_;
    bool on_ = false;
};

// A log that a startup script appends to at every boot stays bounded: past this size it is moved
// aside for a new one.
constexpr std::uint64_t kLogLimit = 1048576;

// The value of a named package's key that says every control of its last install ended well:
// what a deployment system's detection rule looks for. Controls' values all end in ".ocx".
constexpr char16_t kInstalled[] = u"Installed";

// The controls a package's record holds, in name order.
std::vector<Text> RecordedControls(UnattendedPlatform& platform, const Text& package) {
    std::vector<Text> controls;
    for (const Text& name : platform.RecordNames(package)) {
        const Text upper = Upper(name);
        if (upper.size() < 4 || upper.compare(upper.size() - 4, 4, u".OCX") != 0) continue;
        auto at = controls.begin();  // a few names: a plain insertion keeps them in order
        while (at != controls.end() && Upper(*at) < upper) ++at;
        controls.insert(at, name);
    }
    return controls;
}

int Run(UnattendedPlatform& platform, const Switches& switches, RunLog& log, const Text& arguments,
        const Text& version) {
    // One run at a time, decided before the run touches any file, its log included.
    const RunMark mark = platform.ClaimRun();
    if (mark == RunMark::kTaken && log.On()) platform.RotateLog(kLogLimit);
    const Text systemFolder = ResolveSystemFolder(platform);
    log.Line(Join({u"Orvandi ", version, u", riga di comando: ", arguments,
                   u", cartella di sistema: ", systemFolder}));
    if (mark == RunMark::kAnotherRun) {
        return log.End(u"Un'altra installazione di Orvandi è in corso", kExitAnotherRun);
    }
    if (mark == RunMark::kRefused) {
        return log.End(
            u"Orvandi /S e /U vanno avviati da un amministratore o da SYSTEM: nulla è stato fatto",
            kExitFailed);
    }
    const bool install = switches.mode == RunMode::kInstall;
    const Text& package = switches.package;
    const Text folder = platform.ApplicationFolder();
    NameList controls;
    if (!install && !package.empty()) {
        // A named package is uninstalled from its record alone: its OCX folder may be long gone.
        controls.names = RecordedControls(platform, package);
        if (controls.names.empty()) {
            platform.RemoveRecord(package, kInstalled);
            return log.End(Join({u"Nulla da disinstallare: il pacchetto ", package,
                                 u" non ha installato controlli su questo PC"}),
                           kExitSuccess);
        }
    } else {
        try {
            ScanControlFiles(platform, folder, controls);
        } catch (const Failure& failure) {
            if (!failure.overflow) throw;
            return log.End(u"Più di 32767 file .ocx nella cartella OCX: nessuno installato",
                           kExitFailed);
        }
        // A wrong folder must never empty a package: nothing is released either.
        if (controls.names.empty()) {
            return log.End(Join({u"Nessun file .ocx in ", folder, u"\\OCX"}), kExitFailed);
        }
    }
    // Until every control has ended well, the package does not read as installed: not after a
    // run that fails, nor after one cut short.
    if (!package.empty()) platform.RemoveRecord(package, kInstalled);
    const Text windowsFolder = platform.GetEnvironment(u"windir");
    int total = 0, failed = 0, atRestart = 0;
    // One control, its line starting with `head`; false when nothing more may run beside it.
    const auto visit = [&](const Text& name, const Text& head, bool release) {
        const ControlPaths paths = PathsOf(name, folder, systemFolder, windowsFolder);
        Text line = head;
        Outcome outcome;
        try {
            outcome = release ? UninstallControl(platform, paths, package, line)
                              : InstallControl(platform, paths, package, line);
        } catch (const Failure& failure) {
            line += Join({line == head ? u"" : u"; ", u"non riuscito (", Explain(failure), u")"});
            outcome = Outcome::kFailed;
        }
        log.Line(line);
        ++total;
        failed += outcome == Outcome::kFailed;
        atRestart += outcome == Outcome::kDoneAtRestart;
        return outcome != Outcome::kStop;
    };
    const auto stopped = [&log] {
        return log.End(
            u"Interrotto: nessun altro regsvr32 può partire accanto a uno che non termina",
            kExitFailed);
    };
    for (const Text& name : controls.names) {
        if (!visit(name, Join({name, u": "}), !install)) return stopped();
    }
    // What an earlier install of the package recorded and its folder no longer holds is released,
    // as Windows Installer releases a component an upgrade drops.
    if (install && !package.empty()) {
        for (const Text& name : RecordedControls(platform, package)) {
            const bool listed =
                std::any_of(controls.names.begin(), controls.names.end(),
                            [&](const Text& listed) { return platform.SameName(listed, name); });
            if (!listed && !visit(name, Join({name, u": non più nel pacchetto; "}), true)) {
                return stopped();
            }
        }
        if (failed == 0) platform.WriteRecord(package, kInstalled, Stamp(platform.Now()));
    }
    Text totals = Join({u"Totale ", Decimal(total), u", riusciti ", Decimal(total - failed),
                        u", non riusciti ", Decimal(failed)});
    if (atRestart > 0) {
        totals += Join({u", da completare al riavvio ", Decimal(atRestart)});
    }
    // A failure wins over a restart: the deployment must be seen to have failed.
    return log.End(totals, failed > 0 ? kExitFailed : atRestart > 0 ? kExitRestart : kExitSuccess);
}

// Whatever ends the program by a fault of its own ends it with 1603, said in the log when there
// is one.
int EndUnexpectedly(UnattendedPlatform& platform, const Text& what) {
    try {
        platform.WriteLog(Join({Stamp(platform.Now()), u" Errore imprevisto (", what,
                                u"); codice di uscita ", Decimal(kExitFailed), kCrLf}));
    } catch (...) {
        // No log, or it failed too: the exit code is all that is left to tell.
    }
    return kExitFailed;
}

}  // namespace

Text ExpandVariables(Platform& platform, const Text& path) {
    Text expanded;
    std::size_t at = 0;
    for (std::size_t open; (open = path.find(u'%', at)) != Text::npos;) {
        const std::size_t close = path.find(u'%', open + 1);
        if (close == Text::npos) break;
        const Text value = close > open + 1
                               ? platform.GetEnvironment(path.substr(open + 1, close - open - 1))
                               : Text();
        if (value.empty()) {  // unset: kept as written, and its closing % may open the next one
            expanded += path.substr(at, close - at);
            at = close;
        } else {
            expanded += path.substr(at, open - at) + value;
            at = close + 1;
        }
    }
    return expanded + path.substr(at);
}

int RunUnattended(UnattendedPlatform& platform, const Switches& switches, const Text& arguments,
                  const Text& version) {
    if (switches.mode == RunMode::kBadCommandLine) return kExitBadCommandLine;
    if (switches.mode == RunMode::kHelp) return ShowHelp(platform);
    platform.CatchFatal(EndUnexpectedly);
    RunLog log(platform);
    try {
        log.Open(switches.logPath);
    } catch (...) {
        return kExitLogFailed;  // with nobody to tell, nothing is done without a log asked for
    }
    Text why;
    try {
        return Run(platform, switches, log, arguments, version);
    } catch (const Failure& failure) {
        why = Join({u"Errore imprevisto (", Explain(failure), u")"});
    } catch (...) {
        why = u"Errore imprevisto";
    }
    try {
        log.End(why, kExitFailed);
    } catch (...) {
        // The log itself failed: the exit code is all that is left to tell.
    }
    return kExitFailed;
}

}  // namespace orvandi
