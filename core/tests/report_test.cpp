// Every word an unattended run writes, from its outcome: lines, the event, a check's lines.
#include <gtest/gtest.h>

#include "core/report.h"
#include "core/tests/fakes.h"

namespace orvandi {

constexpr std::uint64_t kV4 = 0x0001000200030004;
const Text kOk = u"copiato; regsvr32 0 (registrato); nessuna libreria dei tipi";

ControlOutcome Installed(Placement placement, CopyFacts facts = {true, kV4, {}, false},
                         std::optional<Failure> failure = std::nullopt) {
    ControlOutcome control;
    control.name = u"Calendario.ocx";
    control.placed = PlacementResult{placement, facts, failure};
    control.milliseconds = 2350;
    return control;
}

ControlOutcome Registered(std::uint32_t exitCode = 0, Ending ending = Ending::kExited) {
    ControlOutcome control = Installed(Placement::kCopy);
    control.regsvr32 = Regsvr32{std::nullopt, {ending, exitCode}};
    return control;
}

// The pieces of a line, in the order they happen, each as the outcome has it.
TEST(ControlLine, TellsWhatHappenedInOrder) {
    const Failure denied{5, u"Negato"};
    std::vector<std::pair<ControlOutcome, Text>> rows;
    const auto row = [&rows](ControlOutcome control, const Text& line) {
        rows.push_back({std::move(control), u"Calendario.ocx: " + line + u"; durata 2,4 s"});
    };
    // clang-format off
    row(Installed(Placement::kRefuse, {false, {}, {}, false}, Failure{193, u"Formato"}),
        u"non è un controllo a 32 bit, non copiato (errore 193: Formato)");
    row(Installed(Placement::kKeepNewer, {true, kV4, kV4 + 1, false}),
        u"lasciata la copia presente, di versione più alta (1.2.3.5 invece di 1.2.3.4)");
    row(Installed(Placement::kKeepVersioned, {true, {}, kV4, false}),
        u"lasciata la copia presente, che ha una versione (1.2.3.4) mentre il nuovo file non ne ha");
    row(Installed(Placement::kKeepIdentical), u"già presente, identico");
    row(Installed(Placement::kKeepProtected, {true, kV4, kV4, false}),
        u"lasciata la copia presente, protetta da Windows (1.2.3.4, il nuovo file 1.2.3.4)");
    row(Installed(Placement::kRefuseProtected, {true, kV4 + 1, {}, false}),
        u"non copiato: Windows protegge la copia presente, di versione più bassa (senza versione invece di 1.2.3.5)");
    row(Installed(Placement::kCopy, {true, kV4, {}, false}, denied), u"copia non riuscita (errore 5: Negato)");
    ControlOutcome readOnly = Installed(Placement::kCopy);
    readOnly.placed->wasReadOnly = true;
    row(readOnly, u"copiato (era in sola lettura)");
    ControlOutcome aside = Registered();
    aside.setAside = SetAside{u"Calendario.ocx.old", std::vector<Holder>{{u"EXCEL.EXE", 4321}, {u"A", 5}}, true, {}, {}};
    row(aside, u"in uso da EXCEL.EXE (processo 4321), A (processo 5): messo da parte come Calendario.ocx.old, da "
               u"eliminare al riavvio; copiato; regsvr32 0 (registrato)");
    aside.setAside = SetAside{u"C.old", std::nullopt, true, denied, {}};
    row(aside, u"in uso da un programma che Windows non indica: messo da parte come C.old, che non si è potuto far "
               u"eliminare al riavvio (errore 5: Negato); copiato; regsvr32 0 (registrato)");
    aside.setAside = SetAside{u"C.old", std::nullopt, false, std::nullopt, denied};
    row(aside, u"messo da parte come C.old e non rimesso al suo posto (errore 5: Negato); copiato; regsvr32 0 (registrato)");
    ControlOutcome notStarted = Installed(Placement::kCopy);
    notStarted.regsvr32 = Regsvr32{Failure{2, u"Manca"}, {}};
    row(notStarted, u"copiato; regsvr32 non avviato (errore 2: Manca)");
    row(Registered(1, Ending::kEndedAtTimeout), u"copiato; regsvr32 ancora in esecuzione dopo 120 s: terminato");
    row(Registered(1, Ending::kWouldNotEnd),
        u"copiato; regsvr32 ancora in esecuzione dopo 120 s, e non si è potuto terminare");
    const char16_t* meanings[] = {u"argomenti non validi", u"OLE non si è avviato",
        u"il controllo, o una DLL che gli serve, non si è potuto caricare", u"il controllo non ha la funzione di registrazione",
        u"la funzione di registrazione del controllo non è riuscita", u"codice sconosciuto"};
    for (std::uint32_t code = 1; code <= 6; ++code) {
        row(Registered(code), u"copiato; regsvr32 " + Decimal(code) + u" (" + meanings[code - 1] + u")");
    }
    ControlOutcome missing = Registered(3);
    missing.missing = MissingDlls{false, {u"A.DLL", u"B.OCX"}, {u"C.OCX"}, {{u"Vc", u"8.0", true}, {u"Vc", u"9.0", false}}};
    row(missing, u"copiato; regsvr32 3 (il controllo, o una DLL che gli serve, non si è potuto caricare); mancano: A.DLL, "
                 u"B.OCX; mancano, se usata: C.OCX; assembly Vc 8.0 trovato; assembly Vc 9.0 non trovato");
    missing.missing = MissingDlls{false, {}, {}, {{u"Vc", u"8.0", true}}};
    row(missing, u"copiato; regsvr32 3 (il controllo, o una DLL che gli serve, non si è potuto caricare); assembly Vc 8.0 "
                 u"trovato; tra le DLL che importa non ne manca nessuna");
    missing.missing = MissingDlls{true, {}, {}, {}};
    row(missing, u"copiato; regsvr32 3 (il controllo, o una DLL che gli serve, non si è potuto caricare); le DLL che "
                 u"importa non si possono leggere");
    ControlOutcome classes = Registered();
    ClassCheck other{{u"{C1}", u"Calendario", true}, ClassCheck::kElsewhere, u"C:\\Altro.ocx", true,
                     {{u"S-1-5-21-7", u"C:\\U.ocx"}}};
    classes.classes = ClassesChecked{true, u"{L1}", 1, 0, {other, {{u"{C2}", u"Pagina", false}, ClassCheck::kNotCreatable, {}, false, {}},
                                     {{u"{C3}", u"Extra", true}, ClassCheck::kDeclared, {}, false, {}}}, false};
    classes.cause = Cause::kRegisteredElsewhere;
    row(classes, u"copiato; regsvr32 0 (registrato); libreria dei tipi {L1} 1.0: Calendario {C1} (registrata per un altro "
                 u"file: C:\\Altro.ocx) (pubblicata da Windows Installer) (attenzione: per l'utente S-1-5-21-7 è "
                 u"registrata per C:\\U.ocx), Pagina {C2} (non creabile), Extra {C3} (dichiarata ma non registrata)");
    classes.classes = ClassesChecked{true, u"{L1}", 1, 0, {}, false};
    classes.counted = Counted::kRaised;
    classes.count = 3;
    row(classes, u"copiato; regsvr32 0 (registrato); libreria dei tipi {L1} 1.0: nessuna classe; conteggio condiviso 3");
    classes.classes = ClassesChecked{true, u"{L1}", 1, 0, {{{u"{C3}", u"Extra", true}, ClassCheck::kDeclared, {}, false, {}}}, true};
    classes.counted = Counted::kAlreadyRecorded;
    row(classes, u"copiato; regsvr32 0 (registrato); libreria dei tipi {L1} 1.0: Extra {C3} (dichiarata ma non "
                 u"registrata); nessuna classe registrata per il PC; già installato da Orvandi, conteggio invariato");
    ControlOutcome counted = Registered();
    counted.classes = ClassesChecked{};
    counted.counted = Counted::kUnreadable;
    row(counted, kOk + u"; conteggio illeggibile, lasciato com'è");
    counted.cause = Cause::kIncomplete;
    counted.failure = denied;
    row(counted, kOk + u"; conteggio illeggibile, lasciato com'è; registrato, ma non completato (errore 5: Negato)");
    ControlOutcome unexpected = Registered(3);
    unexpected.cause = Cause::kUnexpected;
    unexpected.failure = denied;
    row(unexpected, u"copiato; regsvr32 3 (il controllo, o una DLL che gli serve, non si è potuto caricare); non "
                    u"riuscito (errore 5: Negato)");
    ControlOutcome uninstalled;
    uninstalled.name = u"Calendario.ocx";
    uninstalled.install = false;
    uninstalled.milliseconds = 2350;
    const std::pair<Counted, Text> released[] = {
        {Counted::kNotRecorded, u"non installato da Orvandi su questo PC, lasciato com'è"},
        {Counted::kUnreadable, u"conteggio illeggibile, lasciato com'è: registrazione lasciata"},
        {Counted::kLeftToOthers, u"registrazione lasciata, lo contano ancora altri programmi (2)"},
        {Counted::kNoCopy, u"nessuna copia nella cartella di sistema"}};
    uninstalled.count = 2;
    for (const auto& [how, line] : released) {
        uninstalled.counted = how;
        row(uninstalled, line);
    }
    uninstalled.counted.reset();
    uninstalled.regsvr32 = Regsvr32{std::nullopt, {Ending::kExited, 0}};
    row(uninstalled, u"regsvr32 0 (registrazione tolta)");
    uninstalled.regsvr32->finished.exitCode = 4;
    uninstalled.restored = true;
    row(uninstalled, u"regsvr32 4 (il controllo non ha la funzione di registrazione); conteggio e nota di installazione "
                     u"rimessi com'erano");
    uninstalled.dropped = true;
    uninstalled.regsvr32.reset();
    uninstalled.restored = false;
    uninstalled.failure = denied;
    row(uninstalled, u"non più nel pacchetto; non riuscito (errore 5: Negato)");
    // clang-format on
    for (const auto& [control, line] : rows) EXPECT_EQ(ControlLine(control), line);
}

RunOutcome Ended(RunEnd end, std::vector<ControlOutcome> controls = {}) {
    RunOutcome run;
    run.end = end;
    run.package = u"Contabilità";
    run.version = u"1.00";
    run.arguments = u"/S /X";
    run.applicationFolder = u"C:\\App";
    run.logPath = u"C:\\W\\Logs\\Orvandi.log";
    run.failure = Failure{5, u"Negato"};
    run.problem = u"parola sconosciuta: /X";
    run.controls = std::move(controls);
    run.milliseconds = 15240;
    return run;
}

// Why it ended, how long it took, the exit code: a failure wins over a restart.
TEST(LastLine, WhyHowLongAndTheExitCode) {
    ControlOutcome ok = Registered(), failed = Registered(5), atRestart = Registered();
    failed.cause = Cause::kRegsvr32;
    atRestart.setAside = SetAside{u"x", std::nullopt, true, {}, {}};
    const std::pair<RunOutcome, Text> rows[] = {
        // clang-format off
        {Ended(RunEnd::kTotals, {ok, atRestart}), u"Totale 2, riusciti 2, non riusciti 0, da completare al riavvio 1; durata 15,2 s; codice di uscita 3010"},
        {Ended(RunEnd::kTotals, {ok, failed, atRestart}), u"Totale 3, riusciti 2, non riusciti 1, da completare al riavvio 1; durata 15,2 s; codice di uscita 1603"},
        {Ended(RunEnd::kTotals, {ok}), u"Totale 1, riusciti 1, non riusciti 0; durata 15,2 s; codice di uscita 0"},
        {Ended(RunEnd::kBadCommandLine), u"Riga di comando non valida, parola sconosciuta: /X: nulla è stato fatto (/S /X); durata 15,2 s; codice di uscita 87"},
        {Ended(RunEnd::kLogRefused), u"Il registro C:\\W\\Logs\\Orvandi.log non si può usare (errore 5: Negato): nulla è stato fatto; durata 15,2 s; codice di uscita 1622"},
        {Ended(RunEnd::kAnotherRun), u"Un'altra installazione di Orvandi è in corso; durata 15,2 s; codice di uscita 1618"},
        {Ended(RunEnd::kRefused), u"Orvandi /S e /U vanno avviati da un amministratore o da SYSTEM: nulla è stato fatto; durata 15,2 s; codice di uscita 1603"},
        {Ended(RunEnd::kNothingToInstall), u"Nessun file .ocx in C:\\App\\OCX; durata 15,2 s; codice di uscita 1603"},
        {Ended(RunEnd::kTooMany), u"Più di 32767 file .ocx nella cartella OCX: nessuno installato; durata 15,2 s; codice di uscita 1603"},
        {Ended(RunEnd::kNothingToUninstall), u"Nulla da disinstallare: il pacchetto Contabilità non ha installato controlli su questo PC; durata 15,2 s; codice di uscita 0"},
        {Ended(RunEnd::kStopped), u"Interrotto: nessun altro regsvr32 può partire accanto a uno che non termina; durata 15,2 s; codice di uscita 1603"},
        {Ended(RunEnd::kUnexpected), u"Errore imprevisto (errore 5: Negato); durata 15,2 s; codice di uscita 1603"},
        // clang-format on
    };
    for (const auto& [run, line] : rows) EXPECT_EQ(LastLine(run), line);
}

// The package and mode, a line per failed control, the log's path last, whatever is cut to fit.
TEST(EventText, NamesThePackageAndTheFailedControlsAndEndsWithTheLog) {
    ControlOutcome failed = Registered(5);
    failed.cause = Cause::kRegsvr32;
    failed.name = u"Guasto.ocx";
    RunOutcome run = Ended(RunEnd::kTotals, {Registered(), failed});
    EXPECT_EQ(
        EventText(run),
        u"Orvandi 1.00, installazione del pacchetto Contabilità: Totale 2, riusciti 1, non "
        u"riusciti 1; "
        u"durata 15,2 s; codice di uscita 1603\r\nGuasto.ocx: copiato; regsvr32 5 (la funzione di "
        u"registrazione del controllo non è riuscita); durata 2,4 s\r\nRegistro: "
        u"C:\\W\\Logs\\Orvandi.log");
    run = Ended(RunEnd::kAnotherRun);
    run.mode = RunMode::kUninstall;
    run.package.clear();
    run.logPath.clear();
    EXPECT_EQ(
        EventText(run),
        u"Orvandi 1.00, disinstallazione senza pacchetto: Un'altra installazione di Orvandi è "
        u"in corso; durata 15,2 s; codice di uscita 1618\r\nRegistro: nessuno (/LOG non indicato)");
    run = Ended(RunEnd::kTotals, std::vector<ControlOutcome>(400, failed));
    run.logPath = Text(2000, u'L');
    const Text text = EventText(run);
    EXPECT_EQ(text.size(), 31839u);
    EXPECT_TRUE(text.substr(text.size() - 2013) == u"…\r\nRegistro: " + Text(2000, u'L'));
}

Difference D(Difference::Kind kind, const Text& control = {}, const Text& clsid = {},
             const Text& recorded = {}, const Text& found = {},
             std::optional<Failure> failure = {}) {
    return {kind, control, clsid, recorded, found, std::move(failure)};
}

TEST(CheckLines, OneLineForEachDifferenceAndTheLast) {
    const Failure missing{2, u"Non trovato"};
    const std::pair<Difference, Text> rows[] = {
        // clang-format off
        {D(Difference::kNotInstalled), u"Manca Installed: l'ultima installazione del pacchetto non è finita bene"},
        {D(Difference::kNoCopy, u"A.ocx", {}, {}, {}, missing),
         u"A.ocx: non si legge nella cartella di sistema (errore 2: Non trovato)"},
        {D(Difference::kOlder, u"A.ocx", {}, u"1.2.3.4", u"1.2.3.3"),
         u"A.ocx: versione 1.2.3.3, più bassa di quella installata (1.2.3.4)"},
        {D(Difference::kOlder, u"A.ocx", {}, u"1.2.3.4"),
         u"A.ocx: versione nessuna, più bassa di quella installata (1.2.3.4)"},
        {D(Difference::kUnreadableVersion, u"A.ocx", {}, u"uno"),
         u"A.ocx: la versione annotata non si legge (uno)"},
        {D(Difference::kUnreadableClasses, u"A.ocx"), u"A.ocx: le classi annotate non si leggono"},
        {D(Difference::kClassGone, u"A.ocx", u"{C1}"),
         u"A.ocx: la classe {C1} non è più registrata per il PC"},
        {D(Difference::kClassElsewhere, u"A.ocx", u"{C1}", {}, u"C:\\B.ocx"),
         u"A.ocx: la classe {C1} è registrata per un altro file: C:\\B.ocx"},
        // clang-format on
    };
    for (const auto& [difference, line] : rows) EXPECT_EQ(DifferenceLine(difference), line);
    CheckOutcome outcome{true, {D(Difference::kNotInstalled), D(Difference::kNotInstalled)}};
    EXPECT_EQ(CheckLastLine(u"P", outcome, 1250, 1),
              u"Il PC differisce da quanto annotato per il pacchetto P: 2 differenze; durata 1,3 "
              u"s; codice di uscita 1");
    outcome.differences.clear();
    EXPECT_EQ(CheckLastLine(u"P", outcome, 40, 0),
              u"Il PC corrisponde a quanto annotato per il pacchetto P; durata 0,0 s; codice di "
              u"uscita 0");
    EXPECT_EQ(CheckLastLine(u"P", CheckOutcome{}, 40, 1605),
              u"Il pacchetto P non è annotato su questo PC; durata 0,0 s; codice di uscita 1605");
}

}  // namespace orvandi
