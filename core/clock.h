// The time: of day, for the log and the record, and elapsed, for what each step took.
#pragma once

#include <cstdint>

namespace orvandi {

struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class Clock {
  public:
    virtual ~Clock() = default;

    virtual LocalTime Now() = 0;
    // Milliseconds from some fixed moment, never going back.
    virtual std::uint64_t Milliseconds() = 0;
};

}  // namespace orvandi
