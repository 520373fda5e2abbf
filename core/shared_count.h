// The counts installers keep of the programs that share a file, under
// HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\SharedDLLs, one value per file named by its path.
// Most installers keep a number (REG_DWORD), but some write decimal text (REG_SZ) or one to four
// bytes (REG_BINARY), and each reads the others' counts. A count is raised and lowered in the form
// it was found in; a value that does not read as a count belongs to a program that knows better,
// and is never written over or removed.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/registry.h"
#include "core/result.h"
#include "core/text.h"

namespace orvandi {

// Where installers keep them.
inline constexpr char16_t kSharedCounts[] =
    u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// A count as it was found: its value, and the form to write it back in.
struct SharedCount {
    std::uint32_t value = 0;
    std::uint32_t type = kValueNumber;
    std::size_t width = 4;  // of a count kept as bytes
};

// A REG_DWORD of 4 bytes; a REG_SZ of 1 to 10 ASCII digits, followed by nothing but NULs, up to
// 4294967295; a REG_BINARY of 1 to 4 bytes, least significant first. Anything else: nothing.
std::optional<SharedCount> ParseCount(const StoredValue& stored);

// `value` in the form of `as`; a count kept as bytes that no longer fits its width takes 4.
StoredValue StoreCount(const SharedCount& as, std::uint32_t value);

// A control's count under the first of its names that has one, or under the first name when none
// has: what is stored there, and the count it holds.
struct CountFound {
    Text path;
    std::optional<StoredValue> stored;  // nothing: no count yet
    std::optional<SharedCount> count;   // nothing: none, or one that does not read as a count
    bool Unreadable() const { return stored && !count; }
};
Result<CountFound> FindCount(Registry& registry, const std::vector<Text>& paths);

// Writes the count found as `value`, in its own form; 0 removes it.
Status WriteCount(Registry& registry, const CountFound& found, std::uint32_t value);
// Puts back exactly what was stored (or nothing) when the count was found.
Status RestoreCount(Registry& registry, const CountFound& found);

}  // namespace orvandi
