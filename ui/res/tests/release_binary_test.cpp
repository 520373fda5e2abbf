// Reads Orvandi.exe's resources the way Windows does: the version block through VerQueryValueW,
// the icon directory and image, and the manifest through an activation context built from the
// file. The executable is loaded as a data file, so this 64-bit test can read the 32-bit release
// build too (under Wine a 64-bit process loads a 32-bit PE with LOAD_LIBRARY_AS_DATAFILE and
// builds an activation context from it; measured with Wine 8).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "ui/resource.h"

namespace {

// Set by CMake: the release build's Orvandi.exe, or this build's own (a DOS path, Z: = /).
const wchar_t kExe[] = L"" ORVANDI_RELEASE_EXE;

struct ModuleFree {
    void operator()(HMODULE m) const { ::FreeLibrary(m); }
};
using Module = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFree>;

struct ActCtxRelease {
    void operator()(HANDLE h) const { ::ReleaseActCtx(h); }
};
using ActCtx = std::unique_ptr<void, ActCtxRelease>;

struct IconDestroy {
    void operator()(HICON h) const { ::DestroyIcon(h); }
};
using Icon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDestroy>;

// A copy of one resource's bytes; empty when the resource is missing.
std::vector<BYTE> ResourceBytes(HMODULE module, LPCWSTR type, LPCWSTR name) {
    HRSRC found = ::FindResourceW(module, name, type);
    if (found == nullptr) return {};
    HGLOBAL loaded = ::LoadResource(module, found);
    const auto* data = static_cast<const BYTE*>(::LockResource(loaded));
    if (data == nullptr) return {};
    return std::vector<BYTE>(data, data + ::SizeofResource(module, found));
}

class ReleaseBinary : public ::testing::Test {
  protected:
    void SetUp() override {
        module_.reset(::LoadLibraryExW(kExe, nullptr,
                                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
        ASSERT_TRUE(module_) << "cannot load " << kExe << " as a data file, error "
                             << ::GetLastError();
    }
    Module module_;
};

TEST_F(ReleaseBinary, VersionBlockIsItalianUnicodeWithTheProductStrings) {
    std::vector<BYTE> block = ResourceBytes(module_.get(), RT_VERSION, MAKEINTRESOURCEW(1));
    ASSERT_FALSE(block.empty()) << "no VERSIONINFO resource";
    block.resize(block.size() * 2);  // VerQueryValueW may convert in place past the block

    void* value = nullptr;
    UINT size = 0;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", &value, &size));
    ASSERT_EQ(size, sizeof(VS_FIXEDFILEINFO));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(fixed->dwSignature, VS_FFI_SIGNATURE);
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 1)) << "file version 1.0";
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(0, 1)) << "product version 1.0";
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &size));
    ASSERT_EQ(size, 2 * sizeof(WORD)) << "exactly one language";
    const auto* translation = static_cast<const WORD*>(value);
    EXPECT_EQ(translation[0], 0x0410) << "Italian";
    EXPECT_EQ(translation[1], 1200) << "Unicode";

    struct Row {
        const wchar_t* key;
        const wchar_t* expected;
    };
    const Row rows[] = {
        {L"FileVersion", L"1.00"},
        {L"ProductVersion", L"1.00"},
        {L"ProductName", L"Orvandi"},
        {L"InternalName", L"Orvandi"},
        {L"OriginalFilename", L"Orvandi.exe"},
    };
    for (const Row& row : rows) {
        const std::wstring path = std::wstring(L"\\StringFileInfo\\041004B0\\") + row.key;
        ASSERT_TRUE(::VerQueryValueW(block.data(), path.c_str(), &value, &size))
            << row.key << " missing";
        EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(value)), row.expected);
    }
}

TEST_F(ReleaseBinary, IconIsOneSixteenColourImageOfSixteenBySixteen) {
    const std::vector<BYTE> group =
        ResourceBytes(module_.get(), RT_GROUP_ICON, MAKEINTRESOURCEW(IDI_ORVANDI));
    ASSERT_FALSE(group.empty()) << "no icon with the id IDI_ORVANDI, which the window loads";

#pragma pack(push, 2)
    struct GroupEntry {  // GRPICONDIRENTRY
        BYTE width, height, colours, reserved;
        WORD planes, bit_count;
        DWORD bytes;
        WORD id;
    };
    struct GroupHeader {  // GRPICONDIR
        WORD reserved, type, count;
        GroupEntry entries[1];
    };
#pragma pack(pop)
    ASSERT_EQ(group.size(), sizeof(GroupHeader));
    GroupHeader dir;
    std::memcpy(&dir, group.data(), sizeof dir);
    EXPECT_EQ(dir.type, 1) << "an icon, not a cursor";
    ASSERT_EQ(dir.count, 1) << "one image";
    const GroupEntry& entry = dir.entries[0];
    EXPECT_EQ(entry.width, 16);
    EXPECT_EQ(entry.height, 16);
    EXPECT_EQ(entry.colours, 16);
    EXPECT_EQ(entry.planes, 1);
    EXPECT_EQ(entry.bit_count, 4);

    const std::vector<BYTE> image =
        ResourceBytes(module_.get(), RT_ICON, MAKEINTRESOURCEW(entry.id));
    ASSERT_FALSE(image.empty()) << "the directory names icon image " << entry.id
                                << ", which is missing";
    EXPECT_EQ(image.size(), entry.bytes);
    // Header, 16-colour palette, 4-bit colour rows and 1-bit mask rows (each DWORD-aligned).
    const size_t expected_size = sizeof(BITMAPINFOHEADER) + 16 * sizeof(RGBQUAD) + 16 * 8 + 16 * 4;
    ASSERT_EQ(image.size(), expected_size);
    BITMAPINFOHEADER header;
    std::memcpy(&header, image.data(), sizeof header);
    EXPECT_EQ(header.biSize, sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(header.biWidth, 16);
    EXPECT_EQ(header.biHeight, 32) << "colour image and mask together";
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biBitCount, 4);
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));

    // Windows makes an icon of it at its own size.
    Icon icon(::CreateIconFromResourceEx(const_cast<BYTE*>(image.data()),
                                         static_cast<DWORD>(image.size()), TRUE, 0x00030000, 16, 16,
                                         LR_DEFAULTCOLOR));
    EXPECT_TRUE(icon) << "CreateIconFromResourceEx failed, error " << ::GetLastError();
}

// The manifest as Windows reads it: an activation context built from the file's manifest
// resource (type 24, id 1), then asked what it holds.
TEST_F(ReleaseBinary, ManifestAsksForAdministratorCommonControls6SystemDpiAndLongPaths) {
    ASSERT_FALSE(
        ResourceBytes(module_.get(), RT_MANIFEST, CREATEPROCESS_MANIFEST_RESOURCE_ID).empty())
        << "no manifest resource 24/1";

    ACTCTXW request{};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = kExe;
    request.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
    HANDLE created = ::CreateActCtxW(&request);
    ASSERT_NE(created, INVALID_HANDLE_VALUE)
        << "Windows rejects the manifest (malformed XML?), error " << ::GetLastError();
    ActCtx context(created);

    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION run_level{};
    ASSERT_TRUE(::QueryActCtxW(0, context.get(), nullptr, RunlevelInformationInActivationContext,
                               &run_level, sizeof run_level, nullptr));
    EXPECT_EQ(run_level.RunLevel, ACTCTX_RUN_LEVEL_REQUIRE_ADMIN);
    EXPECT_EQ(run_level.UiAccess, 0u);

    struct Setting {
        const wchar_t* ns;
        const wchar_t* name;
        const wchar_t* expected;
    };
    const Setting settings[] = {
        {L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware", L"true"},
        {L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness", L"system"},
        {L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"longPathAware", L"true"},
    };
    for (const Setting& setting : settings) {
        wchar_t value[64] = {};
        SIZE_T length = 0;
        ASSERT_TRUE(::QueryActCtxSettingsW(0, context.get(), setting.ns, setting.name, value,
                                           ARRAYSIZE(value), &length))
            << setting.name << " missing, error " << ::GetLastError();
        EXPECT_EQ(std::wstring(value), setting.expected) << setting.name;
    }

    // The assemblies the context resolved: the program itself, then its dependencies.
    alignas(8) BYTE buffer[4096];
    ASSERT_TRUE(::QueryActCtxW(0, context.get(), nullptr, ActivationContextDetailedInformation,
                               buffer, sizeof buffer, nullptr));
    const DWORD assemblies =
        reinterpret_cast<const ACTIVATION_CONTEXT_DETAILED_INFORMATION*>(buffer)->ulAssemblyCount;
    bool common_controls_6 = false;
    for (DWORD index = 1; index <= assemblies; ++index) {
        alignas(8) BYTE detail[4096];
        ASSERT_TRUE(::QueryActCtxW(0, context.get(), &index,
                                   AssemblyDetailedInformationInActivationContext, detail,
                                   sizeof detail, nullptr));
        const std::wstring identity =
            reinterpret_cast<const ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(detail)
                ->lpAssemblyEncodedAssemblyIdentity;
        if (identity.rfind(L"Microsoft.Windows.Common-Controls,", 0) == 0 &&
            identity.find(L"version=\"6.") != std::wstring::npos) {
            common_controls_6 = true;
        }
    }
    EXPECT_TRUE(common_controls_6) << "no common controls 6 among " << assemblies << " assemblies";

    // supportedOS: Windows 7, 8, 8.1 and 10/11. The element layout grew over Windows versions
    // (Wine 8 returns 32-byte elements, older headers declare 20), so look for the GUIDs' bytes.
    alignas(8) BYTE compat[1024] = {};
    SIZE_T compat_size = 0;
    ASSERT_TRUE(::QueryActCtxW(0, context.get(), nullptr,
                               CompatibilityInformationInActivationContext, compat, sizeof compat,
                               &compat_size));
    DWORD os_count = 0;
    std::memcpy(&os_count, compat, sizeof os_count);
    EXPECT_EQ(os_count, 4u);
    const GUID systems[] = {
        {0x35138b9a, 0x5d96, 0x4fbd, {0x8e, 0x2d, 0xa2, 0x44, 0x02, 0x25, 0xf9, 0x3a}},  // 7
        {0x4a2f28e3, 0x53b9, 0x4441, {0xba, 0x9c, 0xd6, 0x9d, 0x4a, 0x4a, 0x6e, 0x38}},  // 8
        {0x1f676c76, 0x80e1, 0x4239, {0x95, 0xbb, 0x83, 0xd0, 0xf6, 0xd0, 0xda, 0x78}},  // 8.1
        {0x8e0f7a12, 0xbfb3, 0x4fe8, {0xb9, 0xa5, 0x48, 0xfd, 0x50, 0xa1, 0x5a, 0x9a}},  // 10
    };
    for (const GUID& system : systems) {
        bool found = false;
        for (SIZE_T at = 0; at + sizeof system <= compat_size && !found; ++at) {
            found = std::memcmp(compat + at, &system, sizeof system) == 0;
        }
        EXPECT_TRUE(found) << "supportedOS {" << std::hex << system.Data1 << "...} missing";
    }
}

}  // namespace
