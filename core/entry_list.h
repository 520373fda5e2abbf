// The run's view of the window's list: its entries in order, each with a name and a mark.
#pragma once

#include <cstdint>

#include "core/text.h"

namespace orvandi {

class EntryList {
  public:
    virtual ~EntryList() = default;

    // Number of entries; at most 32767.
    virtual std::int16_t count() = 0;
    virtual Text name(std::int16_t index) = 0;
    virtual bool marked(std::int16_t index) = 0;
    virtual void SetMarked(std::int16_t index, bool marked) = 0;
    // Appends an entry, unmarked, at the end.
    virtual void Append(const Text& name) = 0;
    // Removes every entry.
    virtual void Clear() = 0;
};

}  // namespace orvandi
