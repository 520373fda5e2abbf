#include "core/registration.h"

#include "core/failure.h"
#include "core/placement.h"

namespace orvandi {
namespace {

// Runs one step of an entry inside the entry's failure scope: a Failure is taken here (its number
// and text are not needed) and reported as `true`, so the entry's next step still runs.
template <typename Step>
bool StepFails(Step&& step) {
    try {
        step();
        return false;
    } catch (const Failure&) {
        return true;
    }
}

// Copy (or keep what is there), launch, count. A refused file is not launched; a failed copy still
// is. An entry with any failed step is counted once among the failures and named once, so "Ok"
// never goes below zero.
void RegisterEntry(Platform& platform, const Text& name, const Text& applicationFolder,
                   const Text& systemFolder, RunTally& tally) {
    const Text copy = systemFolder + u"\\" + name;
    const PlacementResult placed =
        PlaceControl(platform, applicationFolder + u"\\OCX\\" + name, copy);
    bool failed = placed.failure.has_value();
    if (placed.placement != Placement::kRefuse) {
        failed |=
            StepFails([&] { platform.Launch(RegistrationCommand(copy), kWindowMinimizedFocus); });
    }
    failed |= StepFails([&] { tally.processed = Add16(tally.processed, 1); });
    if (failed) {
        tally.failures = Add16(tally.failures, 1);
        tally.failedNames += name + kCrLf;
    }
}

}  // namespace

void RunRegistration(Platform& platform, EntryList& list, const Text& applicationFolder,
                     const Text& systemFolder) {
    RunTally tally;
    // The outer scope reports a failure and ends the run; it covers everything up to the first
    // marked entry. After that each entry has its own scope, and a failure outside one is not
    // the run's to handle.
    bool outerScope = true;
    try {
        platform.SetPointer(kPointerHourglass);
        const std::int16_t last = Sub16(list.count(), 1);
        for (std::int16_t index = 0; index <= last; index = Add16(index, 1)) {
            if (!list.marked(index)) continue;
            outerScope = false;
            RegisterEntry(platform, list.name(index), applicationFolder, systemFolder, tally);
        }
        platform.SetPointer(kPointerArrow);
        platform.ShowMessage(FormatRunSummary(tally.processed, tally.failures, tally.failedNames));
    } catch (const Failure& failure) {
        if (!outerScope) throw;
        // Leave an idle window with the ordinary pointer, even when setting it is what failed.
        StepFails([&] { platform.SetPointer(kPointerArrow); });
        platform.ShowMessage(FormatRunError(failure.number, failure.description));
    }
}

Text RegistrationCommand(const Text& copy) {
    // The full path of the copy: a bare name would be looked for along the DLL search, PATH
    // included, so an elevated regsvr32 could register a same-named file from anywhere when the
    // copy failed. Always in quotes: a blank would split the path into several arguments. (A
    // name cannot hold a quote, and one starting with "-" is no switch once it follows a folder.)
    return u"regsvr32 /s \"" + copy + u"\"";
}

Text UnregistrationCommand(const Text& copy) { return u"regsvr32 /u /s \"" + copy + u"\""; }

Text FormatRunSummary(std::int16_t processed, std::int16_t failures, const Text& failedNames) {
    Text text = Text(u"operazione completata") + kCrLf;
    text += u"Totali : " + Decimal(processed) + kCrLf;
    text += u"Ok : " + Decimal(Sub16(processed, failures)) + kCrLf;
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

void MarkAll(EntryList& list) {
    const std::int16_t last = Sub16(list.count(), 1);
    for (std::int16_t index = 0; index <= last; index = Add16(index, 1)) {
        list.SetMarked(index, true);
    }
}

}  // namespace orvandi
