#include "ui/e2e/e2e_support.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <memory>

#include "ui/e2e/reg_key.h"
#include "ui/resource.h"

namespace orvandi::e2e {
namespace {

// Bounds on every wait, in milliseconds.
constexpr DWORD kStartTimeout = 10000;   // Orvandi.exe until its window is up
constexpr DWORD kEndTimeout = 10000;     // Orvandi.exe after WM_CLOSE
constexpr DWORD kReplyTimeout = 5000;    // one message sent to the program
constexpr DWORD kUiTimeout = 3000;       // a key press or click until its effect shows
constexpr DWORD kUnixTimeout = 20000;    // a Unix command
constexpr DWORD kRegsvrTimeout = 15000;  // every regsvr32.exe gone

struct HeapTraits {
    using Value = void*;
    static Value Empty() { return nullptr; }
    static bool Owns(Value p) { return p != nullptr; }
    static void Close(Value p) { HeapFree(GetProcessHeap(), 0, p); }
};
struct ScreenDcTraits {
    using Value = HDC;
    static Value Empty() { return nullptr; }
    static bool Owns(Value dc) { return dc != nullptr; }
    static void Close(Value dc) { ReleaseDC(nullptr, dc); }
};
struct MemoryDcTraits : ScreenDcTraits {
    static void Close(Value dc) { DeleteDC(dc); }
};
struct BitmapTraits {
    using Value = HBITMAP;
    static Value Empty() { return nullptr; }
    static bool Owns(Value bitmap) { return bitmap != nullptr; }
    static void Close(Value bitmap) { DeleteObject(bitmap); }
};

// Wine's own exports for moving between Unix and Windows paths; both return heap memory.
using UnixNameFn = char*(CDECL*)(const wchar_t*);
using DosNameFn = wchar_t*(CDECL*)(const char*);
template <typename Fn>
Fn WineExport(const char* name) {
    // Through void*: FARPROC takes no arguments, and a direct cast warns.
    return reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}

LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kReplyTimeout,
                             &result)) {
        ADD_FAILURE() << "no reply to message " << message;
        return -1;
    }
    return static_cast<LRESULT>(result);
}

struct Search {
    DWORD processId;
    const wchar_t* className;
    HWND found;
};
BOOL CALLBACK CheckTopLevel(HWND window, LPARAM param) {
    auto& s = *reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != s.processId || !IsWindowVisible(window) || ClassName(window) != s.className) {
        return TRUE;
    }
    s.found = window;
    return FALSE;
}

// The visible top-level window of class `className` that process `processId` owns.
HWND FindTopLevel(DWORD processId, const wchar_t* className) {
    Search search{processId, className, nullptr};
    EnumWindows(CheckTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void RemoveTree(const std::wstring& path) {
    for (const auto& [name, attributes] : Listing(path + L"\\*")) {
        if (name == L"." || name == L"..") continue;
        std::wstring child = path + L"\\" + name;
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            RemoveTree(child);
        } else {
            DeleteFileW(child.c_str());
        }
    }
    RemoveDirectoryW(path.c_str());
}

std::wstring TempName(const wchar_t* kind) {
    static int counter = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"orvandi-e2e-" + kind + std::to_wstring(GetCurrentProcessId()) +
           L"-" + std::to_wstring(++counter);
}

}  // namespace

Inputs& Given() {
    static Inputs inputs;
    return inputs;
}

bool ParseInputs(int argc, char** argv) {
    auto windowsPath = [](const std::string& path) {
        auto toDos = WineExport<DosNameFn>("wine_get_dos_file_name");
        if (path.empty() || path[0] != '/' || !toDos) return Widen(path);
        UniqueHandle<HeapTraits> dos(toDos(path.c_str()));
        return dos ? std::wstring(static_cast<wchar_t*>(dos.get())) : Widen(path);
    };
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        for (auto [prefix, target] :
             {std::pair{"--orvandi=", &Given().orvandi}, std::pair{"--sample=", &Given().sample},
              std::pair{"--planted=", &Given().planted}}) {
            if (arg.rfind(prefix, 0) == 0) *target = windowsPath(arg.substr(strlen(prefix)));
        }
    }
    return !Given().orvandi.empty() && !Given().sample.empty() && !Given().planted.empty();
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return done();
        Sleep(20);
    }
    return true;
}

std::wstring Widen(const std::string& text) {
    int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(length, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    return wide;
}

std::string Narrow(const std::wstring& text) {
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     nullptr, 0, nullptr, nullptr);
    std::string narrow(length, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(),
                        length, nullptr, nullptr);
    return narrow;
}

std::string UnixPath(const std::wstring& windowsPath) {
    auto toUnix = WineExport<UnixNameFn>("wine_get_unix_file_name");
    if (!toUnix) return Narrow(windowsPath);
    UniqueHandle<HeapTraits> unix(toUnix(windowsPath.c_str()));
    return unix ? std::string(static_cast<char*>(unix.get())) : Narrow(windowsPath);
}

// Wine starts a Unix executable named in CreateProcessW's command line (here /bin/sh), but hands
// back no process handle to wait on (hProcess is null, WaitForSingleObject fails with error 6),
// and `start /wait /unix` does not wait either (both measured with Wine 8). So the shell writes
// the command's exit status to a file, and the wait is for that file.
int RunUnix(const std::string& command) {
    std::wstring status = TempName(L"status-");
    DeleteFileW(status.c_str());
    std::wstring line =
        L"/bin/sh -c \"" + Widen(command) + L"; echo $? >'" + Widen(UnixPath(status)) + L"'\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        ADD_FAILURE() << "cannot start /bin/sh, error " << GetLastError();
        return -1;
    }
    KernelHandle process(info.hProcess), thread(info.hThread);
    std::string written;
    WaitUntil(
        [&] {
            written = FileBytes(status);
            return written.find('\n') != std::string::npos;
        },
        kUnixTimeout);
    DeleteFileW(status.c_str());
    return written.empty() ? -1 : std::stoi(written);
}

std::wstring EnvironmentVariable(const wchar_t* name) {
    std::wstring value(256, L'\0');
    DWORD length = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    if (length >= value.size()) {
        value.resize(length);
        length = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    }
    value.resize(length);
    return value;
}

std::wstring SystemFolder() {
    wchar_t folder[MAX_PATH];
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder, length);
}

int ScreenDpi() {
    UniqueHandle<ScreenDcTraits> screen(GetDC(nullptr));
    return GetDeviceCaps(screen.get(), LOGPIXELSX);
}

std::string FileBytes(const std::wstring& path) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (file && ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    return bytes;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    FileHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file &&
           WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool SameText(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::vector<std::pair<std::wstring, DWORD>> Listing(const std::wstring& pattern) {
    std::vector<std::pair<std::wstring, DWORD>> names;
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileW(pattern.c_str(), &data));
    for (bool more = static_cast<bool>(find); more; more = FindNextFileW(find.get(), &data)) {
        names.emplace_back(data.cFileName, data.dwFileAttributes);
    }
    return names;
}

std::wstring EnvironmentBlock(const std::vector<EnvChange>& changes) {
    std::unique_ptr<wchar_t, decltype(&FreeEnvironmentStringsW)> strings(GetEnvironmentStringsW(),
                                                                         &FreeEnvironmentStringsW);
    auto nameOf = [](const std::wstring& entry) { return entry.substr(0, entry.find(L'=', 1)); };
    std::vector<std::wstring> entries;
    for (const wchar_t* p = strings.get(); *p; p += wcslen(p) + 1) {
        bool changed = std::any_of(changes.begin(), changes.end(), [&](const EnvChange& c) {
            return SameText(c.first, nameOf(p));
        });
        if (!changed) entries.emplace_back(p);
    }
    for (const auto& [name, value] : changes) {
        if (value) entries.push_back(name + L"=" + *value);
    }
    // CreateProcessW wants the block sorted by name, case-insensitively.
    std::sort(entries.begin(), entries.end(), [&](const std::wstring& a, const std::wstring& b) {
        return _wcsicmp(nameOf(a).c_str(), nameOf(b).c_str()) < 0;
    });
    std::wstring block;
    for (const auto& entry : entries) block += entry + L'\0';
    return block + L'\0';
}

TempFolder::TempFolder() : path_(TempName(L"")) {
    if (!CreateDirectoryW(path_.c_str(), nullptr)) {
        ADD_FAILURE() << "cannot create " << Narrow(path_) << ", error " << GetLastError();
    }
}

TempFolder::~TempFolder() { RemoveTree(path_); }

AppFolder::AppFolder() {
    if (!CopyFileW(Given().orvandi.c_str(), (path() + L"\\Orvandi.exe").c_str(), FALSE) ||
        !CreateDirectoryW((path() + L"\\OCX").c_str(), nullptr)) {
        ADD_FAILURE() << "cannot lay out " << Narrow(path()) << ", error " << GetLastError();
    }
}

void AppFolder::AddControl(const std::wstring& name, DWORD attributes) const {
    if (!CopyFileW(Given().sample.c_str(), Ocx(name).c_str(), FALSE) ||
        (attributes && !SetFileAttributesW(Ocx(name).c_str(), attributes))) {
        ADD_FAILURE() << "cannot add " << Narrow(name) << ", error " << GetLastError();
    }
}

Record ReadRecord(const std::wstring& fileName) {
    std::wstring key = std::wstring(kSamplesKey) + L"\\" + fileName;
    auto number = [&](const wchar_t* name) {
        DWORD value = 0;
        DWORD size = sizeof value;
        RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value,
                     &size);
        return value;
    };
    auto text = [&](const wchar_t* name) {
        wchar_t value[1024] = L"";
        DWORD size = sizeof value;
        RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size);
        return std::wstring(value);
    };
    return {number(L"Count"), text(L"Path"), text(L"Directory"), text(L"CommandLine"),
            number(L"Show")};
}

DWORD PlantedRegsvr32Runs() {
    DWORD runs = 0;
    DWORD size = sizeof runs;
    RegGetValueW(HKEY_CURRENT_USER, kSamplesKey, L"PlantedRegsvr32", RRF_RT_REG_DWORD, nullptr,
                 &runs, &size);
    return runs;
}

void ClearRecords() { RegDeleteTreeW(HKEY_CURRENT_USER, kSamplesKey); }

bool WaitForRegsvr32ToFinish() {
    auto running = [] {
        // A snapshot reports failure with INVALID_HANDLE_VALUE, as CreateFileW does.
        FileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (bool more = snapshot && Process32FirstW(snapshot.get(), &entry); more;
             more = Process32NextW(snapshot.get(), &entry)) {
            if (SameText(entry.szExeFile, L"regsvr32.exe")) return true;
        }
        return false;
    };
    return WaitUntil([&] { return !running(); }, kRegsvrTimeout);
}

Orvandi::Orvandi(const AppFolder& folder, const std::wstring* environment,
                 std::wstring currentDirectory, bool awaitWindow) {
    std::wstring exe = folder.path() + L"\\Orvandi.exe";
    std::wstring line = L"\"" + exe + L"\"";
    if (currentDirectory.empty()) currentDirectory = folder.path();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT,
                        environment ? const_cast<wchar_t*>(environment->c_str()) : nullptr,
                        currentDirectory.c_str(), &startup, &info)) {
        ADD_FAILURE() << "cannot start " << Narrow(exe) << ", error " << GetLastError();
        return;
    }
    process_.reset(info.hProcess);
    KernelHandle thread(info.hThread);
    processId_ = info.dwProcessId;
    if (awaitWindow) AwaitWindow();
}

bool Orvandi::AwaitWindow() {
    WaitForInputIdle(process_.get(), kStartTimeout);
    WaitUntil([&] { return (window_ = FindTopLevel(processId_, L"OrvandiForm1")) != nullptr; },
              kStartTimeout);
    if (!window_) ADD_FAILURE() << "no OrvandiForm1 window within " << kStartTimeout << " ms";
    return window_ != nullptr;
}

Orvandi::~Orvandi() {
    if (!process_) return;
    if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.get(), kEndTimeout) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "Orvandi.exe still runs " << kEndTimeout << " ms after WM_CLOSE";
        TerminateProcess(process_.get(), 1);
        WaitForSingleObject(process_.get(), kEndTimeout);
    }
}

// Wine marshals the list box messages that carry a buffer (LB_GETTEXT, LB_GETITEMRECT) between
// processes as Windows does: probed, the text and the rectangle arrive intact.
std::vector<std::wstring> Orvandi::Entries() const {
    HWND list = Control(IDC_LIST1);
    std::vector<std::wstring> entries;
    LRESULT count = Send(list, LB_GETCOUNT);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = Send(list, LB_GETTEXTLEN, i);
        std::wstring text(length < 0 ? 0 : length + 1, L'\0');
        LRESULT copied = Send(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        text.resize(copied < 0 ? 0 : copied);
        entries.push_back(text);
    }
    return entries;
}

std::vector<bool> Orvandi::Marks() const {
    HWND list = Control(IDC_LIST1);
    std::vector<bool> marks;
    LRESULT count = Send(list, LB_GETCOUNT);
    for (LRESULT i = 0; i < count; ++i) marks.push_back(Send(list, LB_GETSEL, i) > 0);
    return marks;
}

int Orvandi::FocusId() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window_, nullptr), &info)) return 0;
    if (!info.hwndFocus || GetParent(info.hwndFocus) != window_) return 0;
    return GetDlgCtrlID(info.hwndFocus);
}

// Under Wine (no window manager, unmanaged windows) SetForegroundWindow from another process
// works, and SendInput then reaches the window's focused control like a key on the keyboard.
// (A WM_KEYDOWN VK_TAB posted to the focused control moves the focus too, but skips the input
// queue; both probed.)
void Orvandi::PressTab(bool shift) const {
    SetForegroundWindow(window_);
    std::vector<INPUT> keys;
    auto key = [&](WORD vk, DWORD flags) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.dwFlags = flags;
        keys.push_back(input);
    };
    if (shift) key(VK_SHIFT, 0);
    key(VK_TAB, 0);
    key(VK_TAB, KEYEVENTF_KEYUP);
    if (shift) key(VK_SHIFT, KEYEVENTF_KEYUP);
    int before = FocusId();
    SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
    WaitUntil([&] { return FocusId() != before; }, kUiTimeout);
}

void Orvandi::ClickEntry(int index) {
    HWND list = Control(IDC_LIST1);
    RECT item{};
    Send(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
    POINT centre{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
    ClientToScreen(list, &centre);
    // A second click on the same entry within the double-click time would be a double click.
    if (index == lastClicked_) {
        DWORD since = GetTickCount() - lastClickTime_;
        if (since <= GetDoubleClickTime()) Sleep(GetDoubleClickTime() - since + 100);
    }
    bool before = Marks().at(index);
    // Wine's virtual screen is the X root window here (no virtual desktop, unmanaged windows), so
    // screen coordinates are X coordinates.
    int status = RunUnix("xdotool mousemove " + std::to_string(centre.x) + " " +
                         std::to_string(centre.y) + " click 1");
    EXPECT_EQ(status, 0) << "xdotool failed";
    lastClicked_ = index;
    lastClickTime_ = GetTickCount();
    WaitUntil([&] { return Marks().at(index) != before; }, kUiTimeout);
}

void Orvandi::Press(int buttonId) const { PostMessageW(Control(buttonId), BM_CLICK, 0, 0); }

std::optional<MessageBoxSeen> Orvandi::TakeMessageBox() const {
    MessageBoxSeen seen;
    if (!WaitUntil([&] { return (seen.box = FindTopLevel(processId_, L"#32770")) != nullptr; },
                   kStartTimeout)) {
        return std::nullopt;
    }
    seen.owner = GetWindow(seen.box, GW_OWNER);
    seen.caption = WindowText(seen.box);
    // Wine's message box: the text is the static control 0xFFFF, and all buttons exist with only
    // the requested ones visible (probed by listing the children). The icon control 1088 stays
    // visible even with no icon asked for; only STM_GETICON tells (null then).
    seen.text = WindowText(GetDlgItem(seen.box, 0xFFFF));
    seen.icon = Send(GetDlgItem(seen.box, 1088), STM_GETICON) != 0;
    for (HWND child = GetWindow(seen.box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (IsWindowVisible(child) && SameText(ClassName(child), L"Button")) {
            seen.buttons.push_back(GetDlgCtrlID(child));
        }
    }
    PostMessageW(seen.box, WM_COMMAND, IDOK, 0);
    if (!WaitUntil([&] { return !IsWindow(seen.box); }, kReplyTimeout)) {
        ADD_FAILURE() << "the message box stays after OK";
    }
    if (window_) Send(window_, WM_NULL);  // the window answers again once the box is gone
    return seen;
}

std::string Orvandi::Screenshot(const std::wstring& name) const {
    RECT frame{};
    GetWindowRect(window_, &frame);
    int width = frame.right - frame.left, height = frame.bottom - frame.top;
    Send(window_, WM_NULL);  // let pending painting happen first
    UniqueHandle<ScreenDcTraits> screen(GetDC(nullptr));
    UniqueHandle<BitmapTraits> bitmap(CreateCompatibleBitmap(screen.get(), width, height));
    UniqueHandle<MemoryDcTraits> memory(CreateCompatibleDC(screen.get()));
    HGDIOBJ old = SelectObject(memory.get(), bitmap.get());
    BitBlt(memory.get(), 0, 0, width, height, screen.get(), frame.left, frame.top, SRCCOPY);
    SelectObject(memory.get(), old);

    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    std::string pixels(static_cast<size_t>((width * 3 + 3) & ~3) * height, '\0');
    GetDIBits(memory.get(), bitmap.get(), 0, height, pixels.data(),
              reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size());

    wchar_t folder[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, folder);
    std::wstring bmp = std::wstring(folder) + L"\\" + name + L".bmp";
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&header), sizeof header);
    if (!WriteBytes(bmp, bytes + pixels)) ADD_FAILURE() << "cannot write " << Narrow(bmp);
    std::string unixBmp = UnixPath(bmp);
    std::string unixPng = unixBmp.substr(0, unixBmp.size() - 4) + ".png";
    return RunUnix("convert '" + unixBmp + "' '" + unixPng + "'") == 0 ? unixPng : unixBmp;
}

std::wstring WindowText(HWND window) {
    LRESULT length = Send(window, WM_GETTEXTLENGTH);
    if (length <= 0) return L"";
    std::wstring text(length + 1, L'\0');
    LRESULT copied = Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied < 0 ? 0 : copied);
    return text;
}

std::wstring ClassName(HWND window) {
    wchar_t name[256];
    int length = GetClassNameW(window, name, 256);
    return std::wstring(name, length);
}

}  // namespace orvandi::e2e
