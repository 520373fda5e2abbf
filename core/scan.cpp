#include "core/scan.h"

#include "core/failure.h"

namespace orvandi {

void ScanControlFiles(Platform& platform, const Text& applicationFolder, EntryList& list) {
    const Text pattern = applicationFolder + u"\\OCX\\*.ocx";
    // However the scan ends, the listing does not stay open (it would hold the folder).
    struct Closer {
        Platform& platform;
        ~Closer() { platform.ListClose(); }
    } closer{platform};
    for (Text name = platform.ListFirst(pattern, kListPlainFiles); !name.empty();
         name = platform.ListNext()) {
        Add16(list.count(), 1);  // the list counts in 16 bits: the 32768th name overflows
        list.Append(name);
    }
}

Text ResolveSystemFolder(Platform& platform) {
    const Text os = platform.GetEnvironment(u"OS");
    const Text windir = platform.GetEnvironment(u"windir");
    // Only whether OS is set matters, never what it says.
    return windir + (os.empty() ? u"\\SYSTEM" : u"\\SYSTEM32");
}

}  // namespace orvandi
