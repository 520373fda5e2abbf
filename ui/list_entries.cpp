#include "ui/list_entries.h"

namespace orvandi {

// A list box answers LB_ERR for a bad index and LB_ERRSPACE when it cannot grow; both are
// failures like any other, in the words the window has always used.
Result<LRESULT> ListBoxEntries::Send(UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = SendMessageW(list_, message, wParam, lParam);
    if (result == LB_ERRSPACE) return Failure{7, u"Out of memory"};
    if (result == LB_ERR) return Failure{9, u"Subscript out of range"};
    return result;
}

Result<std::int16_t> ListBoxEntries::count() {
    const Result<LRESULT> count = Send(LB_GETCOUNT, 0, 0);
    if (!count) return count.failure();
    return static_cast<std::int16_t>(*count);
}

Result<Text> ListBoxEntries::name(std::int16_t index) {
    const Result<LRESULT> length = Send(LB_GETTEXTLEN, index, 0);
    if (!length) return length.failure();
    // The list box writes a terminating null after the text: size the buffer for it.
    Text text(static_cast<std::size_t>(*length) + 1, u'\0');
    const Result<LRESULT> got = Send(LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    if (!got) return got.failure();
    text.resize(static_cast<std::size_t>(*got));
    return text;
}

Result<bool> ListBoxEntries::marked(std::int16_t index) {
    const Result<LRESULT> selected = Send(LB_GETSEL, index, 0);
    if (!selected) return selected.failure();
    return *selected > 0;
}

Status ListBoxEntries::SetMarked(std::int16_t index, bool marked) {
    return Send(LB_SETSEL, marked, index).status();
}

Status ListBoxEntries::Append(const Text& name) {
    return Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str())).status();
}

void ListBoxEntries::Clear() { SendMessageW(list_, LB_RESETCONTENT, 0, 0); }

}  // namespace orvandi
