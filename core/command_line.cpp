#include "core/command_line.h"

#include <algorithm>
#include <vector>

namespace orvandi {
namespace {

// Kept narrow, in UTF-8: a third of the size it would take as wide text.
constexpr char kHelp[] =
    "Orvandi installa i controlli ActiveX (.ocx) della cartella OCX accanto al programma.\r\n"
    "Senza opzioni apre la finestra; con le opzioni lavora senza finestra.\r\n\r\n"
    "  /S               installa ogni .ocx: lo copia nella cartella di sistema, lo\r\n"
    "                   registra con regsvr32, ne alza il conteggio d'uso e lo annota\r\n"
    "  /U               disinstalla (anche /U /S): abbassa il conteggio e toglie la\r\n"
    "                   registrazione quando nessun altro lo conta; i file restano\r\n"
    "  /PACKAGE=nome    il pacchetto; con /U toglie i controlli annotati per il\r\n"
    "                   pacchetto, anche senza la cartella OCX\r\n"
    "  /CHECK           con /PACKAGE=, confronta il PC con quanto annotato per il\r\n"
    "                   pacchetto, senza cambiare nulla: 0 uguale, 1 diverso,\r\n"
    "                   1605 pacchetto sconosciuto; una riga per ogni differenza\r\n"
    "  /LOG=\"percorso\"  scrive il registro in quel file (la cartella deve esistere)\r\n"
    "  /?               questo testo\r\n"
    "Le opzioni iniziano con / o -, maiuscole o minuscole.\r\n\r\n"
    "Codici di uscita:\r\n"
    "  0     riuscito (/CHECK: il PC corrisponde a quanto annotato)\r\n"
    "  1     /CHECK: il PC non corrisponde a quanto annotato\r\n"
    "  3010  riuscito; un controllo in uso, sostituito, sar\u00e0 eliminato al riavvio\r\n"
    "  1603  non riuscito (il registro dice perch\u00e9)\r\n"
    "  1605  /CHECK: il pacchetto non \u00e8 annotato su questo PC\r\n"
    "  1618  un'altra installazione di Orvandi \u00e8 in corso: riprovare pi\u00f9 tardi\r\n"
    "  1622  il registro non si pu\u00f2 aprire: nulla \u00e8 stato fatto\r\n"
    "  87    riga di comando non valida: nulla \u00e8 stato fatto\r\n";

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

bool IsPackageName(System& system, const Text& name) {
    return !name.empty() && name.size() <= 64 && name.front() != u' ' && name.back() != u' ' &&
           std::all_of(name.begin(), name.end(), [&system](char16_t c) {
               return (c >= u'0' && c <= u'9') || c == u' ' || c == u'.' || c == u'-' ||
                      c == u'_' || system.IsLetter(c);
           });
}

}  // namespace

namespace {

// A bad command line, and what is wrong with it.
Switches Bad(std::u16string_view problem, const Text& word = Text()) {
    Switches bad;
    bad.mode = RunMode::kBadCommandLine;
    bad.problem = Join({problem, word});
    return bad;
}

}  // namespace

Switches ParseCommandLine(System& system, const Text& arguments) {
    std::vector<Text> words = Words(arguments);
    bool anySwitch = false, help = false;
    for (Text& word : words) {
        if (word.empty() || (word[0] != u'/' && word[0] != u'-')) continue;
        anySwitch = true;
        word[0] = u'/';
        help = help || word == u"/?" || Upper(word) == u"/H";
    }
    if (help) return Switches{RunMode::kHelp, {}, {}, {}};
    if (!anySwitch) {
        return system.CanShowWindow() ? Switches()
                                      : Bad(u"senza opzioni, dove nessuno può vedere la finestra");
    }
    Switches switches;
    bool install = false, uninstall = false, check = false, log = false, package = false;
    for (const Text& word : words) {
        const Text upper = Upper(word);
        bool* seen = upper == u"/S"                           ? &install
                     : upper == u"/U"                         ? &uninstall
                     : upper == u"/CHECK"                     ? &check
                     : upper.compare(0, 5, u"/LOG=") == 0     ? &log
                     : upper.compare(0, 9, u"/PACKAGE=") == 0 ? &package
                                                              : nullptr;
        if (seen == nullptr) return Bad(u"parola sconosciuta: ", word);
        if (*seen) return Bad(u"opzione ripetuta: ", word);
        *seen = true;
        if (seen == &log) switches.logPath = word.substr(5);
        if (seen == &package) switches.package = word.substr(9);
    }
    // A check reads one package's record and nothing else: it needs the package, and cannot be
    // an install or an uninstall as well.
    if (check && (install || uninstall)) return Bad(u"/CHECK non va con /S né con /U");
    if (!check && !install && !uninstall) return Bad(u"manca /S, /U o /CHECK");
    if (check && !package) return Bad(u"/CHECK vuole /PACKAGE=nome");
    if (log && switches.logPath.empty()) return Bad(u"/LOG= senza percorso");
    if (package && !IsPackageName(system, switches.package)) {
        return Bad(
            u"nome di pacchetto non valido (da 1 a 64 lettere, cifre, spazi e .-_, "
            u"senza spazi in testa o in coda): ",
            switches.package);
    }
    switches.mode = check ? RunMode::kCheck : uninstall ? RunMode::kUninstall : RunMode::kInstall;
    return switches;
}

int ShowHelp(System& system) {
    const Text help = FromUtf8(kHelp);
    if (system.WriteOutput(help)) return kExitSuccess;
    if (!system.CanShowWindow()) return kExitBadCommandLine;
    return system.ShowMessage(help) ? kExitSuccess : kExitFailed;
}

}  // namespace orvandi
