#include "core/outcome.h"

namespace orvandi {

int ExitCode(const RunOutcome& run) {
    switch (run.end) {
        case RunEnd::kBadCommandLine:
            return kExitBadCommandLine;
        case RunEnd::kLogRefused:
            return kExitLogFailed;
        case RunEnd::kAnotherRun:
            return kExitAnotherRun;
        case RunEnd::kNothingToUninstall:
            return kExitSuccess;
        case RunEnd::kTotals:
            break;
        default:
            return kExitFailed;
    }
    bool atRestart = false;
    for (const ControlOutcome& control : run.controls) {
        if (control.Failed()) return kExitFailed;
        atRestart = atRestart || control.AtRestart();
    }
    return atRestart ? kExitRestart : kExitSuccess;
}

std::vector<Text> FailedNames(const RunOutcome& run) {
    std::vector<Text> names;
    for (const ControlOutcome& control : run.controls) {
        if (control.Failed()) names.push_back(control.name);
    }
    return names;
}

}  // namespace orvandi
