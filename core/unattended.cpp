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

std::vector<Text> Words(const Text& arguments) {
    std::vector<Text> words;
    bool quoted = false, inWord = false;
    for (const char16_t c : arguments) {
        if ((c == u' ' || c == u'\t') && !quoted) {
            inWord = false;
            continue;
        }
        if (!inWord) words.emplace_back();
        inWord = true;
        if (c == u'"') {
            quoted = !quoted;
        } else {
            words.back() += c;
        }
    }
    return words;
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

// The log, when the command line asks for one: lines in Italian, each ending in CRLF.
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
        if (on_) platform_.WriteLog(Join({text, kCrLf}));
    }
    // The run's last line: why it ends, and with which exit code.
    int End(const Text& why, int exitCode) {
        Line(Join({why, u"; codice di uscita ", Decimal(exitCode)}));
        return exitCode;
    }

  private:
    UnattendedPlatform& platform_;
    bool on_ = false;
};

Text TwoDigits(int value) { return Join({value < 10 ? u"0" : u"", Decimal(value)}); }

Text Stamp(const LocalTime& t) {
    return Join({Decimal(t.year), u"-", TwoDigits(t.month), u"-", TwoDigits(t.day), u" ",
                 TwoDigits(t.hour), u":", TwoDigits(t.minute), u":", TwoDigits(t.second)});
}

int Run(UnattendedPlatform& platform, bool uninstall, RunLog& log, const Text& arguments,
        const Text& version) {
    // One run at a time, decided before the run touches any file, its log's first line included.
    const RunMark mark = platform.ClaimRun();
    const Text systemFolder = ResolveSystemFolder(platform);
    log.Line(Join({Stamp(platform.Now()), u" Orvandi ", version, u", riga di comando: ", arguments,
                   u", cartella di sistema: ", systemFolder}));
    if (mark == RunMark::kAnotherRun) {
        return log.End(u"Un'altra installazione di Orvandi è in corso", kExitAnotherRun);
    }
    if (mark == RunMark::kRefused) {
        return log.End(
            u"Orvandi /S e /U vanno avviati da un amministratore o da SYSTEM: nulla è stato fatto",
            kExitFailed);
    }
    const Text folder = platform.ApplicationFolder();
    NameList entries;
    try {
        ScanControlFiles(platform, folder, entries);
    } catch (const Failure& failure) {
        if (!failure.overflow) throw;
        return log.End(u"Più di 32767 file .ocx nella cartella OCX: nessuno installato",
                       kExitFailed);
    }
    if (entries.names.empty()) {
        return log.End(Join({u"Nessun file .ocx in ", folder, u"\\OCX"}), kExitFailed);
    }
    const Text windowsFolder = platform.GetEnvironment(u"windir");
    int failed = 0, atRestart = 0;
    for (const Text& name : entries.names) {
        const ControlPaths paths = PathsOf(name, folder, systemFolder, windowsFolder);
        const Text head = Join({name, u": "});
        Text line = head;
        Outcome outcome;
        try {
            outcome = uninstall ? UninstallControl(platform, paths, line)
                                : InstallControl(platform, paths, line);
        } catch (const Failure& failure) {
            line += Join({line == head ? u"" : u"; ", u"non riuscito (", Explain(failure), u")"});
            outcome = Outcome::kFailed;
        }
        log.Line(line);
        if (outcome == Outcome::kStop) {
            return log.End(
                u"Interrotto: nessun altro regsvr32 può partire accanto a "
                u"uno che non termina",
                kExitFailed);
        }
        failed += outcome == Outcome::kFailed;
        atRestart += outcome == Outcome::kDoneAtRestart;
    }
    const int total = static_cast<int>(entries.names.size());
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
        platform.WriteLog(Join(
            {u"Errore imprevisto (", what, u"); codice di uscita ", Decimal(kExitFailed), kCrLf}));
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

Switches ParseCommandLine(const Text& arguments, bool canShowWindow) {
    const std::vector<Text> words = Words(arguments);
    Switches switches;
    const auto isSwitch = [](const Text& word) {
        return !word.empty() && (word[0] == u'/' || word[0] == u'-');
    };
    const Switches bad{RunMode::kBadCommandLine, {}};
    if (std::none_of(words.begin(), words.end(), isSwitch)) {
        return canShowWindow ? switches : bad;
    }
    bool install = false, uninstall = false, log = false;
    for (const Text& word : words) {
        Text upper = Upper(word);
        if (!upper.empty() && upper[0] == u'-') upper[0] = u'/';
        bool* seen = upper == u"/S"                       ? &install
                     : upper == u"/U"                     ? &uninstall
                     : upper.compare(0, 5, u"/LOG=") == 0 ? &log
                                                          : nullptr;
        if (seen == nullptr || *seen) return bad;
        *seen = true;
        if (seen == &log) switches.logPath = word.substr(5);
    }
    if (!(install || uninstall) || (log && switches.logPath.empty())) return bad;
    switches.mode = uninstall ? RunMode::kUninstall : RunMode::kInstall;
    return switches;
}

int RunUnattended(UnattendedPlatform& platform, const Switches& switches, const Text& arguments,
                  const Text& version) {
    if (switches.mode == RunMode::kBadCommandLine) return kExitBadCommandLine;
    platform.CatchFatal(EndUnexpectedly);
    RunLog log(platform);
    try {
        log.Open(switches.logPath);
    } catch (...) {
        return kExitLogFailed;  // with nobody to tell, nothing is done without a log asked for
    }
    Text why;
    try {
        return Run(platform, switches.mode == RunMode::kUninstall, log, arguments, version);
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
