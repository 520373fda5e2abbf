// The time: of day for the log and the record, elapsed for what each step took.
#include <windows.h>

#include "platform/platform_win.h"

namespace orvandi {

LocalTime Win32Clock::Now() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

// Not GetTickCount, which wraps after 49.7 days: a server may run that long between restarts.
std::uint64_t Win32Clock::Milliseconds() { return GetTickCount64(); }

}  // namespace orvandi
