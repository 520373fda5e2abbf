// Text as the program handles it: strings of 16-bit characters, joined by plain concatenation.
#pragma once

#include <cstdint>
#include <string>

namespace orvandi {

using Text = std::u16string;

// Carriage return and line feed: ends every line of a multi-line message.
inline constexpr char16_t kCrLf[] = u"\r\n";

// Plain decimal digits, a leading minus for a negative value, no padding.
Text Decimal(std::int32_t value);

}  // namespace orvandi
