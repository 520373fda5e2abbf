#include "core/registry.h"

namespace orvandi {
namespace {

void Append(StoredValue& value, const Text& text) {
    for (const char16_t c : text) {
        value.data.push_back(static_cast<std::uint8_t>(c));
        value.data.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    value.data.insert(value.data.end(), {0, 0});
}

// The value's bytes as UTF-16 characters; an odd last byte is dropped.
Text Characters(const StoredValue& value) {
    Text text;
    for (std::size_t at = 0; at + 1 < value.data.size(); at += 2) {
        text += static_cast<char16_t>(value.data[at] | value.data[at + 1] << 8);
    }
    return text;
}

}  // namespace

StoredValue TextValue(const Text& text) {
    StoredValue value{kValueText, {}};
    Append(value, text);
    return value;
}

std::optional<Text> TextOf(const StoredValue& value) {
    if (value.type != kValueText && value.type != kValueExpanded) return std::nullopt;
    Text text = Characters(value);
    return text.substr(0, text.find(u'\0'));
}

StoredValue TextsValue(const std::vector<Text>& texts) {
    StoredValue value{kValueTexts, {}};
    for (const Text& text : texts) Append(value, text);
    // An empty list is written as the registry editor writes it: an empty text, then the end.
    if (texts.empty()) value.data.insert(value.data.end(), {0, 0});
    value.data.insert(value.data.end(), {0, 0});
    return value;
}

std::optional<std::vector<Text>> TextsOf(const StoredValue& value) {
    if (value.type != kValueTexts) return std::nullopt;
    std::vector<Text> texts;
    const Text all = Characters(value);
    for (std::size_t at = 0, end; at < all.size() && all[at] != u'\0'; at = end + 1) {
        end = all.find(u'\0', at);
        if (end == Text::npos) end = all.size();
        texts.push_back(all.substr(at, end - at));
    }
    return texts;
}

StoredValue NumberValue(std::uint32_t number) {
    return {kValueNumber,
            {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
             static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)}};
}

}  // namespace orvandi
