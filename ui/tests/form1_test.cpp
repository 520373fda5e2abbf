// Form1 created in this process, so that its fonts, places and keys can be read back and driven.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/form1.h"
#include "ui/resource.h"

namespace orvandi {
namespace {

std::wstring TextOf(HWND hwnd) {
    wchar_t text[256] = L"";
    GetWindowTextW(hwnd, text, 256);
    return text;
}

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

// The texts the controls are created with, in creation order.
std::vector<std::wstring> g_created;
LRESULT CALLBACK RecordCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const CREATESTRUCTW* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
        if (create->style & WS_CHILD) g_created.push_back(create->lpszName);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class Form1Test : public testing::Test {
  protected:
    void SetUp() override {
        g_created.clear();
        HHOOK hook = SetWindowsHookExW(WH_CBT, RecordCreation, nullptr, GetCurrentThreadId());
        hwnd = form.Create(GetModuleHandleW(nullptr));
        UnhookWindowsHookEx(hook);
        ASSERT_NE(hwnd, nullptr);
        EXPECT_FALSE(IsWindowVisible(hwnd)) << "loaded before it is shown";
        ShowWindow(hwnd, SW_SHOW);
        SetForegroundWindow(hwnd);
        Pump();
    }
    void TearDown() override { DestroyWindow(hwnd); }
    HWND Control(int id) { return GetDlgItem(hwnd, id); }
    std::vector<int> Marks() {
        std::vector<int> marks;
        for (int i = 0; i < SendMessageW(Control(IDC_LIST1), LB_GETCOUNT, 0, 0); ++i) {
            marks.push_back(SendMessageW(Control(IDC_LIST1), LB_GETSEL, i, 0));
        }
        return marks;
    }
    // A key through the dialog keyboard handling of the program's message loop.
    void Key(WPARAM key) {
        for (UINT message : {WM_KEYDOWN, WM_KEYUP}) {
            MSG msg{GetFocus(), message, key, 0, 0, {}};
            if (!IsDialogMessageW(hwnd, &msg)) DispatchMessageW(&msg);
        }
    }

    Win32Platform platform;
    Form1 form{platform};
    HWND hwnd = nullptr;
};

TEST_F(Form1Test, ControlsHaveTheirTextsPlacesFontsAndAlignment) {
    HDC screen = GetDC(nullptr);
    ASSERT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96) << "the pixels below are for 96 dpi";
    ReleaseDC(nullptr, screen);
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(TextOf(hwnd), L"TESSALUNE");
    EXPECT_EQ(std::pair(client.right, client.bottom), std::pair(326L, 213L));

    wchar_t windir[MAX_PATH];
    GetEnvironmentVariableW(L"windir", windir, MAX_PATH);
    const wchar_t* label4 =
        L"Seleziona gli OCX da registrare. Gli ocx sono presenti nella cartella OCX del "
        L"programma. Premi REGISTRA per completare l'operazione";
    const struct {
        int id;
        std::wstring text;
        RECT place;  // in the window's client area
        DWORD kind;  // SS_LEFT/SS_CENTER/SS_RIGHT, the kind of button, or of list
        LONG weight;
    } rows[] = {
        {IDC_LABEL2, L"un programma di Brivanto", {176, 0, 321, 17}, SS_RIGHT, 400},
        {IDC_LABEL_SYSDIR, windir + std::wstring(L"\\SYSTEM32"), {136, 24, 321, 41}, SS_RIGHT, 400},
        {IDC_LABEL4, label4, {168, 56, 313, 145}, SS_CENTER, 400},
        {IDC_LABEL5, L"CARTELLA SYSTEM:", {8, 24, 137, 41}, SS_LEFT, 700},
        {IDC_FRAME1, L"Elenco OCX", {0, 40, 161, 209}, BS_GROUPBOX, 400},
        {IDC_LIST1, L"", {8, 56, 153, 164}, LBS_MULTIPLESEL, 400},
        {IDC_COMMAND1, L"SELEZIONA TUTTI", {8, 176, 153, 201}, BS_PUSHBUTTON, 400},
        {IDC_FRAME2, L"", {160, 160, 321, 209}, BS_GROUPBOX, 400},
        {IDC_COMMAND2, L"REGISTRA SELEZIONATI", {168, 176, 313, 201}, BS_PUSHBUTTON, 400},
    };
    std::vector<std::wstring> texts;
    HWND child = GetWindow(hwnd, GW_CHILD);  // children in creation order
    for (const auto& row : rows) {
        SCOPED_TRACE(row.id);
        EXPECT_EQ(GetDlgCtrlID(child), row.id);
        child = GetWindow(child, GW_HWNDNEXT);
        HWND control = Control(row.id);
        texts.push_back(row.id == IDC_LABEL_SYSDIR ? L"Label4" : row.text);
        EXPECT_EQ(TextOf(control), row.text);
        RECT place;
        GetWindowRect(control, &place);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&place), 2);
        EXPECT_TRUE(EqualRect(&place, &row.place)) << place.left << "," << place.top;
        EXPECT_EQ(GetWindowLongW(control, GWL_STYLE) & 0xF, row.kind);
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font,
                   &font);
        EXPECT_STREQ(font.lfFaceName, L"MS Sans Serif");
        EXPECT_EQ(font.lfHeight, -11);  // 8.25 points at 96 dpi
        EXPECT_EQ(font.lfWeight, row.weight);
        EXPECT_FALSE(font.lfItalic || font.lfUnderline || font.lfStrikeOut);
        EXPECT_TRUE(row.weight == 400 || font.lfCharSet == ANSI_CHARSET);
    }
    EXPECT_EQ(g_created, texts) << "Label_sysdir is created as Label4, filled in at load";
}

// Entries keep the order they come in; Enter presses the focused button only, as in a dialog;
// one click toggles one entry's mark.
TEST_F(Form1Test, EntriesEnterAndClicks) {
    HWND list = Control(IDC_LIST1);
    for (const wchar_t* name : {L"c.ocx", L"a.ocx", L"b.ocx"}) {
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    wchar_t first[16];
    SendMessageW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(first));
    EXPECT_STREQ(first, L"c.ocx") << "the list is sorted";
    RECT item;
    SendMessageW(list, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(item.left + 2, item.top + 2));
    SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(item.left + 2, item.top + 2));
    Key(VK_RETURN);
    EXPECT_EQ(Marks(), (std::vector<int>{0, 1, 0})) << "Enter on the list presses nothing";
    SetFocus(Control(IDC_COMMAND1));
    Key(VK_RETURN);
    EXPECT_EQ(Marks(), std::vector<int>(3, 1)) << "Enter on SELEZIONA TUTTI";
}

TEST_F(Form1Test, ShowsTheHourglassWhileTheProgramAsksForIt) {
    HWND list = Control(IDC_LIST1);
    for (const auto& [pointer, cursor] : {std::pair{11, IDC_WAIT}, std::pair{1, IDC_ARROW}}) {
        platform.SetPointer(pointer);
        SendMessageW(list, WM_SETCURSOR, reinterpret_cast<WPARAM>(list), HTCLIENT);
        EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, cursor));
    }
}

}  // namespace
}  // namespace orvandi
