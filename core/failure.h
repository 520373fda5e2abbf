// What a failing operation raises: a number and a description. A Failure interrupts the current
// step and travels as a C++ exception until a failure scope (or the window's top-level handling)
// takes it.
#pragma once

#include <cstdint>

#include "core/text.h"

namespace orvandi {

struct Failure {
    std::int32_t number;
    Text description;
    bool overflow = false;  // a 16-bit count that did not fit, not a Windows error
};

// Counters and indexes are 16-bit signed; every addition and subtraction on them goes through
// these two and raises this one Failure when the result does not fit. Its number is shown as the
// window has always shown it, but it is told apart from Windows' error 6 by `overflow`.
inline constexpr std::int32_t kOverflowNumber = 6;
inline constexpr char16_t kOverflowDescription[] = u"Overflow";

std::int16_t Add16(std::int16_t a, std::int16_t b);
std::int16_t Sub16(std::int16_t a, std::int16_t b);

}  // namespace orvandi
