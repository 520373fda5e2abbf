// The words of an unattended run, in Italian, each formatted from what happened (outcome.h) in
// one place: the log's lines, the Application event's text, /CHECK's lines.
#pragma once

#include <cstdint>

#include "core/check.h"
#include "core/outcome.h"
#include "core/result.h"
#include "core/text.h"

namespace orvandi {

// "errore <number>: <description>"
Text Explain(const Failure& failure);

// The run's first line: the version, the command line and the system folder.
Text FirstLine(const RunOutcome& run);
// What happened to one control, and how long it took.
Text ControlLine(const ControlOutcome& control);
// Why the run ended (its totals when every control was visited); with how long it took and its
// exit code, the last line.
Text EndText(const RunOutcome& run);
Text LastLine(const RunOutcome& run);
// The run's Application event: the package and the mode with the last line, a line for each
// control that failed, and the log's path; cut to what an event's string may hold.
Text EventText(const RunOutcome& run);

// A package's check: a line for each difference, and the last line.
Text DifferenceLine(const Difference& difference);
Text CheckLastLine(const Text& package, const Result<CheckOutcome>& outcome,
                   std::uint64_t milliseconds, int exitCode);

// Lines of their own.
Text ProgramNotKept(const Text& folder, const Failure& failure);
Text EventNotWritten(const Failure& failure);
Text RunNotRecorded(const Failure& failure);

}  // namespace orvandi
