// The EntryList view of the window's list box: an entry's mark is the row's selection in the
// multiple-selection list.
#pragma once

#include <windows.h>

#include "core/entry_list.h"

namespace orvandi {

class ListBoxEntries : public EntryList {
  public:
    explicit ListBoxEntries(HWND listBox) : list_(listBox) {}

    std::int16_t count() override;
    Text name(std::int16_t index) override;
    bool marked(std::int16_t index) override;
    void SetMarked(std::int16_t index, bool marked) override;
    void Append(const Text& name) override;
    void Clear() override;

  private:
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam);
    HWND list_;
};

}  // namespace orvandi
