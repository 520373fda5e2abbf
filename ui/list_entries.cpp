#include "ui/list_entries.h"

#include "core/failure.h"

namespace orvandi {

// A list box answers LB_ERR for a bad index and LB_ERRSPACE when it cannot grow; both become
// Failures like any other.
LRESULT ListBoxEntries::Send(UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = SendMessageW(list_, message, wParam, lParam);
    if (result == LB_ERRSPACE) throw Failure{7, u"Out of memory"};
    if (result == LB_ERR) throw Failure{9, u"Subscript out of range"};
    return result;
}

std::int16_t ListBoxEntries::count() { return static_cast<std::int16_t>(Send(LB_GETCOUNT, 0, 0)); }

Text ListBoxEntries::name(std::int16_t index) {
    Text text(static_cast<std::size_t>(Send(LB_GETTEXTLEN, index, 0)), u'\0');
    // The list box writes a terminating null after the text: size the buffer for it.
    text.resize(text.size() + 1);
    text.resize(Send(LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data())));
    return text;
}

bool ListBoxEntries::marked(std::int16_t index) { return Send(LB_GETSEL, index, 0) > 0; }

void ListBoxEntries::SetMarked(std::int16_t index, bool marked) { Send(LB_SETSEL, marked, index); }

void ListBoxEntries::Append(const Text& name) {
    Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
}

void ListBoxEntries::Clear() { SendMessageW(list_, LB_RESETCONTENT, 0, 0); }

}  // namespace orvandi
