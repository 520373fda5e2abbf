// Form1 created in this process, so that its fonts, places and keys can be read back and driven.
#define WINVER 0x0A00  // GetSystemMetricsForDpi and WM_GETDPISCALEDSIZE (Windows 10)
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "ui/form1.h"
#include "ui/list_entries.h"
#include "ui/resource.h"

namespace orvandi {
namespace {

std::wstring TextOf(HWND hwnd) {
    wchar_t text[256] = L"";
    GetWindowTextW(hwnd, text, 256);
    return text;
}

class Form1Test : public testing::Test {
  protected:
    void SetUp() override {
        hwnd = form.Create(GetModuleHandleW(nullptr));
        ASSERT_NE(hwnd, nullptr);
        EXPECT_FALSE(IsWindowVisible(hwnd)) << "loaded before it is shown";
        ShowWindow(hwnd, SW_SHOW);
        SetForegroundWindow(hwnd);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    void TearDown() override { DestroyWindow(hwnd); }
    HWND Control(int id) { return GetDlgItem(hwnd, id); }
    // The font Windows selects for a description (another face if it must); its face in `face`.
    TEXTMETRICW Selected(HFONT font) {
        const MemoryDc dc(CreateCompatibleDC(nullptr));
        SelectObject(dc.get(), font);
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc.get(), &metrics);
        GetTextFaceW(dc.get(), LF_FACESIZE, face);
        return metrics;
    }
    // A key through the dialog keyboard handling of the program's message loop.
    void Key(WPARAM key) {
        for (UINT message : {WM_KEYDOWN, WM_KEYUP}) {
            MSG msg{GetFocus(), message, key, 0, 0, {}};
            if (!IsDialogMessageW(hwnd, &msg)) DispatchMessageW(&msg);
        }
    }

    Win32Ports ports;
    Form1 form{ports};
    HWND hwnd = nullptr;
    wchar_t face[LF_FACESIZE] = L"";
};

// The layout in twips at 96 dpi, then moved to 144 and 192 dpi, keeping marks, focus and scroll.
TEST_F(Form1Test, LaysOutItsControlsAtEveryDpi) {
    wchar_t windir[MAX_PATH];
    GetEnvironmentVariableW(L"windir", windir, MAX_PATH);
    const struct {
        int id;
        std::wstring text;
        int left, top, width, height;  // twips, in the window's client area
        DWORD kind;                    // SS_LEFT/SS_CENTER/SS_RIGHT, or the kind of button or list
        LONG weight;
    } rows[] = {
        {IDC_LABEL2, L"un programma di Brivanto", 2640, 0, 2175, 255, SS_RIGHT, 400},
        {IDC_LABEL_SYSDIR, windir + std::wstring(L"\\SYSTEM32"), 2040, 360, 2775, 255, SS_RIGHT,
         400},
        {IDC_LABEL4,
         L"Seleziona gli OCX da registrare. Gli ocx sono presenti nella cartella OCX del "
         L"programma. Premi REGISTRA per completare l'operazione",
         2520, 840, 2175, 1335, SS_CENTER, 400},
        {IDC_LABEL5, L"CARTELLA SYSTEM:", 120, 360, 1935, 255, SS_LEFT, 700},
        {IDC_FRAME1, L"Elenco OCX", 0, 600, 2415, 2535, BS_GROUPBOX, 400},
        {IDC_LIST1, L"", 120, 840, 2175, 1620, LBS_MULTIPLESEL, 400},
        {IDC_COMMAND1, L"SELEZIONA TUTTI", 120, 2640, 2175, 375, BS_PUSHBUTTON, 400},
        {IDC_FRAME2, L"", 2400, 2400, 2415, 735, BS_GROUPBOX, 400},
        {IDC_COMMAND2, L"REGISTRA SELEZIONATI", 2520, 2640, 2175, 375, BS_PUSHBUTTON, 400},
    };
    EXPECT_EQ(TextOf(hwnd), L"TESSALUNE");
    HWND list = Control(IDC_LIST1);
    for (int i = 0; i < 20; ++i) SendMessageW(list, LB_ADDSTRING, 0, LPARAM(L"x.ocx"));
    SendMessageW(list, LB_SETSEL, TRUE, 3);
    SendMessageW(list, LB_SETTOPINDEX, 5, 0);
    SetFocus(Control(IDC_COMMAND2));
    for (int dpi : {96, 144, 192}) {
        SCOPED_TRACE(dpi);
        const auto px = [dpi](int twips) { return MulDiv(twips, dpi, 1440); };
        const auto metric = [dpi](int index) { return GetSystemMetricsForDpi(index, dpi); };
        SIZE asked{};  // Windows suggests this size when the window moves to this DPI
        EXPECT_TRUE(SendMessageW(hwnd, WM_GETDPISCALEDSIZE, dpi, LPARAM(&asked)));
        RECT place{0, 0, asked.cx, asked.cy};
        if (dpi != 96) SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), LPARAM(&place));
        GetWindowRect(hwnd, &place);
        EXPECT_TRUE(place.right - place.left == asked.cx && place.bottom - place.top == asked.cy);
        EXPECT_EQ(asked.cx - 2 * metric(SM_CXFIXEDFRAME), px(4890)) << "client width";
        EXPECT_EQ(asked.cy - metric(SM_CYCAPTION) - 2 * metric(SM_CYFIXEDFRAME), px(3195));
        const Font points(
            CreateFontW(-px(165), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, L"MS Sans Serif"));
        const LONG height = Selected(points.get()).tmHeight;  // 8.25 points at this DPI
        for (const auto& row : rows) {
            SCOPED_TRACE(row.id);
            HWND control = Control(row.id);
            EXPECT_EQ(TextOf(control), row.text);
            EXPECT_EQ(GetWindowLongW(control, GWL_STYLE) & 0xF, row.kind);
            GetWindowRect(control, &place);
            MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&place), 2);
            const RECT table{px(row.left), px(row.top), px(row.left) + px(row.width),
                             px(row.top) + px(row.height)};
            EXPECT_TRUE(EqualRect(&place, &table)) << place.left << "," << place.top;
            const TEXTMETRICW font = Selected(HFONT(SendMessageW(control, WM_GETFONT, 0, 0)));
            EXPECT_STREQ(face, L"MS Sans Serif");
            EXPECT_EQ(font.tmHeight, height) << "8.25 points";
            EXPECT_EQ(font.tmWeight, row.weight);
            EXPECT_FALSE(font.tmItalic || font.tmUnderlined || font.tmStruckOut);
        }
        EXPECT_EQ(SendMessageW(list, LB_GETSELCOUNT, 0, 0), 1);
        EXPECT_EQ(SendMessageW(list, LB_GETSEL, 3, 0), 1);
        EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 5);
        EXPECT_EQ(GetFocus(), Control(IDC_COMMAND2));
    }
}

// Entries keep their order; a click toggles a mark; Enter presses the focused button only, Escape
// nothing; after Alt+Tab the focus is back.
TEST_F(Form1Test, EntriesKeysAndFocus) {
    HWND list = Control(IDC_LIST1);
    for (const wchar_t* name : {L"c.ocx", L"a.ocx", L"b.ocx"}) {
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    ListBoxEntries entries(list);  // the list as the core reads it
    EXPECT_EQ(*entries.name(0), u"c.ocx") << "the list is sorted";
    RECT item;
    SendMessageW(list, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(item.left + 2, item.top + 2));
    SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(item.left + 2, item.top + 2));
    Key(VK_RETURN);
    Key(VK_ESCAPE);
    EXPECT_EQ(SendMessageW(list, LB_GETSELCOUNT, 0, 0), 1) << "Enter or Escape pressed something";
    EXPECT_TRUE(!*entries.marked(0) && *entries.marked(1) && !*entries.marked(2)) << "the click";
    SetFocus(Control(IDC_COMMAND1));
    SendMessageW(hwnd, WM_ACTIVATE, WA_INACTIVE, 0);
    SetFocus(nullptr);
    SendMessageW(hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
    Key(VK_RETURN);
    EXPECT_EQ(SendMessageW(list, LB_GETSELCOUNT, 0, 0), 3) << "Enter on SELEZIONA TUTTI";
}

}  // namespace
}  // namespace orvandi
