#include "core/shared_count.h"

namespace orvandi {

std::optional<SharedCount> ParseCount(const StoredValue& stored) {
    const std::vector<std::uint8_t>& data = stored.data;
    SharedCount count{0, stored.type, data.size()};
    if (stored.type == kValueText) {
        std::size_t digits = 0;
        std::uint64_t value = 0;
        for (std::size_t at = 0; at + 1 < data.size(); at += 2) {
            const char16_t c = static_cast<char16_t>(data[at] | data[at + 1] << 8);
            if (c == u'\0' && digits > 0) continue;  // the closing NULs, however many
            if (c < u'0' || c > u'9' || at / 2 != digits || ++digits > 10) return std::nullopt;
            value = value * 10 + (c - u'0');
        }
        if (data.size() % 2 != 0 || digits == 0 || value > 0xFFFFFFFFu) return std::nullopt;
        count.value = static_cast<std::uint32_t>(value);
        return count;
    }
    const bool bytes = stored.type == kValueBytes && !data.empty() && data.size() <= 4;
    if (!bytes && !(stored.type == kValueNumber && data.size() == 4)) return std::nullopt;
    for (std::size_t at = data.size(); at-- > 0;) count.value = count.value << 8 | data[at];
    return count;
}

StoredValue StoreCount(const SharedCount& as, std::uint32_t value) {
    StoredValue stored{as.type, {}};
    if (as.type == kValueText) {
        for (const char16_t c : Decimal(value) + u'\0') {
            stored.data.push_back(static_cast<std::uint8_t>(c));
            stored.data.push_back(static_cast<std::uint8_t>(c >> 8));
        }
        return stored;
    }
    std::size_t width = as.type == kValueBytes ? as.width : 4;
    if (width < 4 && value >> (8 * width) != 0) width = 4;
    for (std::size_t at = 0; at < width; ++at) {
        stored.data.push_back(static_cast<std::uint8_t>(value >> (8 * at)));
    }
    return stored;
}

Result<CountFound> FindCount(Registry& registry, const std::vector<Text>& paths) {
    for (const Text& path : paths) {
        Result<std::optional<StoredValue>> stored =
            registry.Read(Root::kMachine, kSharedCounts, path);
        if (!stored) return stored.failure();
        if (*stored) {
            const std::optional<SharedCount> count = ParseCount(**stored);
            return CountFound{path, std::move(*stored), count};
        }
    }
    return CountFound{paths.front(), std::nullopt, std::nullopt};
}

Status WriteCount(Registry& registry, const CountFound& found, std::uint32_t value) {
    if (value == 0) return registry.Remove(kSharedCounts, found.path);
    return registry.Write(kSharedCounts, found.path,
                          StoreCount(found.count.value_or(SharedCount()), value));
}

Status RestoreCount(Registry& registry, const CountFound& found) {
    if (!found.stored) return registry.Remove(kSharedCounts, found.path);
    return registry.Write(kSharedCounts, found.path, *found.stored);
}

}  // namespace orvandi
