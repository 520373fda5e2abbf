#include "core/report.h"

#include "core/control_steps.h"
#include "core/record.h"

namespace orvandi {
namespace {

// What regsvr32's exit code means, by long practice (it is not a documented contract).
const char16_t* Regsvr32Meaning(std::uint32_t code, bool uninstall) {
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

Text VersionOrNone(const std::optional<std::uint64_t>& version) {
    return version ? VersionText(*version) : Text(u"senza versione");
}

Text PlacementText(const PlacementResult& placed) {
    const CopyFacts& facts = placed.facts;
    switch (placed.placement) {
        case Placement::kRefuse:
            return Join(
                {u"non è un controllo a 32 bit, non copiato (", Explain(*placed.failure), u")"});
        case Placement::kKeepNewer:
            return Join({u"lasciata la copia presente, di versione più alta (",
                         VersionText(*facts.destinationVersion), u" invece di ",
                         VersionText(*facts.sourceVersion), u")"});
        case Placement::kKeepVersioned:
            return Join({u"lasciata la copia presente, che ha una versione (",
                         VersionText(*facts.destinationVersion),
                         u") mentre il nuovo file non ne ha"});
        case Placement::kKeepIdentical:
            return u"già presente, identico";
        case Placement::kKeepProtected:
            return Join({u"lasciata la copia presente, protetta da Windows (",
                         VersionText(*facts.destinationVersion), u", il nuovo file ",
                         VersionOrNone(facts.sourceVersion), u")"});
        case Placement::kRefuseProtected:
            return Join(
                {u"non copiato: Windows protegge la copia presente, di versione più bassa (",
                 VersionOrNone(facts.destinationVersion), u" invece di ",
                 VersionOrNone(facts.sourceVersion), u")"});
        case Placement::kCopy:
            break;
    }
    if (!placed.failure) return placed.wasReadOnly ? u"copiato (era in sola lettura)" : u"copiato";
    return Join({u"copia non riuscita (", Explain(*placed.failure), u")"});
}

Text HoldersText(const std::optional<std::vector<Holder>>& holders) {
    if (!holders || holders->empty()) return u"in uso da un programma che Windows non indica";
    Text text = u"in uso da ";
    for (const Holder& holder : *holders) {
        if (&holder != &holders->front()) text += u", ";
        text += Join({holder.name, u" (processo ", Decimal(holder.processId), u")"});
    }
    return text;
}

Text SetAsideText(const SetAside& aside) {
    if (!aside.replaced) {
        if (!aside.notPutBack) return Text();
        return Join({u"messo da parte come ", aside.asideName, u" e non rimesso al suo posto (",
                     Explain(*aside.notPutBack), u"); "});
    }
    Text text = Join({HoldersText(aside.holders), u": messo da parte come ", aside.asideName});
    if (!aside.notAtRestart) return text + u", da eliminare al riavvio; ";
    return Join({text, u", che non si è potuto far eliminare al riavvio (",
                 Explain(*aside.notAtRestart), u"); "});
}

Text Regsvr32Text(const Regsvr32& run, bool uninstall) {
    if (run.notStarted) return Join({u"regsvr32 non avviato (", Explain(*run.notStarted), u")"});
    if (run.finished.ending != Ending::kExited) {
        const bool stuck = run.finished.ending == Ending::kWouldNotEnd;
        return Join({u"regsvr32 ancora in esecuzione dopo ", Decimal(kRegistrationTimeoutMs / 1000),
                     stuck ? u" s, e non si è potuto terminare" : u" s: terminato"});
    }
    return Join({u"regsvr32 ", Decimal(run.finished.exitCode), u" (",
                 Regsvr32Meaning(run.finished.exitCode, uninstall), u")"});
}

Text Listed(const std::vector<Text>& names) {
    Text text;
    for (const Text& name : names) text += Join({text.empty() ? u"" : u", ", name});
    return text;
}

Text MissingText(const MissingDlls& missing) {
    if (missing.unreadable) return u"; le DLL che importa non si possono leggere";
    Text text;
    if (!missing.now.empty()) text += Join({u"; mancano: ", Listed(missing.now)});
    if (!missing.later.empty()) text += Join({u"; mancano, se usata: ", Listed(missing.later)});
    for (const Assembly& assembly : missing.assemblies) {
        text += Join({u"; assembly ", assembly.name, u" ", assembly.version,
                      assembly.found ? u" trovato" : u" non trovato"});
    }
    if (missing.NothingMissing()) text += u"; tra le DLL che importa non ne manca nessuna";
    return text;
}

Text ClassesText(const ClassesChecked& checked) {
    if (!checked.hasLibrary) return u"; nessuna libreria dei tipi";
    Text text = Join({u"; libreria dei tipi ", checked.libid, u" ", Decimal(checked.major), u".",
                      Decimal(checked.minor), u":"});
    if (checked.classes.empty()) text += u" nessuna classe";
    for (const ClassCheck& check : checked.classes) {
        text += Join({&check == &checked.classes.front() ? u" " : u", ", check.coclass.name, u" ",
                      check.coclass.clsid});
        if (check.where == ClassCheck::kNotCreatable) text += u" (non creabile)";
        if (check.where == ClassCheck::kDeclared) text += u" (dichiarata ma non registrata)";
        if (check.where == ClassCheck::kElsewhere) {
            text += Join({u" (registrata per un altro file: ", check.otherFile, u")"});
        }
        if (check.advertised) text += u" (pubblicata da Windows Installer)";
        for (const UserServer& user : check.otherUsers) {
            text += Join(
                {u" (attenzione: per l'utente ", user.sid, u" è registrata per ", user.file, u")"});
        }
    }
    if (checked.noneRegistered) text += u"; nessuna classe registrata per il PC";
    return text;
}

Text CountedText(const ControlOutcome& control) {
    switch (*control.counted) {
        case Counted::kRaised:
            return Join({u"; conteggio condiviso ", Decimal(control.count)});
        case Counted::kAlreadyRecorded:
            return u"; già installato da Orvandi, conteggio invariato";
        case Counted::kUnreadable:
            return control.install
                       ? u"; conteggio illeggibile, lasciato com'è"
                       : u"conteggio illeggibile, lasciato com'è: registrazione lasciata";
        case Counted::kNotRecorded:
            return u"non installato da Orvandi su questo PC, lasciato com'è";
        case Counted::kLeftToOthers:
            return Join({u"registrazione lasciata, lo contano ancora altri programmi (",
                         Decimal(control.count), u")"});
        case Counted::kNoCopy:
            return u"nessuna copia nella cartella di sistema";
    }
    return Text();
}

// "2,4 s": tenths of a second, as Italian writes them.
Text Seconds(std::uint64_t milliseconds) {
    const std::uint64_t tenths = (milliseconds + 50) / 100;
    return Join({Decimal(static_cast<std::int64_t>(tenths / 10)), u",",
                 Decimal(static_cast<std::int64_t>(tenths % 10)), u" s"});
}

// What an event's one string may hold: 31,839 characters.
constexpr std::size_t kEventLimit = 31839;

}  // namespace

Text Explain(const Failure& failure) {
    return Join({u"errore ", Decimal(failure.number), u": ", failure.description});
}

Text FirstLine(const RunOutcome& run) {
    return Join({u"Orvandi ", run.version, u", riga di comando: ", run.arguments,
                 u", cartella di sistema: ", run.systemFolder});
}

Text ControlLine(const ControlOutcome& control) {
    Text line = Join({control.name, u": ", control.dropped ? u"non più nel pacchetto; " : u""});
    const std::size_t head = line.size();
    if (control.setAside) line += SetAsideText(*control.setAside);
    if (control.placed) line += PlacementText(*control.placed);
    if (control.counted && !control.install) line += CountedText(control);
    if (control.regsvr32) {
        line += Join(
            {control.install ? u"; " : u"", Regsvr32Text(*control.regsvr32, !control.install)});
    }
    if (control.missing) line += MissingText(*control.missing);
    if (control.classes) line += ClassesText(*control.classes);
    if (control.counted && control.install) line += CountedText(control);
    if (control.restored) line += u"; conteggio e nota di installazione rimessi com'erano";
    if (control.cause == Cause::kIncomplete) {
        line += Join({u"; registrato, ma non completato (", Explain(*control.failure), u")"});
    } else if (control.failure) {
        line += Join({line.size() == head ? u"" : u"; ", u"non riuscito (",
                      Explain(*control.failure), u")"});
    }
    return Join({line, u"; durata ", Seconds(control.milliseconds)});
}

Text EndText(const RunOutcome& run) {
    switch (run.end) {
        case RunEnd::kBadCommandLine:
            return Join({u"Riga di comando non valida, ", run.problem, u": nulla è stato fatto (",
                         run.arguments, u")"});
        case RunEnd::kLogRefused:
            return Join({u"Il registro ", run.logPath, u" non si può usare (",
                         Explain(*run.failure), u"): nulla è stato fatto"});
        case RunEnd::kAnotherRun:
            return u"Un'altra installazione di Orvandi è in corso";
        case RunEnd::kRefused:
            return u"Orvandi /S e /U vanno avviati da un amministratore o da SYSTEM: nulla è stato "
                   u"fatto";
        case RunEnd::kNothingToInstall:
            return Join({u"Nessun file .ocx in ", run.applicationFolder, u"\\OCX"});
        case RunEnd::kTooMany:
            return u"Più di 32767 file .ocx nella cartella OCX: nessuno installato";
        case RunEnd::kNothingToUninstall:
            return Join({u"Nulla da disinstallare: il pacchetto ", run.package,
                         u" non ha installato controlli su questo PC"});
        case RunEnd::kStopped:
            return u"Interrotto: nessun altro regsvr32 può partire accanto a uno che non termina";
        case RunEnd::kUnexpected:
            return run.failure ? Join({u"Errore imprevisto (", Explain(*run.failure), u")"})
                               : Text(u"Errore imprevisto");
        case RunEnd::kTotals:
            break;
    }
    int failed = 0, atRestart = 0;
    for (const ControlOutcome& control : run.controls) {
        failed += control.Failed();
        atRestart += control.AtRestart();
    }
    const int total = static_cast<int>(run.controls.size());
    Text totals = Join({u"Totale ", Decimal(total), u", riusciti ", Decimal(total - failed),
                        u", non riusciti ", Decimal(failed)});
    if (atRestart > 0) totals += Join({u", da completare al riavvio ", Decimal(atRestart)});
    return totals;
}

Text LastLine(const RunOutcome& run) {
    return Join({EndText(run), u"; durata ", Seconds(run.milliseconds), u"; codice di uscita ",
                 Decimal(ExitCode(run))});
}

Text EventText(const RunOutcome& run) {
    const char16_t* mode = run.mode == RunMode::kInstall     ? u", installazione"
                           : run.mode == RunMode::kUninstall ? u", disinstallazione"
                                                             : u"";
    Text text = Join({u"Orvandi ", run.version, mode});
    if (run.mode == RunMode::kInstall || run.mode == RunMode::kUninstall) {
        text += run.package.empty() ? Text(u" senza pacchetto")
                                    : Join({u" del pacchetto ", run.package});
    }
    text += Join({u": ", LastLine(run), kCrLf});
    for (const ControlOutcome& control : run.controls) {
        if (control.Failed()) text += Join({ControlLine(control), kCrLf});
    }
    const Text log = run.logPath.empty() ? Text(u"Registro: nessuno (/LOG non indicato)")
                                         : Join({u"Registro: ", run.logPath});
    if (text.size() + log.size() > kEventLimit) {
        text.resize(kEventLimit - log.size() - 3);
        text += Join({u"…", kCrLf});
    }
    return text + log;
}

Text DifferenceLine(const Difference& d) {
    switch (d.kind) {
        case Difference::kNotInstalled:
            return u"Manca Installed: l'ultima installazione del pacchetto non è finita bene";
        case Difference::kNoCopy:
            return Join({d.control, u": non si legge nella cartella di sistema (",
                         Explain(*d.failure), u")"});
        case Difference::kOlder:
            return Join({d.control, u": versione ", d.found.empty() ? Text(u"nessuna") : d.found,
                         u", più bassa di quella installata (", d.recorded, u")"});
        case Difference::kUnreadableVersion:
            return Join({d.control, u": la versione annotata non si legge (", d.recorded, u")"});
        case Difference::kUnreadableClasses:
            return Join({d.control, u": le classi annotate non si leggono"});
        case Difference::kClassGone:
            return Join({d.control, u": la classe ", d.clsid, u" non è più registrata per il PC"});
        case Difference::kClassElsewhere:
            return Join({d.control, u": la classe ", d.clsid, u" è registrata per un altro file: ",
                         d.found});
    }
    return Text();
}

Text CheckLastLine(const Text& package, const Result<CheckOutcome>& outcome,
                   std::uint64_t milliseconds, int exitCode) {
    Text why;
    if (!outcome) {
        why = Join({u"Errore imprevisto (", Explain(outcome.failure()), u")"});
    } else if (!outcome->known) {
        why = Join({u"Il pacchetto ", package, u" non è annotato su questo PC"});
    } else if (outcome->differences.empty()) {
        why = Join({u"Il PC corrisponde a quanto annotato per il pacchetto ", package});
    } else {
        why =
            Join({u"Il PC differisce da quanto annotato per il pacchetto ", package, u": ",
                  Decimal(static_cast<std::int64_t>(outcome->differences.size())), u" differenze"});
    }
    return Join(
        {why, u"; durata ", Seconds(milliseconds), u"; codice di uscita ", Decimal(exitCode)});
}

Text ProgramNotKept(const Text& folder, const Failure& failure) {
    return Join({u"Copia di Orvandi in ", folder, u" non riuscita (", Explain(failure), u")"});
}

Text EventNotWritten(const Failure& failure) {
    return Join({u"Evento non scritto nel registro Applicazione (", Explain(failure), u")"});
}

}  // namespace orvandi

namespace orvandi {

Text RunNotRecorded(const Failure& failure) {
    return Join({u"Esito non annotato nella chiave del pacchetto (", Explain(failure), u")"});
}

}  // namespace orvandi
