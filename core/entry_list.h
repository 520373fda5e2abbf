// The run's view of the window's list: its entries in order, each with a name and a mark.
#pragma once

#include <cstdint>

#include "core/result.h"
#include "core/text.h"

namespace orvandi {

class EntryList {
  public:
    virtual ~EntryList() = default;

    // Number of entries; at most 32767.
    virtual Result<std::int16_t> count() = 0;
    virtual Result<Text> name(std::int16_t index) = 0;
    virtual Result<bool> marked(std::int16_t index) = 0;
    virtual Status SetMarked(std::int16_t index, bool marked) = 0;
    // Appends an entry, unmarked, at the end.
    virtual Status Append(const Text& name) = 0;
    // Removes every entry.
    virtual void Clear() = 0;
};

}  // namespace orvandi
