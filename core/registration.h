// The window's registration run: copy every marked control into the system folder and start
// regsvr32 for it, then report what happened in one message.
#pragma once

#include <cstdint>

#include "core/entry_list.h"
#include "core/files.h"
#include "core/processes.h"
#include "core/result.h"
#include "core/system.h"
#include "core/text.h"

namespace orvandi {

struct RunTally {
    std::int16_t processed = 0;
    std::int16_t failures = 0;
    Text failedNames;  // each failed entry's name followed by CRLF
};

// Visits the marked entries in index order: places applicationFolder\OCX\name as
// systemFolder\name (see Place) and launches regsvr32 for that copy, unless the file was refused.
// Failures of one entry are counted (once per entry) and the run goes on; a failure before the
// first marked entry ends the run with the unexpected-failure message instead of the summary. A
// failure the run does not capture (one after the first marked entry, outside an entry's own
// steps) is answered, for the window to handle.
Status RunRegistration(System& system, Files& files, Processes& processes, EntryList& list,
                       const Text& applicationFolder, const Text& systemFolder);

// The command line that registers one entry's copy: regsvr32 /s "<the copy's full path>".
Text RegistrationCommand(const Text& copy);
// The command line that unregisters it: regsvr32 /u /s "<the copy's full path>".
Text UnregistrationCommand(const Text& copy);

Result<Text> FormatRunSummary(std::int16_t processed, std::int16_t failures,
                              const Text& failedNames);

// "Error <number> (<description>) in procedure <procedure> of Form Form1".
Text FormatFailure(std::int32_t number, const Text& description, const Text& procedure);
// The run's unexpected-failure text: FormatFailure for Command2_Click.
Text FormatRunError(std::int32_t number, const Text& description);

// Marks every entry of the list; never clears a mark.
Status MarkAll(EntryList& list);

}  // namespace orvandi
