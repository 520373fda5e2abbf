#include "core/text.h"

namespace orvandi {

Text Join(std::initializer_list<std::u16string_view> parts) {
    Text text;
    for (const std::u16string_view part : parts) text += part;
    return text;
}

Text Decimal(std::int64_t value) {
    // Unsigned, so that the most negative value negates safely.
    const bool negative = value < 0;
    std::uint64_t magnitude = static_cast<std::uint64_t>(value);
    if (negative) magnitude = 0 - magnitude;
    Text digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    return negative ? u"-" + digits : digits;
}

Text Upper(Text text) {
    for (char16_t& c : text) {
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    }
    return text;
}

}  // namespace orvandi
