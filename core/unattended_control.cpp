#include "core/unattended_control.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "core/placement.h"
#include "core/registration.h"
#include "core/registration_report.h"
#include "core/shared_count.h"
#include "core/unattended.h"

namespace orvandi {
namespace {

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
    if (!placed.failure) return placed.wasReadOnly ? u"copiato (era in sola lettura)" : u"copiato";
    return Join({u"copia non riuscita (", Explain(*placed.failure), u")"});
}

// The version of the file now in the system folder, for the record ("0.0.0.0": none).
Text InstalledVersion(const PlacementResult& placed) {
    const bool kept =
        placed.placement == Placement::kKeepNewer || placed.placement == Placement::kKeepVersioned;
    const std::optional<std::uint64_t> version =
        kept ? placed.facts.destinationVersion : placed.facts.sourceVersion;
    return VersionText(version.value_or(0));
}

// Runs regsvr32 in a job of its own, so that one ended at its time limit, or left behind by this
// program's own end, takes with it whatever it started (a control's registration may start
// programs of its own). Windows 7 lets a process belong to one job only: where a deployment
// system runs this program in a job, regsvr32 breaks away from it into its own where that job
// allows, and runs in no job at all, to be ended alone at its time limit, where it does not.
Finished RunInJob(UnattendedPlatform& platform, const Text& command) {
    for (const JobPlacement placement : {JobPlacement::kOwnJob, JobPlacement::kBreakaway}) {
        const Finished finished = platform.RunAndWait(command, kRegistrationTimeoutMs, placement);
        if (finished.ending != Ending::kNotPlaced) return finished;
    }
    return platform.RunAndWait(command, kRegistrationTimeoutMs, JobPlacement::kAlone);
}

// Runs regsvr32 and waits for it; tells in `line` how it ended, and in `exitCode` its exit code
// when it ended by itself.
Outcome Register(UnattendedPlatform& platform, const Text& command, bool uninstall, Text& line,
                 std::uint32_t& exitCode) {
    Finished finished;
    try {
        finished = RunInJob(platform, command);
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
    exitCode = finished.exitCode;
    line += Join({u"regsvr32 ", Decimal(finished.exitCode), u" (",
                  Regsvr32Meaning(finished.exitCode, uninstall), u")"});
    return finished.exitCode == 0 ? Outcome::kDone : Outcome::kFailed;
}

// Who holds a file, as far as Windows tells.
Text HoldersText(const std::optional<std::vector<Holder>>& holders) {
    if (!holders || holders->empty()) return u"in uso da un programma che Windows non indica";
    Text text = u"in uso da ";
    for (const Holder& holder : *holders) {
        if (&holder != &holders->front()) text += u", ";
        text += Join({holder.name, u" (processo ", Decimal(holder.processId), u")"});
    }
    return text;
}

// A copy refused by the control there because a running program holds it (Windows refuses to
// replace a loaded DLL with error 5, an open one with 32; a read-only one is not refused) is put
// in place all the same, as Windows Installer does: the control in use is renamed aside in its
// folder, where that program goes on using it, the new copy takes its name, and the old one is
// deleted at the next restart. Where even the rename is refused (a file open without delete
// sharing), the copy fails as it was. Any other failure (the source cannot be read, the new copy
// cannot be written) says nothing about the control there, which stays as it is.
// True when the control was set aside; `placed` is then the placement of the new copy.
bool ReplaceInUse(UnattendedPlatform& platform, const ControlPaths& paths, PlacementResult& placed,
                  Text& line) {
    if (!placed.refusedInPlace) return false;
    const std::int32_t refused = placed.failure->number;
    if (refused != 5 && refused != 32) return false;
    const std::optional<std::vector<Holder>> holders = platform.Holders(paths.copy);
    Text aside;
    try {
        aside = platform.SetAside(paths.copy);
    } catch (const Failure&) {
        return false;
    }
    const Text asideName = aside.substr(aside.find_last_of(u'\\') + 1);
    PlacementResult again = PlaceControl(platform, paths.source, paths.copy);
    if (again.failure) {
        try {
            platform.Rename(aside, paths.copy);  // the control that was there, back in its place
        } catch (const Failure& failure) {
            line += Join({u"messo da parte come ", asideName, u" e non rimesso al suo posto (",
                          Explain(failure), u"); "});
        }
        return false;
    }
    line += Join({HoldersText(holders), u": messo da parte come ", asideName});
    try {
        platform.DeleteAtRestart(aside);
        line += u", da eliminare al riavvio; ";
    } catch (const Failure& failure) {
        line +=
            Join({u", che non si è potuto far eliminare al riavvio (", Explain(failure), u"); "});
    }
    placed = again;
    return true;
}

// A package's first install on this PC raises the control's count: a control already in the
// system folder without a count was put there by a program unknown, which counts as one. The count
// goes up before the record is written: should the run end between the two, counting one too many
// is the safe error. A run where the package's record exists (a startup script runs at every
// boot) counts nothing, nor does one that finds a count it cannot read.
void CountAndRecord(UnattendedPlatform& platform, const ControlPaths& paths, const Text& package,
                    bool wasPresent, const Text& version, Text& line) {
    if (platform.ReadRecord(package, paths.name)) {
        line += u"; già installato da Orvandi, conteggio invariato";
    } else if (const CountFound found = FindCount(platform, paths.countPaths); found.Unreadable()) {
        line += u"; conteggio illeggibile, lasciato com'è";
    } else {
        std::uint32_t raised = wasPresent ? 2 : 1;
        if (found.count) raised = std::max(found.count->value, found.count->value + 1);  // never 0
        WriteCount(platform, found, raised);
        line += Join({u"; conteggio condiviso ", Decimal(raised)});
    }
    platform.WriteRecord(package, paths.name, version);
}

}  // namespace

Text Explain(const Failure& failure) {
    return Join({u"errore ", Decimal(failure.number), u": ", failure.description});
}

ControlPaths PathsOf(const Text& name, const Text& applicationFolder, const Text& systemFolder,
                     const Text& windowsFolder) {
    const Text copy = Join({systemFolder, u"\\", name});
    return {name,          Join({applicationFolder, u"\\OCX\\", name}),         copy, systemFolder,
            windowsFolder, {copy, Join({windowsFolder, u"\\SysWOW64\\", name})}};
}

Outcome InstallControl(UnattendedPlatform& platform, const ControlPaths& paths, const Text& package,
                       Text& line) {
    PlacementResult placed = PlaceControl(platform, paths.source, paths.copy);
    const bool wasPresent = placed.facts.destinationExists;
    const bool setAside = ReplaceInUse(platform, paths, placed, line);
    line += PlacementText(placed);
    if (placed.placement == Placement::kRefuse) return Outcome::kFailed;
    line += u"; ";
    std::uint32_t exitCode = 0;
    const Outcome registered =
        Register(platform, RegistrationCommand(paths.copy), false, line, exitCode);
    if (exitCode == 3) {  // the control, or something it needs, could not be loaded
        line += MissingText(platform, paths.copy,
                            SearchFolders(platform, paths.systemFolder, paths.windowsFolder));
    }
    if (registered != Outcome::kDone) return registered;
    if (placed.failure) return Outcome::kFailed;
    try {
        // Registered, but the PC would keep using another file: not installed.
        if (!CheckRegistration(platform, paths.copy, paths.systemFolder, line)) {
            return Outcome::kFailed;
        }
        CountAndRecord(platform, paths, package, wasPresent, InstalledVersion(placed), line);
    } catch (const Failure& failure) {
        line += Join({u"; registrato, ma non completato (", Explain(failure), u")"});
        return Outcome::kFailed;
    }
    return setAside ? Outcome::kDoneAtRestart : Outcome::kDone;
}

// Only what this program installed, and only when no other program counts it any more, is
// unregistered. The files stay in every case.
Outcome UninstallControl(UnattendedPlatform& platform, const ControlPaths& paths,
                         const Text& package, Text& line) {
    if (!platform.ReadRecord(package, paths.name)) {
        line += u"non installato da Orvandi su questo PC, lasciato com'è";
        return Outcome::kDone;
    }
    const CountFound found = FindCount(platform, paths.countPaths);
    if (found.Unreadable()) {  // whoever keeps it so may still need the control
        platform.RemoveRecord(package, paths.name);
        line += u"conteggio illeggibile, lasciato com'è: registrazione lasciata";
        return Outcome::kDone;
    }
    // A count gone missing counts as this program's own.
    const std::uint32_t count = found.count ? found.count->value : 1;
    const std::uint32_t left = count > 0 ? count - 1 : 0;
    WriteCount(platform, found, left);
    if (left > 0) {
        platform.RemoveRecord(package, paths.name);
        line += Join(
            {u"registrazione lasciata, lo contano ancora altri programmi (", Decimal(left), u")"});
        return Outcome::kDone;
    }
    if (!platform.FileExists(paths.copy)) {
        platform.RemoveRecord(package, paths.name);
        line += u"nessuna copia nella cartella di sistema";
        return Outcome::kDone;
    }
    std::uint32_t exitCode = 0;
    const Outcome unregistered =
        Register(platform, UnregistrationCommand(paths.copy), true, line, exitCode);
    if (unregistered == Outcome::kDone) {
        platform.RemoveRecord(package, paths.name);
    } else {
        // A retry does the work again: the count as it was, and the record kept.
        if (found.stored) {
            platform.WriteSharedCount(found.path, *found.stored);
        } else {
            platform.RemoveSharedCount(found.path);
        }
        line += u"; conteggio e nota di installazione rimessi com'erano";
    }
    return unregistered;
}

}  // namespace orvandi
