#include "core/scan.h"

namespace orvandi {
namespace {

Status Scan(Files& files, const Text& pattern, EntryList& list) {
    for (Result<Text> name = files.ListFirst(pattern, kListPlainFiles);; name = files.ListNext()) {
        if (!name) return name.failure();
        if (name->empty()) return Status();
        const Result<std::int16_t> count = list.count();
        if (!count) return count.failure();
        // The list counts in 16 bits: the 32768th name overflows.
        if (const Result<std::int16_t> more = Add16(*count, 1); !more) return more.failure();
        if (const Status appended = list.Append(*name); !appended) return appended;
    }
}

}  // namespace

Status ScanControlFiles(Files& files, const Text& applicationFolder, EntryList& list) {
    const Status scanned = Scan(files, applicationFolder + u"\\OCX\\*.ocx", list);
    files.ListClose();  // however the scan ended: an open listing would hold the folder
    return scanned;
}

Result<Text> ResolveSystemFolder(System& system) {
    const Result<Text> os = system.GetEnvironment(u"OS");
    if (!os) return os.failure();
    const Result<Text> windir = system.GetEnvironment(u"windir");
    if (!windir) return windir.failure();
    // Only whether OS is set matters, never what it says.
    return *windir + (os->empty() ? u"\\SYSTEM" : u"\\SYSTEM32");
}

}  // namespace orvandi
