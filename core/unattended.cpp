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
    RunLog(UnattendedPlatform& platform, const Text& path)
        : platform_(platform), on_(!path.empty()) {
        if (on_) platform_.OpenLog(path);
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
    bool on_;
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
        case Placement::kKeepIdentical:
            return u"già presente, identico";
        case Placement::kCopy:
            break;
    }
    if (!placed.failure) return u"copiato";
    return Join({u"copia non riuscita (", Explain(*placed.failure), u")"});
}

// Runs regsvr32 and waits for it; tells in `line` how it ended. True when it succeeded.
bool Register(UnattendedPlatform& platform, const Text& command, bool uninstall, Text& line) {
    Finished finished;
    try {
        finished = platform.RunAndWait(command, kRegistrationTimeoutMs);
    } catch (const Failure& failure) {
        line += Join({u"regsvr32 non avviato (", Explain(failure), u")"});
        return false;
    }
    if (!finished.inTime) {
        line += Join({u"regsvr32 ancora in esecuzione dopo ",
                      Decimal(kRegistrationTimeoutMs / 1000), u" s: terminato"});
        return false;
    }
    line += Join({u"regsvr32 ", Decimal(static_cast<std::int32_t>(finished.exitCode)), u" (",
                  Regsvr32Meaning(finished.exitCode, uninstall), u")"});
    return finished.exitCode == 0;
}

bool Install(UnattendedPlatform& platform, const Text& source, const Text& copy, Text& line) {
    const PlacementResult placed = PlaceControl(platform, source, copy);
    line += PlacementText(placed);
    if (placed.placement == Placement::kRefuse) return false;
    line += u"; ";
    return Register(platform, RegistrationCommand(copy), false, line) && !placed.failure;
}

// The file stays: other programs may share it.
bool Uninstall(UnattendedPlatform& platform, const Text& copy, Text& line) {
    if (!platform.FileExists(copy)) {
        line += u"nessuna copia nella cartella di sistema, saltato";
        return true;
    }
    return Register(platform, UnregistrationCommand(copy), true, line);
}

int Run(UnattendedPlatform& platform, bool uninstall, RunLog& log, const Text& arguments,
        const Text& version) {
    const Text systemFolder = ResolveSystemFolder(platform);
    log.Line(Join({Stamp(platform.Now()), u" Orvandi ", version, u", riga di comando: ", arguments,
                   u", cartella di sistema: ", systemFolder}));
    if (!platform.ClaimRun()) {
        return log.End(u"Un'altra installazione di Orvandi è in corso", kExitAnotherRun);
    }
    const Text folder = platform.ApplicationFolder();
    NameList entries;
    try {
        ScanControlFiles(platform, folder, entries);
    } catch (const Failure& failure) {
        if (failure.number != kOverflowNumber) throw;
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
        const bool done = uninstall
                              ? Uninstall(platform, copy, line)
                              : Install(platform, Join({folder, u"\\OCX\\", name}), copy, line);
        log.Line(line);
        if (!done) ++failed;
    }
    const int total = static_cast<int>(entries.names.size());
    return log.End(Join({u"Totale ", Decimal(total), u", riusciti ", Decimal(total - failed),
                         u", non riusciti ", Decimal(failed)}),
                   failed > 0 ? kExitFailed : kExitSuccess);
}

}  // namespace

Switches ParseCommandLine(const Text& arguments) {
    const std::vector<Text> words = Words(arguments);
    Switches switches;
    const auto isSwitch = [](const Text& word) { return !word.empty() && word[0] == u'/'; };
    if (std::none_of(words.begin(), words.end(), isSwitch)) return switches;

    const Switches bad{RunMode::kBadCommandLine, {}};
    bool install = false, uninstall = false, log = false;
    for (const Text& word : words) {
        const Text upper = Upper(word);
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
    std::optional<RunLog> log;
    try {
        log.emplace(platform, switches.logPath);
    } catch (const Failure&) {
        return kExitFailed;  // with nobody to tell, nothing is done without a log asked for
    }
    Text why;
    try {
        return Run(platform, switches.mode == RunMode::kUninstall, *log, arguments, version);
    } catch (const Failure& failure) {
        why = Join({u"Errore imprevisto (", Explain(failure), u")"});
    } catch (...) {
        why = u"Errore imprevisto";
    }
    try {
        log->End(why, kExitFailed);
    } catch (...) {
        // The log itself failed: the exit code is all that is left to tell.
    }
    return kExitFailed;
}

}  // namespace orvandi
