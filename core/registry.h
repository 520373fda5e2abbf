// The registry, as the program reads and writes it: values by key and name, as they are stored.
// Everything is in the 32-bit view: on 64-bit Windows a 32-bit file in the 32-bit system folder
// is counted in the 32-bit SharedDLLs key, a 32-bit control's classes are registered there, and
// detection rules marked "32-bit" read this program's record there.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/result.h"
#include "core/text.h"

namespace orvandi {

// Value types as the registry numbers them.
inline constexpr std::uint32_t kValueText = 1;      // REG_SZ
inline constexpr std::uint32_t kValueExpanded = 2;  // REG_EXPAND_SZ
inline constexpr std::uint32_t kValueBytes = 3;     // REG_BINARY
inline constexpr std::uint32_t kValueNumber = 4;    // REG_DWORD
inline constexpr std::uint32_t kValueTexts = 7;     // REG_MULTI_SZ

// A value as it is stored: its type and its bytes.
struct StoredValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};

// HKEY_LOCAL_MACHINE, or HKEY_USERS, where each loaded user profile has a key named by its SID.
enum class Root { kMachine, kUsers };

class Registry {
  public:
    virtual ~Registry() = default;

    // A value; nothing when the key or the value is missing. The empty name is the key's default
    // value.
    virtual Result<std::optional<StoredValue>> Read(Root root, const Text& key,
                                                    const Text& name) = 0;
    // The names of a key's values, or of its subkeys, in no order; none when it is missing.
    virtual Result<std::vector<Text>> ValueNames(Root root, const Text& key) = 0;
    virtual Result<std::vector<Text>> KeyNames(Root root, const Text& key) = 0;
    // Under HKEY_LOCAL_MACHINE: writes a value (its key made when missing), removes one (a
    // missing one is no failure), removes a key that holds nothing (one that still holds a value
    // or a key of its own stays, and so does a missing one).
    virtual Status Write(const Text& key, const Text& name, const StoredValue& value) = 0;
    virtual Status Remove(const Text& key, const Text& name) = 0;
    virtual Status RemoveEmptyKey(const Text& key) = 0;
};

// Text values: REG_SZ as written, UTF-16 with its closing NUL; what one holds (REG_SZ or
// REG_EXPAND_SZ, unexpanded, to its first NUL), nothing for any other type. REG_MULTI_SZ the same
// way: a text each, up to the empty one that ends the list.
StoredValue TextValue(const Text& text);
std::optional<Text> TextOf(const StoredValue& value);
StoredValue TextsValue(const std::vector<Text>& texts);
std::optional<std::vector<Text>> TextsOf(const StoredValue& value);
StoredValue NumberValue(std::uint32_t number);

}  // namespace orvandi
