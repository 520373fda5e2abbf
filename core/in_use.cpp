// A copy refused by the file in its place because a running program holds it (Windows refuses
// to replace a loaded DLL with error 5, an open file with 32; a read-only one is not refused) is
// put in place all the same, as Windows Installer does: the file in use is renamed aside in its
// folder, where that program goes on using it, the new copy takes its name, and the old one is
// deleted at the next restart. Where even the rename is refused (a file open without delete
// sharing), the copy fails as it was. Any other failure (the source cannot be read, the new copy
// cannot be written) says nothing about the file there, which stays as it is.
#include "core/control_steps.h"

namespace orvandi {

std::optional<SetAside> ReplaceInUse(Ports& ports, const Text& source, const Text& copy,
                                     Decide decide, PlacementResult& placed) {
    if (!placed.refusedInPlace) return std::nullopt;
    const std::int32_t refused = placed.failure->number;
    if (refused != 5 && refused != 32) return std::nullopt;
    SetAside aside;
    aside.holders = ports.processes.Holders(copy);
    const Result<Text> asidePath = ports.files.SetAside(copy);
    if (!asidePath) return std::nullopt;
    aside.asideName = asidePath->substr(asidePath->find_last_of(u'\\') + 1);
    PlacementResult again = Place(ports.files, ports.system, source, copy, decide);
    if (again.failure) {
        // The file that was there, back in its place.
        if (const Status back = ports.files.Rename(*asidePath, copy); !back) {
            aside.notPutBack = back.failure();
        }
        return aside;
    }
    aside.replaced = true;
    if (const Status deleted = ports.files.DeleteAtRestart(*asidePath); !deleted) {
        aside.notAtRestart = deleted.failure();
    }
    placed = again;
    return aside;
}

// Runs regsvr32 in a job of its own, so that one ended at its time limit, or left behind by this
// program's own end, takes with it whatever it started (a control's registration may start
// programs of its own). Windows 7 lets a process belong to one job only: where a deployment
// system runs this program in a job, regsvr32 breaks away from it into its own where that job
// allows, and runs in no job at all, to be ended alone at its time limit, where it does not.
Regsvr32 RunRegsvr32(Processes& processes, const Text& command) {
    Regsvr32 run;
    for (const JobPlacement placement :
         {JobPlacement::kOwnJob, JobPlacement::kBreakaway, JobPlacement::kAlone}) {
        const Result<Finished> finished =
            processes.RunAndWait(command, kRegistrationTimeoutMs, placement);
        if (!finished) {
            run.notStarted = finished.failure();
            return run;
        }
        run.finished = *finished;
        if (finished->ending != Ending::kNotPlaced) break;
    }
    return run;
}

}  // namespace orvandi
