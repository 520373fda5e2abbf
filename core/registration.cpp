#include "core/registration.h"

#include "core/placement.h"

namespace orvandi {
namespace {

// Copy (or keep what is there), launch, count. A refused file is not launched; a failed copy still
// is. An entry with any failed step is counted once among the failures and named once, so "Ok"
// never goes below zero. Answers a failure only from counting it, which no scope captures.
Status RegisterEntry(System& system, Files& files, Processes& processes, const Text& name,
                     const Text& applicationFolder, const Text& systemFolder, RunTally& tally) {
    const Text copy = systemFolder + u"\\" + name;
    const PlacementResult placed =
        Place(files, system, applicationFolder + u"\\OCX\\" + name, copy);
    bool failed = placed.failure.has_value();
    if (placed.placement != Placement::kRefuse) {
        failed |= !processes.Launch(RegistrationCommand(copy), kWindowMinimizedFocus);
    }
    const Result<std::int16_t> processed = Add16(tally.processed, 1);
    failed |= !processed;
    if (processed) tally.processed = *processed;
    if (!failed) return Status();
    const Result<std::int16_t> failures = Add16(tally.failures, 1);
    if (!failures) return failures.failure();
    tally.failures = *failures;
    tally.failedNames += name + kCrLf;
    return Status();
}

// Everything up to the first marked entry is the outer scope's: a failure there is reported and
// ends the run. `reached` tells whether the first marked entry was reached.
Status Pass(System& system, Files& files, Processes& processes, EntryList& list,
            const Text& applicationFolder, const Text& systemFolder, RunTally& tally,
            bool& reached) {
    if (Status set = system.SetPointer(kPointerHourglass); !set) return set;
    const Result<std::int16_t> count = list.count();
    if (!count) return count.failure();
    const Result<std::int16_t> last = Sub16(*count, 1);
    if (!last) return last.failure();
    for (std::int16_t index = 0; index <= *last;) {
        const Result<bool> marked = list.marked(index);
        if (!marked) return marked.failure();
        if (*marked) {
            reached = true;
            const Result<Text> name = list.name(index);
            if (!name) return name.failure();
            const Status entry = RegisterEntry(system, files, processes, *name, applicationFolder,
                                               systemFolder, tally);
            if (!entry) return entry;
        }
        const Result<std::int16_t> next = Add16(index, 1);
        if (!next) return next.failure();
        index = *next;
    }
    if (Status set = system.SetPointer(kPointerArrow); !set) return set;
    const Result<Text> summary =
        FormatRunSummary(tally.processed, tally.failures, tally.failedNames);
    if (!summary) return summary.failure();
    return system.ShowMessage(*summary);
}

}  // namespace

Status RunRegistration(System& system, Files& files, Processes& processes, EntryList& list,
                       const Text& applicationFolder, const Text& systemFolder) {
    RunTally tally;
    bool reached = false;
    const Status run =
        Pass(system, files, processes, list, applicationFolder, systemFolder, tally, reached);
    // After the first marked entry each entry has its own scope, and a failure outside one is not
    // the run's to handle.
    if (run || reached) return run;
    // Leave an idle window with the ordinary pointer, even when setting it is what failed.
    (void)system.SetPointer(kPointerArrow);
    return system.ShowMessage(FormatRunError(run.failure().number, run.failure().description));
}

Text RegistrationCommand(const Text& copy) {
    // The full path of the copy: a bare name would be looked for along the DLL search, PATH
    // included, so an elevated regsvr32 could register a same-named file from anywhere when the
    // copy failed. Always in quotes: a blank would split the path into several arguments. (A
    // name cannot hold a quote, and one starting with "-" is no switch once it follows a folder.)
    return u"regsvr32 /s \"" + copy + u"\"";
}

Text UnregistrationCommand(const Text& copy) { return u"regsvr32 /u /s \"" + copy + u"\""; }

Result<Text> FormatRunSummary(std::int16_t processed, std::int16_t failures,
                              const Text& failedNames) {
    const Result<std::int16_t> ok = Sub16(processed, failures);
    if (!ok) return ok.failure();
    Text text = Text(u"operazione completata") + kCrLf;
    text += u"Totali : " + Decimal(processed) + kCrLf;
    text += u"Ok : " + Decimal(*ok) + kCrLf;
    text += u"No : " + Decimal(failures) + kCrLf;
    text += failures > 0 ? u"non sono riuscito a fare i seguenti: " + failedNames
                         : Text(u"operazione completata con successo");
    return text;
}

Text FormatFailure(std::int32_t number, const Text& description, const Text& procedure) {
    return u"Error " + Decimal(number) + u" (" + description + u") in procedure " + procedure +
           u" of Form Form1";
}

Text FormatRunError(std::int32_t number, const Text& description) {
    return FormatFailure(number, description, u"Command2_Click");
}

Status MarkAll(EntryList& list) {
    const Result<std::int16_t> count = list.count();
    if (!count) return count.failure();
    const Result<std::int16_t> last = Sub16(*count, 1);
    if (!last) return last.failure();
    for (std::int16_t index = 0; index <= *last;) {
        if (Status set = list.SetMarked(index, true); !set) return set;
        const Result<std::int16_t> next = Add16(index, 1);
        if (!next) return next.failure();
        index = *next;
    }
    return Status();
}

}  // namespace orvandi
