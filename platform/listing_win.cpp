// The directory listing: the plain files whose long name matches a wildcard.
#include <windows.h>

#include "platform/helpers_win.h"
#include "platform/platform_win.h"

namespace orvandi {
namespace {

// Equal characters as Windows file names compare them: ignoring case, accented letters too.
bool SameLetter(wchar_t a, wchar_t b) {
    return a == b || CompareStringOrdinal(&a, 1, &b, 1, TRUE) == CSTR_EQUAL;
}

// Whether a long file name matches a wildcard: '*' stands for any run of characters, '?' for
// exactly one. As in Windows, a trailing ".*" also matches a name without a dot ("*.*" is every
// name).
bool Matches(const Text& wildcard, const Text& name) {
    std::size_t w = 0, n = 0, star = Text::npos, starName = 0;
    while (n < name.size()) {
        if (w < wildcard.size() && wildcard[w] == u'*') {
            star = w++;  // first let the star match nothing; widen it on a mismatch
            starName = n;
        } else if (w < wildcard.size() &&
                   (wildcard[w] == u'?' || SameLetter(wildcard[w], name[n]))) {
            ++w;
            ++n;
        } else if (star != Text::npos) {
            w = star + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (w < wildcard.size() && wildcard[w] == u'*') ++w;
    return w == wildcard.size() || wildcard.compare(w, Text::npos, u".*") == 0;
}

}  // namespace

Result<Text> Win32Files::ListFirst(const Text& pattern, int attributes) {
    listing_.reset();
    listingPattern_ = pattern.substr(pattern.find_last_of(u"\\/:") + 1);  // npos + 1 == 0
    // Attribute value 0 admits plain files (read-only and archive ones too); the hidden, system
    // and directory bits admit those kinds as well.
    listingExcluded_ = (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM) &
                       ~static_cast<DWORD>(attributes);
    WIN32_FIND_DATAW found;
    listing_.reset(FindFirstFileW(Wide(pattern), &found));
    if (!listing_) return EndListing();
    return Admit(found);
}

Result<Text> Win32Files::ListNext() {
    WIN32_FIND_DATAW found;
    if (!listing_) return Text();
    if (!FindNextFileW(listing_.get(), &found)) return EndListing();
    return Admit(found);
}

Result<Text> Win32Files::Admit(WIN32_FIND_DATAW& found) {
    for (;;) {
        // Windows also matches the pattern against 8.3 short names ("OLD~1.OCX" for
        // "Old.ocx_bak"): only the long name counts.
        Text name = FromWide(found.cFileName);
        if (!(found.dwFileAttributes & listingExcluded_) && Matches(listingPattern_, name)) {
            return name;
        }
        if (!FindNextFileW(listing_.get(), &found)) return EndListing();
    }
}

Result<Text> Win32Files::EndListing() {
    const DWORD code = GetLastError();
    listing_.reset();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
        code == ERROR_NO_MORE_FILES) {
        return Text();
    }
    return SystemFailure(code);
}

void Win32Files::ListClose() { listing_.reset(); }

}  // namespace orvandi
