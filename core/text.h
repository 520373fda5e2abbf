// Text as the program handles it: strings of 16-bit characters, joined by plain concatenation.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace orvandi {

using Text = std::u16string;

// Carriage return and line feed: ends every line of a multi-line message.
inline constexpr char16_t kCrLf[] = u"\r\n";

// The parts one after another: one call instead of a chain of "+", each of which makes a
// temporary.
Text Join(std::initializer_list<std::u16string_view> parts);

// Plain decimal digits, a leading minus for a negative value, no padding.
Text Decimal(std::int64_t value);

// The text with its letters a to z in capitals; nothing else changes.
Text Upper(Text text);

// UTF-8 as UTF-16 (the program's own texts only: no checks for malformed bytes).
Text FromUtf8(std::string_view utf8);

}  // namespace orvandi
