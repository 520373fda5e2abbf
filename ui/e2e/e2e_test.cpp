// End-to-end tests: the real Orvandi.exe in a fresh application folder, watched and driven from
// another process as a person would (keys, mouse clicks on the X display, buttons), registering
// copies of the sample control with the system's own regsvr32.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>

#include "ui/e2e/e2e_support.h"
#include "ui/resource.h"

namespace orvandi::e2e {
namespace {

// The window's controls in creation (z and tab) order, with their place in the window's client
// area at 96 dpi.
struct ControlRow {
    int id;
    const wchar_t* className;
    DWORD mask;   // the style bits compared: the tab stop and the alignment or kind of control
    DWORD style;  // their value
    int x, y, width, height;
    const wchar_t* text;  // null: the system folder, checked below
};

constexpr DWORD kStatic = SS_TYPEMASK | WS_TABSTOP;
constexpr DWORD kButton = BS_TYPEMASK | WS_TABSTOP;
constexpr DWORD kList = LBS_MULTIPLESEL | LBS_NOINTEGRALHEIGHT | WS_TABSTOP;
constexpr wchar_t kLabel4Text[] =
    L"Seleziona gli OCX da registrare. Gli ocx sono presenti nella cartella OCX del programma. "
    L"Premi REGISTRA per completare l'operazione";

// clang-format off
const ControlRow kControls[] = {
    {IDC_LABEL2,       L"Static",  kStatic, SS_RIGHT,                   176, 0,   145, 17,  L"un programma di Brivanto"},
    {IDC_LABEL_SYSDIR, L"Static",  kStatic, SS_RIGHT,                   136, 24,  185, 17,  nullptr},
    {IDC_LABEL4,       L"Static",  kStatic, SS_CENTER,                  168, 56,  145, 89,  kLabel4Text},
    {IDC_LABEL5,       L"Static",  kStatic, SS_LEFT,                    8,   24,  129, 17,  L"CARTELLA SYSTEM:"},
    {IDC_FRAME1,       L"Button",  kButton, BS_GROUPBOX,                0,   40,  161, 169, L"Elenco OCX"},
    {IDC_LIST1,        L"ListBox", kList,   kList,                      8,   56,  145, 108, L""},
    {IDC_COMMAND1,     L"Button",  kButton, BS_PUSHBUTTON | WS_TABSTOP, 8,   176, 145, 25,  L"SELEZIONA TUTTI"},
    {IDC_FRAME2,       L"Button",  kButton, BS_GROUPBOX,                160, 160, 161, 49,  L""},
    {IDC_COMMAND2,     L"Button",  kButton, BS_PUSHBUTTON | WS_TABSTOP, 168, 176, 145, 25,  L"REGISTRA SELEZIONATI"},
};
// clang-format on

TEST(Window, ControlsTextStylesAndPlaces) {
    AppFolder app;
    Orvandi orvandi(app);
    ASSERT_TRUE(orvandi.window());
    ASSERT_EQ(ScreenDpi(), 96) << "the places below are pixels at 96 dpi";

    HWND window = orvandi.window();
    EXPECT_EQ(WindowText(window), L"TESSALUNE");
    EXPECT_FALSE(GetWindowLongW(window, GWL_STYLE) & WS_THICKFRAME) << "must not be resizable";
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 326);
    EXPECT_EQ(client.bottom, 213);

    std::wstring systemLabel = EnvironmentVariable(L"windir") +
                               (EnvironmentVariable(L"OS").empty() ? L"\\SYSTEM" : L"\\SYSTEM32");
    HWND child = GetWindow(window, GW_CHILD);
    for (const auto& row : kControls) {
        SCOPED_TRACE("control " + std::to_string(row.id));
        ASSERT_TRUE(child) << "fewer children than controls";
        EXPECT_EQ(GetDlgCtrlID(child), row.id) << "creation (z) order";
        EXPECT_TRUE(SameText(ClassName(child), row.className)) << Narrow(ClassName(child));
        EXPECT_EQ(WindowText(child), row.text ? row.text : systemLabel);
        auto style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
        EXPECT_EQ(style & row.mask, row.style) << std::hex << "style " << style;
        EXPECT_TRUE(IsWindowVisible(child));
        RECT place{};
        GetWindowRect(child, &place);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
        EXPECT_EQ(place.left, row.x);
        EXPECT_EQ(place.top, row.y);
        EXPECT_EQ(place.right - place.left, row.width);
        EXPECT_EQ(place.bottom - place.top, row.height);
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_FALSE(child) << "more children than controls";
}

TEST(Window, FocusStartsOnListAndTabCycles) {
    AppFolder app;
    app.AddControl(L"a.ocx");
    Orvandi orvandi(app);
    ASSERT_TRUE(orvandi.window());
    EXPECT_TRUE(WaitUntil([&] { return orvandi.FocusId() == IDC_LIST1; }, 3000))
        << "initial focus on " << orvandi.FocusId();
    // Real key presses: SendInput reaches the foreground window's thread through the server,
    // and the program's dialog-style message loop moves the focus.
    const struct {
        bool shift;
        int focus;
    } steps[] = {{false, IDC_COMMAND1}, {false, IDC_COMMAND2}, {false, IDC_LIST1},
                 {true, IDC_COMMAND2},  {true, IDC_COMMAND1},  {true, IDC_LIST1}};
    int step = 0;
    for (const auto& s : steps) {
        orvandi.PressTab(s.shift);
        EXPECT_EQ(orvandi.FocusId(), s.focus)
            << "after key " << ++step << (s.shift ? " Shift+Tab" : " Tab");
    }
}

// Entries are the plain files matching OCX\*.ocx, in the order the system lists the folder.
TEST(List, ShowsPlainOcxFilesInFolderOrder) {
    AppFolder app;
    for (const wchar_t* name :
         {L"b.ocx", L"a.ocx", L"C.OCX", L"My Control.ocx", L"y.ocx_old", L"readme.txt"}) {
        app.AddControl(name);
    }
    app.AddControl(L"hidden.ocx", FILE_ATTRIBUTE_HIDDEN);
    app.AddControl(L"system.ocx", FILE_ATTRIBUTE_SYSTEM);
    CreateDirectoryW(app.Ocx(L"folder.ocx").c_str(), nullptr);

    std::vector<std::wstring> expected;
    bool lookAlikeListed = false;
    for (const auto& [name, attributes] : Listing(app.Ocx(L"*.ocx"))) {
        lookAlikeListed |= name == L"y.ocx_old";
        bool plain = !(attributes &
                       (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY));
        if (plain && name.size() > 4 && SameText(name.substr(name.size() - 4), L".ocx")) {
            expected.push_back(name);
        }
    }
    // Wine matches *.ocx through the 8.3 name too, so the look-alike is really offered.
    EXPECT_TRUE(lookAlikeListed);

    Orvandi orvandi(app);
    ASSERT_TRUE(orvandi.window());
    auto entries = orvandi.Entries();
    EXPECT_EQ(entries, expected);
    EXPECT_EQ(std::set<std::wstring>(entries.begin(), entries.end()),
              (std::set<std::wstring>{L"C.OCX", L"My Control.ocx", L"a.ocx", L"b.ocx"}));
    EXPECT_EQ(orvandi.Marks(), std::vector<bool>(entries.size(), false)) << "nothing marked";
}

// More files than the list's 16-bit count holds: loading reports the overflow in one message,
// then the window opens with the first 32767 entries and the system folder already resolved.
TEST(List, MoreThan32767FilesOpenWithTheFirst32767AfterTheOverflowMessage) {
    AppFolder app;
    // Made on the Unix side: 32768 files through Wine's CreateFileW take far longer.
    ASSERT_EQ(
        RunUnix("cd '" + UnixPath(app.Ocx(L"")) + "' && seq -f e%05g.ocx 0 32767 | xargs touch"),
        0);
    const auto listing = Listing(app.Ocx(L"*.ocx"));
    ASSERT_EQ(listing.size(), 32768u);

    Orvandi orvandi(app, nullptr, L"", false);
    auto box = orvandi.TakeMessageBox();
    ASSERT_TRUE(box) << "no overflow message";
    EXPECT_EQ(box->caption, L"Orvandi");
    EXPECT_EQ(box->text, L"Error 6 (Overflow) in procedure Form_Load of Form Form1");
    ASSERT_TRUE(orvandi.AwaitWindow());
    HWND list = orvandi.Control(IDC_LIST1);
    EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 32767);
    wchar_t last[MAX_PATH] = {};
    SendMessageW(list, LB_GETTEXT, 32766, reinterpret_cast<LPARAM>(last));
    EXPECT_EQ(std::wstring(last), listing[32766].first);
    EXPECT_TRUE(SameText(WindowText(orvandi.Control(IDC_LABEL_SYSDIR)), SystemFolder()));
    // Removed on the Unix side too, before the folder's own (much slower) clean-up.
    EXPECT_EQ(RunUnix("rm -rf '" + UnixPath(app.Ocx(L"")) + "'"), 0);
}

// Wine adds WINE*, SystemDrive and SystemRoot to a block given to CreateProcessW, but neither
// windir nor OS (probed by a child printing GetEnvironmentStringsW for the block "FOO=1"), so an
// unset windir reaches the program unset.
TEST(List, SystemFolderLabelFollowsEnvironment) {
    const struct {
        std::optional<std::wstring> os, windir;
        const wchar_t* label;
    } rows[] = {
        {L"Windows_NT", L"C:\\windows", L"C:\\windows\\SYSTEM32"},
        {std::nullopt, L"C:\\windows", L"C:\\windows\\SYSTEM"},
        {L"", L"C:\\windows", L"C:\\windows\\SYSTEM"},
        {L"Windows_NT", L"D:\\Altrove", L"D:\\Altrove\\SYSTEM32"},
        {L"Windows_NT", std::nullopt, L"\\SYSTEM32"},
        {std::nullopt, std::nullopt, L"\\SYSTEM"},
    };
    AppFolder app;
    for (const auto& row : rows) {
        SCOPED_TRACE("OS=" + (row.os ? Narrow(*row.os) : "(unset)") +
                     " windir=" + (row.windir ? Narrow(*row.windir) : "(unset)"));
        std::wstring environment = EnvironmentBlock({{L"OS", row.os}, {L"windir", row.windir}});
        Orvandi orvandi(app, &environment);
        ASSERT_TRUE(orvandi.window());
        EXPECT_EQ(WindowText(orvandi.Control(IDC_LABEL_SYSDIR)), row.label);
    }
}

TEST(Marks, SelectAllAndClicksToggleEntries) {
    const struct {
        const char* what;
        bool selectAll;
        std::vector<int> clicks;
        std::vector<bool> marks;
        const wchar_t* screenshot;  // a picture of the window afterwards, for people to look at
    } rows[] = {
        {"SELEZIONA TUTTI marks every entry", true, {}, {true, true, true, true}, nullptr},
        {"a click marks its entry only", false, {2}, {false, false, true, false}, nullptr},
        {"a click after SELEZIONA TUTTI unmarks its entry only",
         true,
         {1},
         {true, false, true, true},
         L"orvandi_window"},
        {"a second click marks it again", true, {1, 1}, {true, true, true, true}, nullptr},
    };
    AppFolder app;
    for (const wchar_t* name : {L"a.ocx", L"b.ocx", L"c.ocx", L"My Control.ocx"}) {
        app.AddControl(name);
    }
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Orvandi orvandi(app);
        ASSERT_TRUE(orvandi.window());
        ASSERT_EQ(orvandi.Entries().size(), row.marks.size());
        if (row.selectAll) {
            orvandi.Press(IDC_COMMAND1);
            WaitUntil([&] { return orvandi.Marks() == std::vector<bool>(4, true); }, 3000);
        }
        for (int entry : row.clicks) orvandi.ClickEntry(entry);
        EXPECT_EQ(orvandi.Marks(), row.marks);
        if (row.screenshot) {
            std::printf("screenshot: %s\n", orvandi.Screenshot(row.screenshot).c_str());
        }
    }
}

// One run of REGISTRA SELEZIONATI. The sample control records each registration of a copy (see
// sample_control.cpp), so every registration the run started can be seen.
struct RegisterRow {
    const char* what;
    std::vector<std::wstring> controls;  // copies of the sample control in the OCX folder
    std::vector<std::wstring> clicked;   // entries marked by a click; none: SELEZIONA TUTTI
    enum { kPlain, kSourceDeleted, kDestinationHeld, kRegsvr32Planted } trouble;
    const wchar_t* troubled;  // the control the trouble is about
    int presses;
    const wchar_t* summary;                // the message box text, exactly
    std::vector<std::wstring> registered;  // copied and registered once per press; no others
};

#define ALL_DONE L"operazione completata con successo"
#define NOT_DONE L"non sono riuscito a fare i seguenti: "
// clang-format off
const RegisterRow kRegisterRows[] = {
    {"every marked control, one with a blank in its name",
     {L"Alpha.ocx", L"My Control.ocx", L"BETA.OCX"}, {}, RegisterRow::kPlain, nullptr, 1,
     L"operazione completata\r\nTotali : 3\r\nOk : 3\r\nNo : 0\r\n" ALL_DONE,
     {L"Alpha.ocx", L"My Control.ocx", L"BETA.OCX"}},
    {"only the marked entry",
     {L"Alpha.ocx", L"Beta.ocx", L"Gamma.ocx"}, {L"Beta.ocx"}, RegisterRow::kPlain, nullptr, 1,
     L"operazione completata\r\nTotali : 1\r\nOk : 1\r\nNo : 0\r\n" ALL_DONE,
     {L"Beta.ocx"}},
    {"a source deleted after the window opened",
     {L"Alpha.ocx", L"Gone.ocx"}, {}, RegisterRow::kSourceDeleted, L"Gone.ocx", 1,
     L"operazione completata\r\nTotali : 2\r\nOk : 1\r\nNo : 1\r\n" NOT_DONE L"Gone.ocx\r\n",
     {L"Alpha.ocx"}},
    {"a destination held open without sharing",
     {L"Held.ocx", L"Alpha.ocx"}, {}, RegisterRow::kDestinationHeld, L"Held.ocx", 1,
     L"operazione completata\r\nTotali : 2\r\nOk : 1\r\nNo : 1\r\n" NOT_DONE L"Held.ocx\r\n",
     {L"Alpha.ocx"}},
    {"a regsvr32.exe planted in the program's folder and current directory",
     {L"Alpha.ocx", L"My Control.ocx"}, {}, RegisterRow::kRegsvr32Planted, nullptr, 1,
     L"operazione completata\r\nTotali : 2\r\nOk : 2\r\nNo : 0\r\n" ALL_DONE,
     {L"Alpha.ocx", L"My Control.ocx"}},
    {"an empty OCX folder",
     {}, {}, RegisterRow::kPlain, nullptr, 1,
     L"operazione completata\r\nTotali : 0\r\nOk : 0\r\nNo : 0\r\n" ALL_DONE,
     {}},
    {"pressed twice: everything is done again",
     {L"Alpha.ocx", L"My Control.ocx"}, {}, RegisterRow::kPlain, nullptr, 2,
     L"operazione completata\r\nTotali : 2\r\nOk : 2\r\nNo : 0\r\n" ALL_DONE,
     {L"Alpha.ocx", L"My Control.ocx"}},
};
// clang-format on
#undef ALL_DONE
#undef NOT_DONE

void PrintTo(const RegisterRow& row, std::ostream* out) { *out << row.what; }

// Removes what a run leaves in the system folder and the registry, also when a check fails.
struct SystemCleanup {
    std::vector<std::wstring> names;
    explicit SystemCleanup(std::vector<std::wstring> controls) : names(std::move(controls)) {
        Clean();
    }
    ~SystemCleanup() {
        WaitForRegsvr32ToFinish();
        Clean();
    }
    void Clean() const {
        for (const auto& name : names) DeleteFileW((SystemFolder() + L"\\" + name).c_str());
        ClearRecords();
    }
};

class Register : public testing::TestWithParam<RegisterRow> {};

TEST_P(Register, CopiesRegistersAndReports) {
    const RegisterRow& row = GetParam();
    SystemCleanup cleanup(row.controls);
    AppFolder app;
    for (const auto& name : row.controls) app.AddControl(name);
    TempFolder currentDirectory;
    if (row.trouble == RegisterRow::kRegsvr32Planted) {
        for (const auto& folder : {app.path(), currentDirectory.path()}) {
            CopyFileW(Given().planted.c_str(), (folder + L"\\regsvr32.exe").c_str(), FALSE);
        }
    }
    Orvandi orvandi(app, nullptr, currentDirectory.path());
    ASSERT_TRUE(orvandi.window());
    ASSERT_TRUE(SameText(WindowText(orvandi.Control(IDC_LABEL_SYSDIR)), SystemFolder()));

    auto entries = orvandi.Entries();
    if (row.clicked.empty()) {
        orvandi.Press(IDC_COMMAND1);
        WaitUntil([&] { return orvandi.Marks() == std::vector<bool>(entries.size(), true); }, 3000);
    }
    for (const auto& name : row.clicked) {
        auto at = std::find(entries.begin(), entries.end(), name);
        ASSERT_NE(at, entries.end()) << Narrow(name);
        orvandi.ClickEntry(static_cast<int>(at - entries.begin()));
    }
    auto marks = orvandi.Marks();

    const std::string heldBytes = "held by another program";
    FileHandle held;
    if (row.trouble == RegisterRow::kSourceDeleted) {
        ASSERT_TRUE(DeleteFileW(app.Ocx(row.troubled).c_str()));
    } else if (row.trouble == RegisterRow::kDestinationHeld) {
        held.reset(CreateFileW((SystemFolder() + L"\\" + row.troubled).c_str(),
                               GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                               nullptr));
        ASSERT_TRUE(held);
        DWORD written = 0;
        WriteFile(held.get(), heldBytes.data(), static_cast<DWORD>(heldBytes.size()), &written,
                  nullptr);
    }

    const std::string sample = FileBytes(Given().sample);
    for (int press = 1; press <= row.presses; ++press) {
        SCOPED_TRACE("press " + std::to_string(press));
        if (press > 1) {
            // Stale copies in the system folder, which the next press has to replace.
            ASSERT_TRUE(WaitForRegsvr32ToFinish());
            for (const auto& name : row.registered) {
                ASSERT_TRUE(WriteBytes(SystemFolder() + L"\\" + name, "stale copy"));
            }
        }
        orvandi.Press(IDC_COMMAND2);
        auto box = orvandi.TakeMessageBox();
        ASSERT_TRUE(box) << "no message box";
        EXPECT_EQ(box->caption, L"Orvandi");
        EXPECT_EQ(box->text, row.summary);
        EXPECT_EQ(box->owner, orvandi.window());
        EXPECT_EQ(box->buttons, std::vector<int>{IDOK});
        EXPECT_FALSE(box->icon);
        EXPECT_EQ(orvandi.Marks(), marks) << "marks are kept after a run";
        for (const auto& name : row.registered) {
            SCOPED_TRACE(Narrow(name));
            std::wstring copy = SystemFolder() + L"\\" + name;
            bool copied = FileBytes(copy) == sample;  // (no dump of the bytes on failure)
            EXPECT_TRUE(copied) << "the copy in the system folder is not the sample";
            if (!WaitUntil([&] { return ReadRecord(name).count >= DWORD(press); }, 10000)) {
                ADD_FAILURE() << "regsvr32 did not register it";
                continue;
            }
            Record record = ReadRecord(name);
            wchar_t wow[MAX_PATH];
            std::wstring loaded(wow, GetSystemWow64DirectoryW(wow, MAX_PATH));
            EXPECT_TRUE(SameText(record.path, loaded + L"\\" + name)) << Narrow(record.path);
            EXPECT_TRUE(SameText(record.directory, SystemFolder())) << Narrow(record.directory);
            std::wstring argument =
                name.find(L' ') == std::wstring::npos ? name : L'"' + name + L'"';
            EXPECT_EQ(record.commandLine, L"regsvr32 /s " + argument);
            EXPECT_EQ(record.show, DWORD{SW_SHOWMINIMIZED}) << "minimized, taking the focus";
        }
    }

    ASSERT_TRUE(WaitForRegsvr32ToFinish());
    for (const auto& name : row.controls) {
        bool expected = std::count(row.registered.begin(), row.registered.end(), name) > 0;
        EXPECT_EQ(ReadRecord(name).count, expected ? DWORD(row.presses) : 0) << Narrow(name);
    }
    EXPECT_EQ(PlantedRegsvr32Runs(), 0u) << "the planted regsvr32.exe ran";
    if (row.trouble == RegisterRow::kSourceDeleted) {
        EXPECT_FALSE(FileExists(SystemFolder() + L"\\" + row.troubled));
    } else if (row.trouble == RegisterRow::kDestinationHeld) {
        held.reset();
        EXPECT_EQ(FileBytes(SystemFolder() + L"\\" + row.troubled), heldBytes) << "overwritten";
    }
}

// Test names: the row's number and its description in letters, digits and underscores.
std::string RowName(const testing::TestParamInfo<RegisterRow>& info) {
    std::string name = "row" + std::to_string(info.index);
    for (const char* c = info.param.what; *c; ++c) {
        bool letter = std::isalnum(static_cast<unsigned char>(*c));
        if (letter || name.back() != '_') name += letter ? *c : '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Rows, Register, testing::ValuesIn(kRegisterRows), RowName);

}  // namespace
}  // namespace orvandi::e2e

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (!orvandi::e2e::ParseInputs(argc, argv)) {
        std::fprintf(stderr, "usage: %s --orvandi=EXE --sample=OCX --planted=EXE\n", argv[0]);
        return 2;
    }
    return RUN_ALL_TESTS();
}
