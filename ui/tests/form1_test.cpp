// Form1 created in this process, so its fonts and geometry can be read back (another process
// gets no fonts from it under Wine).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/form1.h"
#include "ui/resource.h"

namespace orvandi {
namespace {

std::wstring Text(HWND hwnd) {
    std::wstring text(GetWindowTextLengthW(hwnd) + 1, L'\0');
    text.resize(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size())));
    return text;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    GetEnvironmentVariableW(name, value, MAX_PATH);
    return value;
}

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Records the windows created on this thread, in order, with the text each was created with.
std::vector<std::pair<int, std::wstring>> g_created;
LRESULT CALLBACK RecordCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const CREATESTRUCTW* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
        if (create->style & WS_CHILD) {
            g_created.emplace_back(static_cast<int>(reinterpret_cast<INT_PTR>(create->hMenu)),
                                   create->lpszName ? create->lpszName : L"");
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class Form1Test : public testing::Test {
  protected:
    void SetUp() override {
        HHOOK hook = SetWindowsHookExW(WH_CBT, RecordCreation, nullptr, GetCurrentThreadId());
        g_created.clear();
        hwnd = form.Create(GetModuleHandleW(nullptr));
        UnhookWindowsHookEx(hook);
        ASSERT_NE(hwnd, nullptr);
    }
    void TearDown() override {
        DestroyWindow(hwnd);
        Pump();
    }
    HWND Control(int id) { return GetDlgItem(hwnd, id); }

    Win32Platform platform;
    Form1 form{platform};
    HWND hwnd = nullptr;
};

TEST_F(Form1Test, ControlsHaveTheirTextsGeometryFontsAndAlignment) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    ASSERT_EQ(dpi, 96) << "the pixel figures below are for 96 dpi";

    EXPECT_EQ(Text(hwnd), L"TESSALUNE");
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 326);
    EXPECT_EQ(client.bottom, 213);

    const std::wstring systemFolder = Environment(L"windir") + L"\\SYSTEM32";
    ASSERT_FALSE(Environment(L"OS").empty());
    struct Row {
        int id;
        const wchar_t* className;
        std::wstring text;
        RECT bounds;      // left, top, right, bottom in the form's client pixels
        DWORD alignment;  // SS_LEFT/SS_CENTER/SS_RIGHT, or the button type
        LONG weight;
    };
    const Row rows[] = {
        {IDC_LABEL2, L"Static", L"un programma di Brivanto", {176, 0, 321, 17}, SS_RIGHT, 400},
        {IDC_LABEL_SYSDIR, L"Static", systemFolder, {136, 24, 321, 41}, SS_RIGHT, 400},
        {IDC_LABEL4,
         L"Static",
         L"Seleziona gli OCX da registrare. Gli ocx sono presenti nella cartella OCX del "
         L"programma. Premi REGISTRA per completare l'operazione",
         {168, 56, 313, 145},
         SS_CENTER,
         400},
        {IDC_LABEL5, L"Static", L"CARTELLA SYSTEM:", {8, 24, 137, 41}, SS_LEFT, 700},
        {IDC_FRAME1, L"Button", L"Elenco OCX", {0, 40, 161, 209}, BS_GROUPBOX, 400},
        {IDC_LIST1, L"ListBox", L"", {8, 56, 153, 164}, 0, 400},
        {IDC_COMMAND1, L"Button", L"SELEZIONA TUTTI", {8, 176, 153, 201}, BS_PUSHBUTTON, 400},
        {IDC_FRAME2, L"Button", L"", {160, 160, 321, 209}, BS_GROUPBOX, 400},
        {IDC_COMMAND2,
         L"Button",
         L"REGISTRA SELEZIONATI",
         {168, 176, 313, 201},
         BS_PUSHBUTTON,
         400},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.id);
        HWND control = Control(row.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(ClassOf(control), row.className);
        EXPECT_EQ(Text(control), row.text);

        RECT bounds;
        GetWindowRect(control, &bounds);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&bounds), 2);
        EXPECT_EQ(bounds.left, row.bounds.left);
        EXPECT_EQ(bounds.top, row.bounds.top);
        EXPECT_EQ(bounds.right, row.bounds.right);
        EXPECT_EQ(bounds.bottom, row.bounds.bottom);

        const DWORD style = GetWindowLongW(control, GWL_STYLE);
        const DWORD mask = ClassOf(control) == L"Static"   ? SS_TYPEMASK
                           : ClassOf(control) == L"Button" ? BS_TYPEMASK
                                                           : 0;
        EXPECT_EQ(style & mask, row.alignment);

        LOGFONTW font{};
        ASSERT_TRUE(GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)),
                               sizeof font, &font));
        EXPECT_STREQ(font.lfFaceName, L"MS Sans Serif");
        EXPECT_EQ(font.lfHeight, -11);  // 8.25 points at 96 dpi
        EXPECT_EQ(font.lfWeight, row.weight);
        EXPECT_FALSE(font.lfItalic || font.lfUnderline || font.lfStrikeOut);
        if (row.id == IDC_LABEL5) {
            EXPECT_EQ(font.lfCharSet, ANSI_CHARSET);
        }
    }
    const DWORD listStyle = GetWindowLongW(Control(IDC_LIST1), GWL_STYLE);
    EXPECT_TRUE(listStyle & LBS_MULTIPLESEL);
    EXPECT_FALSE(listStyle & LBS_SORT);
}

TEST_F(Form1Test, LoadsBeforeItIsShownAndTheSystemFolderReplacesItsPlaceholder) {
    const std::vector<std::pair<int, std::wstring>> created = {
        {IDC_LABEL2, L"un programma di Brivanto"},
        {IDC_LABEL_SYSDIR, L"Label4"},
        {IDC_LABEL4,
         L"Seleziona gli OCX da registrare. Gli ocx sono presenti nella cartella OCX del "
         L"programma. Premi REGISTRA per completare l'operazione"},
        {IDC_LABEL5, L"CARTELLA SYSTEM:"},
        {IDC_FRAME1, L"Elenco OCX"},
        {IDC_LIST1, L""},
        {IDC_COMMAND1, L"SELEZIONA TUTTI"},
        {IDC_FRAME2, L""},
        {IDC_COMMAND2, L"REGISTRA SELEZIONATI"},
    };
    EXPECT_EQ(g_created, created);
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_EQ(Text(Control(IDC_LABEL_SYSDIR)), Environment(L"windir") + L"\\SYSTEM32");
}

TEST_F(Form1Test, OnlyTheListAndTheButtonsTakeFocusAndTheListHasItFirst) {
    HWND list = Control(IDC_LIST1), select = Control(IDC_COMMAND1), run = Control(IDC_COMMAND2);
    EXPECT_EQ(GetNextDlgTabItem(hwnd, list, FALSE), select);
    EXPECT_EQ(GetNextDlgTabItem(hwnd, select, FALSE), run);
    EXPECT_EQ(GetNextDlgTabItem(hwnd, run, FALSE), list);
    EXPECT_EQ(GetNextDlgTabItem(hwnd, list, TRUE), run);

    ShowWindow(hwnd, SW_SHOW);
    SetForegroundWindow(hwnd);
    Pump();
    EXPECT_EQ(GetFocus(), list);
}

TEST_F(Form1Test, SpaceAndEnterPressTheFocusedButtonOnly) {
    HWND list = Control(IDC_LIST1), select = Control(IDC_COMMAND1);
    ShowWindow(hwnd, SW_SHOW);
    SetForegroundWindow(hwnd);
    Pump();
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"a.ocx"));
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"b.ocx"));
    auto marked = [&] { return SendMessageW(list, LB_GETSELCOUNT, 0, 0); };
    // Keys go through the message loop's dialog handling, as in the program.
    auto key = [&](HWND target, WPARAM virtualKey) {
        for (UINT message : {WM_KEYDOWN, WM_KEYUP}) {
            MSG msg{target, message, virtualKey, 0, 0, {}};
            if (!IsDialogMessageW(hwnd, &msg)) DispatchMessageW(&msg);
        }
        Pump();
    };

    SetFocus(list);
    key(list, VK_RETURN);
    EXPECT_EQ(marked(), 0) << "Enter on the list presses nothing";
    SetFocus(select);
    key(select, VK_RETURN);
    EXPECT_EQ(marked(), 2) << "Enter on SELEZIONA TUTTI";
    SendMessageW(list, LB_SETSEL, FALSE, -1);
    key(select, VK_SPACE);
    EXPECT_EQ(marked(), 2) << "Space on SELEZIONA TUTTI";
}

TEST_F(Form1Test, ShowsTheHourglassWhileTheProgramAsksForIt) {
    HWND list = Control(IDC_LIST1);
    platform.SetPointer(11);
    SendMessageW(list, WM_SETCURSOR, reinterpret_cast<WPARAM>(list), HTCLIENT);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
    platform.SetPointer(1);
    SendMessageW(list, WM_SETCURSOR, reinterpret_cast<WPARAM>(list), HTCLIENT);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
}

}  // namespace
}  // namespace orvandi
