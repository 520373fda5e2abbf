// The Application event log, where an administrator's console reads what happened on each PC.
#pragma once

#include <cstdint>

#include "core/result.h"
#include "core/text.h"

namespace orvandi {

enum class EventType { kInformation, kWarning, kError };

class Events {
  public:
    virtual ~Events() = default;

    // One event of the program's source, with `text` as its one inserted string.
    virtual Status Report(EventType type, std::uint32_t id, const Text& text) = 0;
};

}  // namespace orvandi
