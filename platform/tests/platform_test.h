// What the platform's tests share: a folder of each test's own, files there, the ports.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/platform_win.h"

namespace orvandi {

namespace fs = std::filesystem;

inline Text T(const fs::path& path) { return reinterpret_cast<const char16_t*>(path.c_str()); }
inline fs::path P(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

inline bool Write(const fs::path& path, const std::string& bytes) {
    return static_cast<bool>(std::ofstream(path, std::ios::binary) << bytes);
}

inline std::string Contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A file opened with `access`, shared as `share`; a new one with CREATE_ALWAYS.
inline FileHandle Open(const fs::path& path, DWORD access, DWORD share = 0,
                       DWORD how = OPEN_EXISTING) {
    return FileHandle(CreateFileW(path.c_str(), access, share, nullptr, how,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// The system folder as a 32-bit program sees it, or the real one (SysWOW64).
inline fs::path SystemFolder(UINT(WINAPI* get)(LPWSTR, UINT) = GetSystemDirectoryW) {
    wchar_t path[MAX_PATH];
    return std::wstring(path, get(path, MAX_PATH));
}

// The number of the Failure a result holds, or 0; its description starts with Windows' text.
template <typename Result>
std::int32_t Failed(const Result& result) {
    if (result) return 0;
    const Failure& failure = result.failure();
    EXPECT_EQ(failure.description.rfind(SystemMessage(failure.number), 0), 0u) << failure.number;
    return failure.number;
}

class PlatformTest : public testing::Test {
  protected:
    void SetUp() override { fs::create_directories(folder); }
    void TearDown() override {
        std::error_code error;  // a program started from here may still hold its file
        for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        fs::remove_all(folder, error);
    }
    const fs::path folder =
        fs::temp_directory_path() / testing::UnitTest::GetInstance()->current_test_info()->name();
    Win32Ports run;
};

}  // namespace orvandi
