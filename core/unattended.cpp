#include "core/unattended.h"

#include <algorithm>
#include <vector>

#include "core/check.h"
#include "core/control_steps.h"
#include "core/kept_program.h"
#include "core/outcome.h"
#include "core/record.h"
#include "core/report.h"
#include "core/scan.h"

namespace orvandi {
namespace {

// A log that a startup script appends to at every boot stays bounded: past this size it is moved
// aside for a new one.
constexpr std::uint64_t kLogLimit = 1048576;

// The listing as a plain list of names: the run takes every entry, so nothing is marked.
class NameList : public EntryList {
  public:
    std::vector<Text> names;

    Result<std::int16_t> count() override { return static_cast<std::int16_t>(names.size()); }
    Result<Text> name(std::int16_t index) override { return names[index]; }
    Result<bool> marked(std::int16_t) override { return false; }
    Status SetMarked(std::int16_t, bool) override { return Status(); }
    Status Append(const Text& name) override {
        names.push_back(name);
        return Status();
    }
    void Clear() override { names.clear(); }
};

// The log, when the command line asks for one: lines in Italian, each starting with the date and
// time it was written (a startup script's log holds a run for every boot) and ending in CRLF. A
// write that fails is kept, for the run to end on.
class RunLog {
  public:
    explicit RunLog(Ports& ports) : ports_(ports) {}
    bool on = false;
    std::optional<Failure> failure;

    // One line, whatever its parts hold: a registry value that a user wrote, or a name in a
    // control file, cannot start a line of its own and pass for the program's.
    void Line(Text text) {
        if (!on || failure) return;
        for (char16_t& c : text) c = c < u' ' ? u' ' : c;
        const Status written =
            ports_.log.Write(Join({Stamp(ports_.clock.Now()), u" ", text, kCrLf}));
        if (!written) failure = written.failure();
    }

  private:
    Ports& ports_;
};

// The run between its first and its last line, for an install or an uninstall; `run` says how it
// ended. `locked`: it took the run's mark.
class Work {
  public:
    Work(Ports& ports, RunLog& log, RunOutcome& run) : p_(ports), log_(log), run_(run) {}
    bool locked = false;

    bool Do() {
        const Result<RunMark> mark = p_.files.ClaimRun();
        if (!mark) return Fail(mark.failure());
        // One run at a time, decided before the run touches any file but its log.
        if (*mark == RunMark::kTaken && log_.on) p_.log.Rotate(kLogLimit);
        const Result<Text> systemFolder = ResolveSystemFolder(p_.system);
        const Result<Text> folder = p_.system.ApplicationFolder();
        const Result<Text> windowsFolder = p_.system.GetEnvironment(u"windir");
        if (systemFolder) run_.systemFolder = *systemFolder;
        log_.Line(FirstLine(run_));
        if (log_.failure) return Fail(*log_.failure);
        if (*mark == RunMark::kAnotherRun) return Stop(RunEnd::kAnotherRun);
        if (*mark == RunMark::kRefused) return Stop(RunEnd::kRefused);
        locked = true;
        if (!systemFolder || !folder || !windowsFolder) {
            return Fail(!systemFolder ? systemFolder.failure()
                        : !folder     ? folder.failure()
                                      : windowsFolder.failure());
        }
        run_.applicationFolder = *folder;
        windowsFolder_ = *windowsFolder;
        if (Named()) {
            if (Status started = RecordRunStart(p_.registry, run_.package, run_.started);
                !started) {
                return Fail(started.failure());
            }
        }
        if (Install()) KeepThisProgram();
        return Visit();
    }

  private:
    bool Install() const { return run_.mode == RunMode::kInstall; }
    bool Named() const { return !run_.package.empty(); }
    // The run ends here: false, for the steps to stop.
    bool Stop(RunEnd end) {
        run_.end = end;
        return false;
    }
    bool Fail(const Failure& failure) {
        run_.failure = failure;
        return Stop(RunEnd::kUnexpected);
    }

    // What the events' text comes from, and what /CHECK runs from later. A copy that fails says
    // so in the log and fails nothing else: the controls are what the run installs.
    void KeepThisProgram() {
        const Result<Text> folder = KeptProgramFolder(p_.registry);
        const Status kept = folder ? KeepProgram(p_, *folder) : folder.status();
        if (!kept) log_.Line(ProgramNotKept(folder ? *folder : Text(), kept.failure()));
    }

    // The controls to visit, then each of them; false when the run ended on the way.
    bool Visit() {
        NameList controls;
        if (!Install() && Named()) {
            // A named package is uninstalled from its record alone: its OCX folder may be long
            // gone.
            Result<std::vector<Text>> recorded = RecordedControls(p_.registry, run_.package);
            if (!recorded) return Fail(recorded.failure());
            if (recorded->empty()) return Stop(RunEnd::kNothingToUninstall);
            controls.names = std::move(*recorded);
        } else {
            const Status scanned = ScanControlFiles(p_.files, run_.applicationFolder, controls);
            if (!scanned && scanned.failure().overflow) return Stop(RunEnd::kTooMany);
            if (!scanned) return Fail(scanned.failure());
            // A wrong folder must never empty a package: nothing is released either.
            if (controls.names.empty()) return Stop(RunEnd::kNothingToInstall);
        }
        // Until every control has ended well, the package does not read as installed: not after
        // a run that fails, nor after one cut short.
        if (Named()) {
            if (Status removed = RemovePackageValue(p_.registry, run_.package, kInstalled);
                !removed) {
                return Fail(removed.failure());
            }
        }
        for (const Text& name : controls.names) {
            if (!One(name, !Install(), false)) return false;
        }
        if (Install() && Named()) return ReleaseDropped(controls.names);
        return true;
    }

    // What an earlier install of the package recorded and its folder no longer holds is released,
    // as Windows Installer releases a component an upgrade drops.
    bool ReleaseDropped(const std::vector<Text>& listed) {
        const Result<std::vector<Text>> recorded = RecordedControls(p_.registry, run_.package);
        if (!recorded) return Fail(recorded.failure());
        for (const Text& name : *recorded) {
            const bool kept = std::any_of(listed.begin(), listed.end(), [&](const Text& other) {
                return p_.system.SameName(other, name);
            });
            if (!kept && !One(name, true, true)) return false;
        }
        if (std::none_of(run_.controls.begin(), run_.controls.end(),
                         [](const ControlOutcome& c) { return c.Failed(); })) {
            const Status installed = p_.registry.Write(RecordKey(run_.package), kInstalled,
                                                       TextValue(Stamp(p_.clock.Now())));
            if (!installed) return Fail(installed.failure());
        }
        return true;
    }

    // One control, timed and logged; false when nothing more may run beside it, or the log fails.
    bool One(const Text& name, bool release, bool dropped) {
        const ControlPaths paths =
            PathsOf(name, run_.applicationFolder, run_.systemFolder, windowsFolder_);
        const std::uint64_t start = p_.clock.Milliseconds();
        ControlOutcome control = release ? UninstallControl(p_, paths, run_.package)
                                         : InstallControl(p_, paths, run_.package);
        control.dropped = dropped;
        control.milliseconds = static_cast<std::uint32_t>(p_.clock.Milliseconds() - start);
        log_.Line(ControlLine(control));
        run_.controls.push_back(std::move(control));
        if (run_.controls.back().cause == Cause::kStuck) return Stop(RunEnd::kStopped);
        if (log_.failure) return Fail(*log_.failure);
        return true;
    }

    Ports& p_;
    RunLog& log_;
    RunOutcome& run_;
    Text windowsFolder_;
};

// The Application event, from its source in the kept copy: the one place where a run that could
// not log, or was not asked to, tells what happened. A run whose event cannot be written ends
// with its own code all the same, and the log says why.
void Report(Ports& ports, const RunOutcome& run, RunLog& log) {
    const int code = ExitCode(run);
    const EventType type = code == kExitSuccess   ? EventType::kInformation
                           : code == kExitRestart ? EventType::kWarning
                                                  : EventType::kError;
    const Result<Text> folder = KeptProgramFolder(ports.registry);
    Status registered =
        folder ? RegisterEventSource(ports.registry, KeptProgramFile(*folder)) : folder.status();
    const Status reported =
        ports.events.Report(type, static_cast<std::uint32_t>(code), EventText(run));
    if (!registered) log.Line(EventNotWritten(registered.failure()));
    if (!reported) log.Line(EventNotWritten(reported.failure()));
}

int Check(Ports& ports, RunOutcome& run, RunLog& log, std::uint64_t start) {
    const Result<Text> systemFolder = ResolveSystemFolder(ports.system);
    if (systemFolder) run.systemFolder = *systemFolder;
    log.Line(FirstLine(run));
    const Result<CheckOutcome> outcome = systemFolder
                                             ? CheckPackage(ports, run.package, *systemFolder)
                                             : Result<CheckOutcome>(systemFolder.failure());
    const int code = !outcome                       ? kExitFailed
                     : !outcome->known              ? kExitUnknownPackage
                     : outcome->differences.empty() ? kExitSuccess
                                                    : kExitDiffers;
    Text lines;
    for (const Difference& difference :
         outcome ? outcome->differences : std::vector<Difference>()) {
        const Text line = DifferenceLine(difference);
        log.Line(line);
        lines += Join({line, kCrLf});
    }
    if (!lines.empty()) ports.system.WriteOutput(lines);
    log.Line(CheckLastLine(run.package, outcome, ports.clock.Milliseconds() - start, code));
    return code;
}

}  // namespace

int RunUnattended(Ports& ports, const Switches& switches, const Text& arguments,
                  const Text& version) {
    RunOutcome run;
    run.mode = switches.mode;
    run.package = switches.package;
    run.arguments = arguments;
    run.version = version;
    run.started = ports.clock.Now();
    const std::uint64_t start = ports.clock.Milliseconds();
    RunLog log(ports);
    if (switches.mode == RunMode::kHelp || switches.mode == RunMode::kBadCommandLine) {
        const int code =
            switches.mode == RunMode::kHelp ? ShowHelp(ports.system) : kExitBadCommandLine;
        if (code != kExitBadCommandLine) return code;
        // What is wrong, where whoever started it reads (as the help is written), and in the
        // event.
        run.end = RunEnd::kBadCommandLine;
        run.problem = switches.mode == RunMode::kHelp
                          ? Text(u"nessuna console né finestra per la guida")
                          : switches.problem;
        ports.system.WriteOutput(Join({EndText(run), kCrLf}));
        Report(ports, run, log);
        return code;
    }
    ports.log.CatchFatal(u"Errore imprevisto (eccezione 0x",
                         Join({u"); codice di uscita ", Decimal(kExitFailed)}), kExitFailed);
    if (!switches.logPath.empty()) {
        const Result<Text> path = ExpandVariables(ports.system, switches.logPath);
        run.logPath = path ? *path : switches.logPath;
        const Status opened = path ? ports.log.Open(*path) : path.status();
        if (!opened) {
            // Nothing is done without the log asked for; with nothing to write it in, the event
            // says why.
            run.end = RunEnd::kLogRefused;
            run.failure = opened.failure();
            if (switches.mode != RunMode::kCheck) Report(ports, run, log);
            return kExitLogFailed;
        }
        log.on = true;
    }
    if (switches.mode == RunMode::kCheck) return Check(ports, run, log, start);
    Work work(ports, log, run);
    work.Do();
    run.milliseconds = static_cast<std::uint32_t>(ports.clock.Milliseconds() - start);
    log.Line(LastLine(run));
    if (log.failure && run.end != RunEnd::kUnexpected) {  // not even its last line: a failure
        run.end = RunEnd::kUnexpected;
        run.failure = log.failure;
    }
    if (work.locked && !run.package.empty()) {
        // An uninstall that leaves no control takes the package's key away, these values with it.
        const Result<std::vector<Text>> left = RecordedControls(ports.registry, run.package);
        const Status recorded =
            run.mode == RunMode::kUninstall && left && left->empty()
                ? ForgetPackage(ports.registry, run.package)
                : RecordRunEnd(ports.registry, run.package, ExitCode(run), FailedNames(run));
        if (!recorded) log.Line(RunNotRecorded(recorded.failure()));
    }
    Report(ports, run, log);
    return ExitCode(run);
}

}  // namespace orvandi
