// Events in the Application log: what an administrator's console collects from every PC.
//
// The event ID is the run's exit code as it stands (0, 3010, 1603, 1618, 1622, 87), and the one
// inserted string is the text. Event Viewer shows an event through the message table of the file
// that the source's registration names (EventMessageFile, written by the core): this program's
// own table (ui/res/orvandi.rc, made by cmake/message_table.py) has "%1" for each of these IDs,
// so what is shown is the text itself.
//
// Wine 10 keeps no event log. Probed: RegisterEventSourceW is a stub that answers a made-up
// handle (0xCAFE4242); ReportEventW succeeds, prints type, category and ID on the advapi channel
// ("fixme:advapi:ReportEventW (CAFE4242,0x0001,0x0000,0x00000643,...)" for an error with ID
// 1603) and each string on the eventlog channel at its type's level: err for an error, warn for
// a warning, trace for information (WINEDEBUG=warn+eventlog,trace+eventlog shows them all). The
// output goes to the Unix standard error, whatever the process's own standard error is.
#include <windows.h>

#include "platform/helpers_win.h"
#include "platform/platform_win.h"

namespace orvandi {

Status Win32Events::Report(EventType type, std::uint32_t id, const Text& text) {
    const EventSourceHandle source(RegisterEventSourceW(nullptr, L"Orvandi"));
    if (!source) return LastFailure();
    const WORD kind = type == EventType::kError     ? EVENTLOG_ERROR_TYPE
                      : type == EventType::kWarning ? EVENTLOG_WARNING_TYPE
                                                    : EVENTLOG_INFORMATION_TYPE;
    LPCWSTR strings[] = {Wide(text)};
    if (!ReportEventW(source.get(), kind, 0, id, nullptr, 1, 0, strings, nullptr)) {
        return LastFailure();
    }
    return {};
}

}  // namespace orvandi
