// The registry as stored, in the 32-bit view: values of every type, names, keys that go only when
// empty.
#include <tuple>

#include "platform/tests/platform_test.h"

namespace orvandi {
namespace {

constexpr char16_t kKey[] = u"SOFTWARE\\OrvandiProva";

StoredValue Value(std::uint32_t type, const std::string& bytes) {
    return {type, std::vector<std::uint8_t>(bytes.begin(), bytes.end())};
}

// Each value reads back as it was written, its type and bytes, a long one too (past the first
// read's buffer), under the 32-bit view's own key; a value or a key that is missing is nothing,
// and listed as nothing.
TEST(RegistryTest, ValuesAreReadAsTheyAreStored) {
    Win32Registry registry;
    const std::pair<Text, StoredValue> values[] = {
        {u"", Value(REG_SZ, std::string("d\0\0\0", 4))},
        {u"text", Value(REG_EXPAND_SZ, std::string("%\0x\0%\0\0\0", 8))},
        {u"texts", Value(REG_MULTI_SZ, std::string("a\0\0\0b\0\0\0\0\0", 10))},
        {u"number", Value(REG_DWORD, "\x01\x02\x03\x04")},
        {u"long", Value(REG_BINARY, std::string(300, '\xAB'))},
        {u"none", Value(REG_BINARY, "")},
    };
    for (const auto& [name, value] : values) EXPECT_TRUE(registry.Write(kKey, name, value));
    for (const auto& [name, value] : values) {
        const auto read = registry.Read(Root::kMachine, kKey, name);
        ASSERT_TRUE(read && *read) << std::string(name.begin(), name.end());
        EXPECT_EQ(std::tuple((*read)->type, (*read)->data), std::tuple(value.type, value.data));
    }
    const Text view = Join({u"SOFTWARE\\Wow6432Node\\", kKey + 9});
    HKEY seen = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, reinterpret_cast<const wchar_t*>(view.c_str()), 0,
                            KEY_READ | KEY_WOW64_64KEY, &seen),
              ERROR_SUCCESS);
    RegCloseKey(seen);
    const auto names = registry.ValueNames(Root::kMachine, kKey);
    EXPECT_EQ(names ? names->size() : 0, std::size(values));
    EXPECT_TRUE(registry.Remove(kKey, u"long"));
    EXPECT_TRUE(registry.Remove(kKey, u"long"));
    for (const auto& [key, name] : {std::pair{kKey, u"long"}, {u"SOFTWARE\\OrvandiNone", u""}}) {
        const auto read = registry.Read(Root::kMachine, key, name);
        EXPECT_TRUE(read && !*read);
    }
    const auto none = registry.KeyNames(Root::kMachine, u"SOFTWARE\\OrvandiNone");
    EXPECT_TRUE(none && none->empty());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, reinterpret_cast<const wchar_t*>(view.c_str()));
}

// A key goes only when it holds neither a value nor a key of its own; HKEY_USERS lists a key for
// each loaded user, and what is under one reads as anything else.
TEST(RegistryTest, KeysGoOnlyWhenEmpty) {
    Win32Registry registry;
    const Text sub = Join({kKey, u"\\sub"});
    const StoredValue number = Value(REG_DWORD, std::string(4, '\0'));
    const auto exists = [](const Text& key) {
        HKEY opened = nullptr;
        const bool found =
            RegOpenKeyExW(HKEY_LOCAL_MACHINE, reinterpret_cast<const wchar_t*>(key.c_str()), 0,
                          KEY_READ | KEY_WOW64_32KEY, &opened) == ERROR_SUCCESS;
        return found && RegCloseKey(opened) == ERROR_SUCCESS;
    };
    // Where a value is written (the key, its subkey, or none: written then removed); whether the
    // key stays.
    const std::pair<Text, bool> rows[] = {{kKey, true}, {sub, true}, {u"", false}};
    for (const auto& [where, stays] : rows) {
        EXPECT_TRUE(registry.Write(where.empty() ? kKey : where, u"v", number));
        if (where.empty()) {
            EXPECT_TRUE(registry.Remove(kKey, u"v"));
        }
        EXPECT_TRUE(registry.RemoveEmptyKey(kKey));
        EXPECT_EQ(exists(kKey), stays) << std::string(where.begin(), where.end());
        (void)registry.Remove(sub, u"v");
        (void)registry.RemoveEmptyKey(sub);
        (void)registry.Remove(kKey, u"v");
        (void)registry.RemoveEmptyKey(kKey);
    }
    EXPECT_FALSE(exists(kKey));
    EXPECT_TRUE(registry.RemoveEmptyKey(kKey));  // missing

    const auto users = registry.KeyNames(Root::kUsers, u"");
    ASSERT_TRUE(users);
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\OrvandiProva", L"u", REG_DWORD, "\0\0\0\0", 4);
    int found = 0;
    for (const Text& user : *users) {
        const auto read = registry.Read(Root::kUsers, user + u"\\Software\\OrvandiProva", u"u");
        found += read && *read && (*read)->data == number.data;
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\OrvandiProva");
    EXPECT_EQ(found, 1);
}

}  // namespace
}  // namespace orvandi
