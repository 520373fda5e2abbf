// The registry in the 32-bit view: keys that go only when empty, and the users' keys.
#include "platform/tests/platform_test.h"

namespace orvandi {
namespace {

constexpr char16_t kKey[] = u"SOFTWARE\\OrvandiProva";

StoredValue Value(std::uint32_t type, const std::string& bytes) {
    return {type, std::vector<std::uint8_t>(bytes.begin(), bytes.end())};
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
    EXPECT_TRUE(registry.Write(kKey, u"v", number) && registry.RemoveEmptyKey(kKey));
    EXPECT_TRUE(exists(kKey)) << "a key with a value";
    EXPECT_TRUE(registry.Remove(kKey, u"v") && registry.Write(sub, u"v", number));
    EXPECT_TRUE(registry.RemoveEmptyKey(kKey));
    EXPECT_TRUE(exists(kKey)) << "a key with a key";
    EXPECT_TRUE(registry.Remove(sub, u"v") && registry.RemoveEmptyKey(sub));
    EXPECT_TRUE(registry.RemoveEmptyKey(kKey));
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
