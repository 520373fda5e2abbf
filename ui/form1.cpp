#include "ui/form1.h"

#include "core/registration.h"
#include "core/scan.h"
#include "ui/list_entries.h"
#include "ui/resource.h"

namespace orvandi {
namespace {

constexpr wchar_t kClassName[] = L"OrvandiForm1";
constexpr wchar_t kCaption[] = L"TESSALUNE";

// The layout is drawn in twips (1/1440 inch) and placed in pixels at the window's DPI, again
// whenever the window moves to a monitor with another DPI; at 96 dpi every value falls on a whole
// pixel.
constexpr int kClientWidth = 4890;
constexpr int kClientHeight = 3195;

// Where each frame sits on the form; the frame's contents are laid out relative to it. Frames
// are group boxes, and their contents are the form's children placed inside the box.
struct Origin {
    int left, top;
};
constexpr Origin kForm{0, 0};
constexpr Origin kFrame1{0, 600};
constexpr Origin kFrame2{2400, 2400};

struct ControlLayout {
    int id;
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;
    DWORD exStyle;
    Origin container;
    int left, top, width, height;  // twips, relative to the container
};

// In creation order, which is also the tab order; only the list and the two buttons take focus.
const ControlLayout kControls[] = {
    {IDC_LABEL2, L"Static", L"un programma di Brivanto", SS_RIGHT, 0, kForm, 2640, 0, 2175, 255},
    {IDC_LABEL_SYSDIR, L"Static", L"Label4", SS_RIGHT | SS_NOPREFIX, 0, kForm, 2040, 360, 2775,
     255},
    {IDC_LABEL4, L"Static",
     L"Seleziona gli OCX da registrare. Gli ocx sono presenti nella cartella OCX del programma. "
     L"Premi REGISTRA per completare l'operazione",
     SS_CENTER, 0, kForm, 2520, 840, 2175, 1335},
    {IDC_LABEL5, L"Static", L"CARTELLA SYSTEM:", SS_LEFT, 0, kForm, 120, 360, 1935, 255},
    {IDC_FRAME1, L"Button", L"Elenco OCX", BS_GROUPBOX, 0, kForm, 0, 600, 2415, 2535},
    {IDC_LIST1, L"ListBox", L"", LBS_MULTIPLESEL | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP,
     WS_EX_CLIENTEDGE, kFrame1, 120, 240, 2175, 1620},
    {IDC_COMMAND1, L"Button", L"SELEZIONA TUTTI", BS_PUSHBUTTON | WS_TABSTOP, 0, kFrame1, 120, 2040,
     2175, 375},
    {IDC_FRAME2, L"Button", L"", BS_GROUPBOX, 0, kForm, 2400, 2400, 2415, 735},
    {IDC_COMMAND2, L"Button", L"REGISTRA SELEZIONATI", BS_PUSHBUTTON | WS_TABSTOP, 0, kFrame2, 120,
     240, 2175, 375},
};

constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// WM_GETDPISCALEDSIZE (Windows 10 1703), which headers for Windows 7 leave out.
constexpr UINT kGetDpiScaledSize = 0x02E4;

// What a window's own call that does not fail on Windows answers should it fail all the same.
const Failure kInternalError{51, u"Internal error"};

Text WindowText(HWND hwnd) {
    Text text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, u'\0');
    text.resize(GetWindowTextW(hwnd, reinterpret_cast<wchar_t*>(text.data()),
                               static_cast<int>(text.size())));
    return text;
}

// "MS Sans Serif", 8.25 points.
Font CreateFormFont(int dpi, int weight, BYTE charset) {
    return Font(CreateFontW(-MulDiv(825, dpi, 7200), 0, 0, 0, weight, FALSE, FALSE, FALSE, charset,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                            DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif"));
}

int Pixels(int twips, int dpi) { return MulDiv(twips, dpi, 1440); }

// A function of user32 that older versions of Windows lack, or null.
template <typename Pointer>
Pointer FromUser32(const char* name) {
    return Function<Pointer>(GetModuleHandleW(L"user32.dll"), name);
}

// The DPI of the monitor the window is on, where Windows has per-monitor DPI (10 and later);
// the screen's elsewhere.
int WindowDpi(HWND hwnd) {
    static const auto getDpiForWindow = FromUser32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    if (getDpiForWindow != nullptr) return static_cast<int>(getDpiForWindow(hwnd));
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

// The window's outer size at `dpi`: the client area as drawn, in a caption and frame as Windows
// draws them at that DPI. Where Windows cannot tell (before 10), the window has the screen's DPI.
SIZE WindowSize(int dpi) {
    static const auto adjustForDpi =
        FromUser32<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    RECT frame{0, 0, Pixels(kClientWidth, dpi), Pixels(kClientHeight, dpi)};
    if (adjustForDpi != nullptr) {
        adjustForDpi(&frame, kFormStyle, FALSE, 0, static_cast<UINT>(dpi));
    } else {
        AdjustWindowRectEx(&frame, kFormStyle, FALSE, 0);
    }
    return {frame.right - frame.left, frame.bottom - frame.top};
}

}  // namespace

HWND Form1::Create(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.cbWndExtra = DLGWINDOWEXTRA;  // the dialog manager keeps its state there
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_ORVANDI));
    wc.hIconSm = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDI_ORVANDI), IMAGE_ICON, 16, 16, LR_SHARED));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;

    // Where Windows puts a new window: on the monitor it starts programs on. CreateControls
    // gives it its size and place there.
    return CreateWindowExW(0, kClassName, kCaption, kFormStyle, CW_USEDEFAULT, 0, 0, 0, nullptr,
                           nullptr, instance, this);
}

LRESULT CALLBACK Form1::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* form = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        form->hwnd_ = hwnd;
        form->ports_.system.SetOwner(hwnd);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<Form1*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (form == nullptr) return DefDlgProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    return form->HandleMessage(message, wParam, lParam);
}

// The dispatch list: one handler per event, nothing else. The rest goes to the dialog manager,
// which keeps the focus where the user left it when the window is deactivated and activated
// again, and gives it to the list at first.
LRESULT Form1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            if (!CreateControls()) return -1;
            Report(u"Form_Load", Form_Load());
            return 0;
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDC_COMMAND1) {
                Report(u"Command1_Click", Command1_Click());
            } else if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDC_COMMAND2) {
                Report(u"Command2_Click", Command2_Click());
            }
            return 0;
        case DM_GETDEFID:
            return Form_DefaultButton();
        case kGetDpiScaledSize:  // Windows suggests this size with WM_DPICHANGED
            *reinterpret_cast<SIZE*>(lParam) = WindowSize(static_cast<int>(wParam));
            return TRUE;
        case WM_DPICHANGED:
            Form_DpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_CLOSE:  // the dialog manager would turn it into IDCANCEL, which does nothing here
            DestroyWindow(hwnd_);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefDlgProcW(hwnd_, message, wParam, lParam);
}

bool Form1::CreateControls() {
    for (const ControlLayout& c : kControls) {
        if (!CreateWindowExW(c.exStyle, c.className, c.text, WS_CHILD | WS_VISIBLE | c.style, 0, 0,
                             0, 0, hwnd_, reinterpret_cast<HMENU>(INT_PTR{c.id}), nullptr,
                             nullptr)) {
            return false;
        }
    }
    // Sized for the DPI of its monitor and centred on the monitor's work area, by the same code
    // as when it moves to another monitor.
    const int dpi = WindowDpi(hwnd_);
    const SIZE size = WindowSize(dpi);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    const LONG left = work.left + (work.right - work.left - size.cx) / 2;
    const LONG top = work.top + (work.bottom - work.top - size.cy) / 2;
    Form_DpiChanged(dpi, {left, top, left + size.cx, top + size.cy});
    list1_ = GetDlgItem(hwnd_, IDC_LIST1);
    labelSysdir_ = GetDlgItem(hwnd_, IDC_LABEL_SYSDIR);
    return true;
}

// Places every control and gives it its font for the window's DPI. The fonts it replaces are
// released once no control uses them.
void Form1::PlaceControls() {
    Font font = CreateFormFont(dpi_, FW_NORMAL, DEFAULT_CHARSET);
    Font bold = CreateFormFont(dpi_, FW_BOLD, ANSI_CHARSET);
    for (const ControlLayout& c : kControls) {
        const int left = c.container.left + c.left, top = c.container.top + c.top;
        HWND control = GetDlgItem(hwnd_, c.id);
        SetWindowPos(control, nullptr, Pixels(left, dpi_), Pixels(top, dpi_), Pixels(c.width, dpi_),
                     Pixels(c.height, dpi_), SWP_NOZORDER | SWP_NOACTIVATE);
        HFONT chosen = c.id == IDC_LABEL5 ? bold.get() : font.get();
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(chosen), TRUE);
    }
    font_ = std::move(font);
    boldFont_ = std::move(bold);
}

// Whatever a handler leaves unhandled is reported in one message, and the window goes on as it is.
void Form1::Report(const char16_t* procedure, const Status& handled) {
    if (handled) return;
    (void)ports_.system.SetPointer(kPointerArrow);
    const Failure& failure = handled.failure();
    // When the message box itself fails there is no other way to tell the user.
    (void)ports_.system.ShowMessage(FormatFailure(failure.number, failure.description, procedure));
}

// Fills the window before it is first shown. The system folder is resolved before the list is
// filled, so a folder with too many files for the list still opens with the right destination.
Status Form1::Form_Load() {
    ListBoxEntries entries(list1_);
    entries.Clear();
    const Result<Text> systemFolder = ResolveSystemFolder(ports_.system);
    if (!systemFolder) return systemFolder.failure();
    if (!SetWindowTextW(labelSysdir_, Wide(*systemFolder))) return kInternalError;
    const Result<Text> folder = ports_.system.ApplicationFolder();
    if (!folder) return folder.failure();
    return ScanControlFiles(ports_.files, *folder, entries);
}

Status Form1::Command1_Click() {
    ListBoxEntries entries(list1_);
    return MarkAll(entries);
}

Status Form1::Command2_Click() {
    ListBoxEntries entries(list1_);
    const Result<Text> folder = ports_.system.ApplicationFolder();
    if (!folder) return folder.failure();
    return RunRegistration(ports_.system, ports_.files, ports_.processes, entries, *folder,
                           WindowText(labelSysdir_));
}

// The window moved to a monitor with another DPI (Windows suggests where it goes, at the size
// the window asked for with WM_GETDPISCALEDSIZE), or opens: everything is placed and lettered
// for that DPI. Marks, focus and the list's scroll position stay as they are.
void Form1::Form_DpiChanged(int dpi, const RECT& suggested) {
    dpi_ = dpi;
    SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    PlaceControls();
}

// Enter presses the focused button: the dialog keyboard handling of the message loop asks the
// window for its default button and clicks it. Elsewhere Enter does nothing: the dialog manager
// then sends IDOK, which no control has, as Escape sends IDCANCEL.
LRESULT Form1::Form_DefaultButton() {
    const int focused = GetDlgCtrlID(GetFocus());
    if (focused != IDC_COMMAND1 && focused != IDC_COMMAND2) return 0;
    return MAKELRESULT(focused, DC_HASDEFID);
}

}  // namespace orvandi
