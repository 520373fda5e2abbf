// The EntryList view of the window's list box: an entry's mark is the row's selection in the
// multiple-selection list.
#pragma once

#include <windows.h>

#include "core/entry_list.h"

namespace orvandi {

class ListBoxEntries : public EntryList {
  public:
    explicit ListBoxEntries(HWND listBox) : list_(listBox) {}

    Result<std::int16_t> count() override;
    Result<Text> name(std::int16_t index) override;
    Result<bool> marked(std::int16_t index) override;
    Status SetMarked(std::int16_t index, bool marked) override;
    Status Append(const Text& name) override;
    void Clear() override;

  private:
    Result<LRESULT> Send(UINT message, WPARAM wParam, LPARAM lParam);
    HWND list_;
};

}  // namespace orvandi
