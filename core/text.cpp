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

Text FromUtf8(std::string_view utf8) {
    Text text;
    for (std::size_t at = 0; at < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[at++]);
        const int more = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : 2;  // no text here needs 4 bytes
        char16_t c = more == 0 ? lead : lead & (0x3F >> more);
        for (int i = 0; i < more && at < utf8.size(); ++i) {
            c = static_cast<char16_t>(c << 6 | (static_cast<unsigned char>(utf8[at++]) & 0x3F));
        }
        text += c;
    }
    return text;
}

}  // namespace orvandi
