#include "core/unattended.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "core/entry_list.h"
#include "core/failure.h"
#include "core/placement.h"
#include "core/registration.h"
#include "core/scan.h"

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

Text Upper(Text text) {
    for (char16_t& c : text) {
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    }
    return text;
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
    void Line(const Text& text) {
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

Text Explain(const Failure& failure) {
    return Join({u"errore ", Decimal(failure.number), u": ", failure.description});
}

// What regsvr32's exit code means, by long practice (it is not a documented contract).
Text Regsvr32Meaning(std::uint32_t code, bool uninstall) {
    switch (code) {
        case 0:
            return uninstall ? u"registrazione tolta" : u"registrato";
        case 1:
            return u"argomenti non validi";
        case 2:
            return u"OLE non si è avviato";
        case 3:
            return u"il controllo, o una DLL che gli serve, non si è potuto caricare";
        case 4:
            return u"il controllo non ha la funzione di registrazione";
        case 5:
            return u"la funzione di registrazione del controllo non è riuscita";
        default:
            return u"codice sconosciuto";
    }
}

// "1.2.3.4": the four 16-bit words of a file version, most significant first.
Text VersionText(std::uint64_t version) {
    Text text;
    for (int shift = 48; shift >= 0; shift -= 16) {
        text += Decimal(static_cast<std::int32_t>(version >> shift & 0xFFFF));
        if (shift > 0) text += u'.';
    }
    return text;
}

Text PlacementText(const PlacementResult& placed) {
    switch (placed.placement) {
        case Placement::kRefuse:
            return Join(
                {u"non è un controllo a 32 bit, non copiato (", Explain(*placed.failure), u")"});
        case Placement::kKeepNewer:
            return Join({u"lasciata la copia presente, di versione più alta (",
                         VersionText(*placed.facts.destinationVersion), u" invece di ",
                         VersionText(*placed.facts.sourceVersion), u")"});
        case Placement::kKeepVersioned:
            return Join({u"lasciata la copia presente, che ha una versione (",
                         VersionText(*placed.facts.destinationVersion),
                         u") mentre il nuovo file non ne ha"});
        case Placement::kKeepIdentical:
            return u"già presente, identico";
        case Placement::kCopy:
            break;
    }
    if (!placed.failure) return u"copiato";
    return Join({u"copia non riuscita (", Explain(*placed.failure), u")"});
}

// How one control came out.
enum class Outcome {
    kDone,
    kFailed,
    kStop,  // a regsvr32 that could not be ended still runs: nothing more may start beside it
};

// Runs regsvr32 and waits for it; tells in `line` how it ended.
Outcome Register(UnattendedPlatform& platform, const Text& command, bool uninstall, Text& line) {
    Finished finished;
    try {
        finished = platform.RunAndWait(command, kRegistrationTimeoutMs);
    } catch (const Failure& failure) {
        line += Join({u"regsvr32 non avviato (", Explain(failure), u")"});
        return Outcome::kFailed;
    }
    if (finished.ending != Ending::kExited) {
        const bool stuck = finished.ending == Ending::kWouldNotEnd;
        line +=
            Join({u"regsvr32 ancora in esecuzione dopo ", Decimal(kRegistrationTimeoutMs / 1000),
                  stuck ? u" s, e non si è potuto terminare" : u" s: terminato"});
        return stuck ? Outcome::kStop : Outcome::kFailed;
    }
    line += Join({u"regsvr32 ", Decimal(static_cast<std::int32_t>(finished.exitCode)), u" (",
                  Regsvr32Meaning(finished.exitCode, uninstall), u")"});
    return finished.exitCode == 0 ? Outcome::kDone : Outcome::kFailed;
}

Outcome Install(UnattendedPlatform& platform, const Text& source, const Text& copy, Text& line) {
    const PlacementResult placed = PlaceControl(platform, source, copy);
    line += PlacementText(placed);
    if (placed.placement == Placement::kRefuse) return Outcome::kFailed;
    line += u"; ";
    const Outcome registered = Register(platform, RegistrationCommand(copy), false, line);
    return registered == Outcome::kDone && placed.failure ? Outcome::kFailed : registered;
}

// The file stays: other programs may share it.
Outcome Uninstall(UnattendedPlatform& platform, const Text& copy, Text& line) {
    if (!platform.FileExists(copy)) {
        line += u"nessuna copia nella cartella di sistema, saltato";
        return Outcome::kDone;
    }
    return Register(platform, UnregistrationCommand(copy), true, line);
}

int Run(UnattendedPlatform& platform, bool uninstall, RunLog& log, const Text& arguments,
        const Text& version) {
    const Text systemFolder = ResolveSystemFolder(platform);
    log.Line(Join({Stamp(platform.Now()), u" Orvandi ", version, u", riga di comando: ", arguments,
                   u", cartella di sistema: ", systemFolder}));
    switch (platform.ClaimRun()) {
        case RunMark::kAnotherRun:
            return log.End(u"Un'altra installazione di Orvandi è in corso", kExitAnotherRun);
        case RunMark::kHeldByOther:
            // Anyone may create an object of that name: it must not stop a deployment.
            log.Line(
                u"Il segnale di installazione in corso è occupato da un altro programma, "
                u"che non è Orvandi: si prosegue");
            break;
        case RunMark::kTaken:
            break;
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
    int failed = 0;
    for (const Text& name : entries.names) {
        const Text copy = Join({systemFolder, u"\\", name});
        Text line = Join({name, u": "});
        const Outcome outcome =
            uninstall ? Uninstall(platform, copy, line)
                      : Install(platform, Join({folder, u"\\OCX\\", name}), copy, line);
        log.Line(line);
        if (outcome == Outcome::kStop) {
            return log.End(
                u"Installazione interrotta: nessun altro regsvr32 può partire accanto a "
                u"uno che non termina",
                kExitFailed);
        }
        if (outcome == Outcome::kFailed) ++failed;
    }
    const int total = static_cast<int>(entries.names.size());
    return log.End(Join({u"Totale ", Decimal(total), u", riusciti ", Decimal(total - failed),
                         u", non riusciti ", Decimal(failed)}),
                   failed > 0 ? kExitFailed : kExitSuccess);
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
