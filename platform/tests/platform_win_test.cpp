// The Win32 platform under Wine, on real files in fresh folders under the temporary folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "platform/platform_win.h"

namespace orvandi {
namespace {

namespace fs = std::filesystem;

std::wstring W(const Text& text) { return std::wstring(text.begin(), text.end()); }
Text T(const std::wstring& text) { return Text(text.begin(), text.end()); }
bool SameName(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The Failure that `action` raised, or one numbered -1 when it raised none.
template <typename Action>
Failure Raised(Action action) {
    try {
        action();
    } catch (const Failure& failure) {
        return failure;
    }
    return Failure{-1, u"no failure"};
}

void Write(const std::wstring& path, const std::string& bytes) {
    std::ofstream(fs::path(path), std::ios::binary) << bytes;
}
std::string Read(const std::wstring& path) {
    std::ifstream in(fs::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A fresh folder under GetTempPathW, removed with all it holds, whatever their attributes.
struct TempFolder {
    TempFolder() {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        static int made = 0;
        do {  // past any folder an earlier run with the same process id left behind
            path = fs::path(base) / (L"orvandi-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                     std::to_wstring(++made));
        } while (!fs::create_directory(path));
    }
    ~TempFolder() {
        std::error_code error;
        for (const auto& entry : fs::recursive_directory_iterator(path, error)) {
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        fs::remove_all(path, error);
    }
    std::wstring operator/(const std::wstring& name) const { return (path / name).wstring(); }
    fs::path path;
};

TEST(Win32PlatformTest, ListsThePlainFilesWhoseLongNameMatches) {
    const std::wstring accented = L"Contr\u00f4le.ocx", chinese = L"\u63a7\u4ef6.ocx";
    // FILE_ATTRIBUTE_DIRECTORY makes a folder. The 8.3 names of Old.ocx_bak and y.ocx_old match
    // *.ocx.
    const std::pair<std::wstring, DWORD> entries[] = {{L"plain.ocx", 0},
                                                      {L"readonly.ocx", FILE_ATTRIBUTE_READONLY},
                                                      {L"archive.ocx", FILE_ATTRIBUTE_ARCHIVE},
                                                      {L"hidden.ocx", FILE_ATTRIBUTE_HIDDEN},
                                                      {L"system.ocx", FILE_ATTRIBUTE_SYSTEM},
                                                      {L"x.ocx", FILE_ATTRIBUTE_DIRECTORY},
                                                      {L"UPPER.OCX", 0},
                                                      {L"Old.ocx_bak", 0},
                                                      {L"y.ocx_old", 0},
                                                      {accented, 0},
                                                      {chinese, 0},
                                                      {L"with blank.ocx", 0},
                                                      {L"README", 0}};
    TempFolder folder;
    for (const auto& [name, attributes] : entries) {
        if (attributes == FILE_ATTRIBUTE_DIRECTORY) {
            fs::create_directory(folder.path / name);
        } else {
            Write(folder / name, "x");
            if (attributes) SetFileAttributesW((folder / name).c_str(), attributes);
        }
    }
    const std::set<std::wstring> ocx{L"plain.ocx", L"readonly.ocx", L"archive.ocx",   L"UPPER.OCX",
                                     accented,     chinese,         L"with blank.ocx"};
    std::set<std::wstring> all = ocx;
    all.insert({L"Old.ocx_bak", L"y.ocx_old", L"README"});
    const std::pair<std::wstring, std::set<std::wstring>> cases[] = {
        {L"*.ocx", ocx},
        {L"CONTR\u00d4LE.OCX", {accented}},
        {L"??.ocx", {chinese}},
        {L"*.*", all},
        {L"missing\\*.ocx", {}}};
    Win32Platform platform;
    for (const auto& [pattern, names] : cases) {
        SCOPED_TRACE(pattern);
        std::set<std::wstring> listed;
        for (Text name = platform.ListFirst(T(folder / pattern), kListPlainFiles); !name.empty();
             name = platform.ListNext()) {
            listed.insert(W(name));
        }
        EXPECT_EQ(listed, names);
        EXPECT_EQ(platform.ListNext(), u"");  // the end stays the end
    }
    // A new listing abandons the one in progress.
    EXPECT_NE(platform.ListFirst(T(folder / L"*.ocx"), kListPlainFiles), u"");
    EXPECT_EQ(platform.ListFirst(T(folder / L"README"), kListPlainFiles), u"README");
    EXPECT_EQ(platform.ListNext(), u"");
}

TEST(Win32PlatformTest, CopyFileLeavesTheOldOrTheWholeNewDestination) {
    struct Case {
        bool sourceExists, destinationHeld;  // held: open without sharing during the copy
        std::int32_t number;                 // the Failure's; -1: none
    };
    // Wine 8's codes: 2 for the missing source, 5 for the move over the held destination.
    const Case cases[] = {
        {true, false, -1}, {false, false, ERROR_FILE_NOT_FOUND}, {true, true, ERROR_ACCESS_DENIED}};
    std::string fresh;
    for (int i = 0; i < 300000; ++i) fresh += static_cast<char>('a' + i % 23);
    Win32Platform platform;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        TempFolder folder;
        const std::wstring source = folder / L"new.ocx", destination = folder / L"old.ocx";
        if (c.sourceExists) Write(source, fresh);
        Write(destination, "old");
        FileHandle held(c.destinationHeld ? CreateFileW(destination.c_str(), GENERIC_READ, 0,
                                                        nullptr, OPEN_EXISTING, 0, nullptr)
                                          : nullptr);
        const Failure failure = Raised([&] { platform.CopyFile(T(source), T(destination)); });
        held.reset();
        EXPECT_EQ(failure.number, c.number);
        EXPECT_EQ(failure.description, c.number == -1 ? u"no failure" : SystemMessage(c.number));
        EXPECT_TRUE(Read(destination) == (c.number == -1 ? fresh : "old"));
        EXPECT_EQ(std::distance(fs::directory_iterator(folder.path), {}), c.sourceExists ? 2 : 1)
            << "a temporary is left";
    }
}

TEST(Win32PlatformTest, LaunchFailsForAMissingProgram) {
    const Failure failure = Raised([] { Win32Platform().Launch(u"orvandi-none /s x.ocx", 2); });
    EXPECT_EQ(failure.number, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(failure.description, SystemMessage(ERROR_FILE_NOT_FOUND));
}

// The probe control's report (see probe_control_win.cpp) once its host has registered it and
// ended; waits 30 s at most.
std::wstring Report(const std::wstring& control, std::int32_t task) {
    const std::wstring path = control + L".txt";
    for (int i = 0; i < 300 && GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) {
        Sleep(100);
    }
    if (const KernelHandle host{OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(task))}) {
        WaitForSingleObject(host.get(), 30000);
    }
    const std::string bytes = Read(path);
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
}

// Registers the probe control with "<program> /s <control>". The program started is the system's
// regsvr32 (or, for a name that is nowhere else, the one on PATH), never a regsvr32.exe planted
// in the test program's folder or the current directory; minimized with the focus, it runs in the
// system folder.
TEST(Win32PlatformTest, LaunchStartsTheProgramFromTheSystemFoldersOnly) {
    Win32Platform platform;
    wchar_t buffer[MAX_PATH];
    const std::wstring system(buffer, GetSystemDirectoryW(buffer, MAX_PATH));
    const std::wstring here = W(platform.ApplicationFolder());
    TempFolder folder;
    const std::wstring pathFolder = folder / L"path", onPath = pathFolder + L"\\orvandi-reg.exe";
    fs::create_directory(pathFolder);
    ASSERT_TRUE(CopyFileW((system + L"\\regsvr32.exe").c_str(), onPath.c_str(), TRUE));
    struct Planted {
        explicit Planted(std::wstring at) : path(std::move(at)) { Write(path, "not a program"); }
        ~Planted() { DeleteFileW(path.c_str()); }
        std::wstring path;
    } besideTest(here + L"\\regsvr32.exe"), inCurrent(folder / L"regsvr32.exe");
    struct Restore {
        fs::path current;
        std::wstring path;
        ~Restore() {
            SetEnvironmentVariableW(L"PATH", path.c_str());
            fs::current_path(current);
        }
    } restore{fs::current_path(), W(platform.GetEnvironment(u"PATH"))};
    fs::current_path(folder.path);
    SetEnvironmentVariableW(L"PATH", (pathFolder + L";" + restore.path).c_str());

    const std::wstring wow(buffer, GetSystemWow64DirectoryW(buffer, MAX_PATH));
    const std::pair<std::wstring, std::wstring> cases[] = {{L"regsvr32", wow + L"\\regsvr32.exe"},
                                                           {L"orvandi-reg", onPath}};
    for (const auto& [program, image] : cases) {
        SCOPED_TRACE(program);
        const std::wstring control = folder / (program + L".ocx");
        ASSERT_TRUE(CopyFileW((here + L"\\" ORVANDI_PROBE_CONTROL).c_str(), control.c_str(), TRUE));
        std::int32_t task = 0;
        const Failure failure = Raised([&, &program = program] {
            task = platform.Launch(T(program + L" /s \"" + control + L"\""), kWindowMinimizedFocus);
        });
        ASSERT_EQ(failure.number, -1) << W(failure.description);
        EXPECT_PRED2(SameName, Report(control, task),
                     image + L"\nshow window 2\n" + system + L"\n");
    }
}

TEST(Win32PlatformTest, GetEnvironmentAnswersTheEmptyTextForAnUnsetVariable) {
    const std::wstring longValue(300, L'v');  // past the first buffer
    // A value nullptr: the variable is not set.
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"ORVANDI_SET", L"C:\\a b"},
        {L"ORVANDI_UNSET", nullptr},
        {L"ORVANDI_EMPTY", L""},
        {L"ORVANDI_LONG", longValue.c_str()}};
    for (const auto& [name, value] : cases) {
        SetEnvironmentVariableW(name, value);
        EXPECT_EQ(W(Win32Platform().GetEnvironment(T(name))), value ? value : L"") << name;
        SetEnvironmentVariableW(name, nullptr);
    }
}

TEST(Win32PlatformTest, SystemMessageIsTheSystemTextWithoutItsLineBreak) {
    for (DWORD code : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_INVALID_WINDOW_HANDLE}) {
        wchar_t raw[512] = L"";
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                       raw, 512, nullptr);
        const Failure failure = SystemFailure(code);
        EXPECT_EQ(failure.number, static_cast<std::int32_t>(code));
        EXPECT_EQ(W(failure.description) + L"\r\n", raw);
    }
    EXPECT_EQ(SystemMessage(0x2ABCDEF), u"Unknown error");  // a code the system has no text for
}

TEST(Win32PlatformTest, ShowMessageFailsWithTheSystemCode) {
    const HWND gone = reinterpret_cast<HWND>(0x12345);  // no window: the box fails at once
    ASSERT_FALSE(IsWindow(gone));
    const Failure failure = Raised([&] { Win32Platform(gone).ShowMessage(u"text"); });
    EXPECT_EQ(failure.number, ERROR_INVALID_WINDOW_HANDLE);
}

TEST(Win32PlatformTest, SetPointerShowsTheHourglassOrTheArrowAtOnce) {
    const std::pair<int, const wchar_t*> cases[] = {
        {kPointerHourglass, IDC_WAIT}, {kPointerArrow, IDC_ARROW}, {5, IDC_ARROW}};
    Win32Platform platform;
    for (const auto& [pointer, cursor] : cases) {
        platform.SetPointer(pointer);
        EXPECT_EQ(platform.Pointer(), LoadCursorW(nullptr, cursor));
        EXPECT_EQ(GetCursor(), platform.Pointer());
    }
}

}  // namespace
}  // namespace orvandi
