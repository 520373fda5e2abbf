// The Win32 platform on real files, in a folder of each test's own under the temporary folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <tuple>

#include "platform/platform_win.h"

namespace orvandi {
namespace {

namespace fs = std::filesystem;

Text T(const fs::path& path) { return reinterpret_cast<const char16_t*>(path.c_str()); }

bool Write(const fs::path& path, const std::string& bytes) {
    return static_cast<bool>(std::ofstream(path, std::ios::binary) << bytes);
}

std::string Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The number of the Failure that `action` raised, or 0.
template <typename Action>
std::int32_t Raised(Action action) {
    try {
        action();
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.description, SystemMessage(failure.number)) << failure.number;
        return failure.number;
    }
    return 0;
}

class Win32PlatformTest : public testing::Test {
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
    Win32Platform platform;
};

// Plain files whose long name matches, in any letter case; never hidden or system files,
// folders, or names that match only through their 8.3 short name.
TEST_F(Win32PlatformTest, ListsThePlainFilesWhoseLongNameMatches) {
    const DWORD folderBit = FILE_ATTRIBUTE_DIRECTORY;
    // clang-format off
    const std::pair<const wchar_t*, DWORD> files[] = {
        {L"plain.ocx", 0}, {L"readonly.ocx", FILE_ATTRIBUTE_READONLY}, {L"UPPER.OCX", 0},
        {L"hidden.ocx", FILE_ATTRIBUTE_HIDDEN}, {L"system.ocx", FILE_ATTRIBUTE_SYSTEM},
        {L"dir.ocx", folderBit}, {L"Old.ocx_bak", 0}, {L"Contr\u00f4le.ocx", 0}, {L"\u63a7 b.ocx", 0}};
    const std::pair<const wchar_t*, std::set<Text>> rows[] = {
        {L"*.ocx", {u"plain.ocx", u"readonly.ocx", u"UPPER.OCX", u"Contr\u00f4le.ocx", u"\u63a7 b.ocx"}},
        {L"CONTR\u00d4LE.OC?", {u"Contr\u00f4le.ocx"}},
        {L"missing\\*.ocx", {}}};
    // clang-format on
    for (const auto& [name, attributes] : files) {
        attributes == folderBit ? fs::create_directory(folder / name) : Write(folder / name, "x");
        SetFileAttributesW((folder / name).c_str(), attributes);
    }
    for (const auto& [pattern, names] : rows) {
        std::set<Text> listed;
        for (Text name = platform.ListFirst(T(folder / pattern), 0); !name.empty();
             name = platform.ListNext()) {
            listed.insert(name);
        }
        EXPECT_EQ(listed, names) << fs::path(pattern).string();
    }
}

// The copy goes through a temporary file beside the destination, which is then moved over it:
// the destination is the old file or the whole new one, and no temporary is ever left.
TEST_F(Win32PlatformTest, CopyFileReplacesTheDestinationWholeOrNotAtAll) {
    const std::string fresh(300000, 'n');
    const struct {
        bool source, held;  // the source exists; the destination is open without sharing
        std::int32_t failure;
    } rows[] = {
        {true, false, 0}, {false, false, ERROR_FILE_NOT_FOUND}, {true, true, ERROR_ACCESS_DENIED}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.failure);
        fs::remove(folder / L"new.ocx");
        if (row.source) Write(folder / L"new.ocx", fresh);
        Write(folder / L"old.ocx", "old");
        FileHandle held(row.held ? CreateFileW((folder / L"old.ocx").c_str(), GENERIC_READ, 0,
                                               nullptr, OPEN_EXISTING, 0, nullptr)
                                 : nullptr);
        EXPECT_EQ(
            Raised([&] { platform.CopyFile(T(folder / L"new.ocx"), T(folder / L"old.ocx")); }),
            row.failure);
        held.reset();
        EXPECT_TRUE(Bytes(folder / L"old.ocx") == (row.failure ? "old" : fresh));
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), row.source ? 2 : 1);
    }
}

// What decides a copy, read from real files: whether a file is a 32-bit control, then the
// versions of the sample control's two builds and whether two files hold the same bytes.
TEST_F(Win32PlatformTest, InspectCopyReadsWhatTheCopyRulesNeed) {
    const auto inspect = [&](const wchar_t* source, const wchar_t* destination) {
        return platform.InspectCopy(T(folder / source), T(folder / destination));
    };
    const std::string older = Bytes(SAMPLE_OCX);
    // The same DLL with headers that say x86-64, or a program rather than a DLL.
    const std::size_t pe = *reinterpret_cast<const std::uint32_t*>(&older[0x3c]);
    std::string wide = older, program = older;
    wide.replace(pe + 4, 2, "\x64\x86");
    program[pe + 23] &= ~0x20;
    for (const auto& [bytes, control] : std::initializer_list<std::pair<std::string, bool>>{
             {older, true},
             {Bytes(NEWER_OCX), true},
             {"MZ plain text", false},
             {wide, false},
             {program, false},
             {older.substr(0, older.size() / 2), false},
             {"", false}}) {
        Write(folder / L"kind.ocx", bytes);
        EXPECT_EQ(inspect(L"kind.ocx", L"none.ocx").sourceIsControl, control) << bytes.size();
    }

    for (const wchar_t* name : {L"older.ocx", L"same.ocx", L"held.ocx"}) {
        fs::copy_file(SAMPLE_OCX, folder / name);
    }
    fs::copy_file(NEWER_OCX, folder / L"newer.ocx");
    const FileHandle held(CreateFileW((folder / L"held.ocx").c_str(), GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    const std::optional<std::uint64_t> none, v4 = 0x0001000200030004, v5 = *v4 + 1;
    // As CopyFacts: a control, its version, the destination's, the same bytes.
    using Facts =
        std::tuple<bool, std::optional<std::uint64_t>, std::optional<std::uint64_t>, bool>;
    const std::tuple<const wchar_t*, Facts> rows[] = {
        {L"none.ocx", {true, v4, none, false}},
        {L"newer.ocx", {true, v4, v5, false}},
        {L"same.ocx", {true, v4, v4, true}},
        {L"held.ocx", {true, v4, none, false}},  // unreadable: replaced
    };
    for (const auto& [destination, expected] : rows) {
        const CopyFacts facts = inspect(L"older.ocx", destination);
        EXPECT_EQ(Facts(facts.sourceIsControl, facts.sourceVersion, facts.destinationVersion,
                        facts.sameBytes),
                  expected)
            << fs::path(destination).string();
    }
    EXPECT_EQ(Raised([&] { inspect(L"held.ocx", L"none.ocx"); }), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(Raised([&] { inspect(L"none.ocx", L"older.ocx"); }), ERROR_FILE_NOT_FOUND);
}

// The program named first is looked for in the system folders, then in the absolute PATH folders
// (a planted regsvr32.exe is never run: see the end-to-end test). Waited for, it gives its exit
// code, or past the time allowed it is ended at once ("Lento" takes 3 s to register).
TEST_F(Win32PlatformTest, StartsProgramsFromTheSystemFoldersOrPathAndWaitsForThem) {
    wchar_t system[MAX_PATH];
    fs::remove(folder / L"orvandi-cmd.exe");  // TearDown may not remove it while it still runs
    fs::copy_file(
        fs::path(std::wstring(system, GetSystemDirectoryW(system, MAX_PATH))) / L"cmd.exe",
        folder / L"orvandi-cmd.exe");
    fs::copy_file(SAMPLE_OCX, folder / L"Lento.ocx");
    const Text path = platform.GetEnvironment(u"PATH");
    SetEnvironmentVariableW(L"PATH", (L".;" + folder.wstring()).c_str());
    const Finished exited = platform.RunAndWait(u"orvandi-cmd /c exit 5", 60000);
    EXPECT_TRUE(exited.inTime && exited.exitCode == 5) << exited.exitCode;
    EXPECT_EQ(Raised([&] { platform.Launch(u"orvandi-none /s x.ocx", 2); }), ERROR_FILE_NOT_FOUND);
    const DWORD start = GetTickCount();
    EXPECT_FALSE(
        platform.RunAndWait(u"regsvr32 /s \"" + T(folder / L"Lento.ocx") + u"\"", 500).inTime);
    EXPECT_LT(GetTickCount() - start, 2000u) << "waited for it to end by itself";
    SetEnvironmentVariableW(L"PATH", reinterpret_cast<const wchar_t*>(path.c_str()));
}

// A log is appended to, in UTF-8 (one unattended run at a time: see the end-to-end test).
TEST_F(Win32PlatformTest, LogsAreAppendedInUtf8) {
    for (const Text line : {u"\u00e0\r\n", u"b"}) {
        Win32Platform run;
        run.OpenLog(T(folder / L"a.log"));
        run.WriteLog(line);
    }
    EXPECT_EQ(Bytes(folder / L"a.log"), "\xEF\xBB\xBF\xC3\xA0\r\nb");
    EXPECT_EQ(Raised([&] { platform.OpenLog(T(folder / L"none" / L"a.log")); }),
              ERROR_PATH_NOT_FOUND);
}

TEST_F(Win32PlatformTest, EnvironmentMessagesAndTheirFailures) {
    const std::wstring longValue(300, L'v');  // past the first buffer
    for (const wchar_t* value : {L"C:\\a b", L"", longValue.c_str()}) {
        SetEnvironmentVariableW(L"ORVANDI_VALUE", value);
        EXPECT_EQ(platform.GetEnvironment(u"ORVANDI_VALUE"), T(value));
    }
    EXPECT_EQ(platform.GetEnvironment(u"ORVANDI_UNSET"), u"");

    wchar_t raw[256] = L"";
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, raw, 256, nullptr);
    EXPECT_EQ(SystemMessage(ERROR_ACCESS_DENIED) + u"\r\n", T(raw));

    // A message box for an owner that is no window fails at once, with the system's error.
    platform.SetOwner(reinterpret_cast<HWND>(0x12345));
    EXPECT_EQ(Raised([&] { platform.ShowMessage(u"text"); }), ERROR_INVALID_WINDOW_HANDLE);
}

}  // namespace
}  // namespace orvandi
