// What the end-to-end tests need to drive Orvandi.exe from outside its process under Wine: fresh
// application folders, the running program and its window, the records the sample controls leave
// when regsvr32 registers them, and a way to run X11 tools (xdotool, convert) on the Unix side.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/handles_win.h"

namespace orvandi::e2e {

// The files the test command line hands over, as Windows paths.
struct Inputs {
    std::wstring orvandi;  // Orvandi.exe
    std::wstring sample;   // sample_control.ocx
    std::wstring planted;  // the planted regsvr32.exe
};
Inputs& Given();
// Reads --orvandi= --sample= --planted= (Unix or Windows paths); false when one is missing.
bool ParseInputs(int argc, char** argv);

// Polls `done` every 20 ms until it holds or `timeoutMs` has passed; returns its last answer.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs);

std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);  // UTF-8
std::string UnixPath(const std::wstring& windowsPath);
// Runs `command` with /bin/sh on the Unix side, waits for it (bounded) and returns its exit status,
// or -1 when it did not finish in time. The command must not contain a double quote.
int RunUnix(const std::string& command);

std::wstring EnvironmentVariable(const wchar_t* name);  // empty when unset
std::wstring SystemFolder();                            // GetSystemDirectoryW
int ScreenDpi();
std::string FileBytes(const std::wstring& path);  // empty when unreadable
bool FileExists(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::string& bytes);  // replaces the file
bool SameText(const std::wstring& a, const std::wstring& b);          // case-insensitive
// The names FindFirstFileW/FindNextFileW deliver for `pattern`, with their attributes, in order.
std::vector<std::pair<std::wstring, DWORD>> Listing(const std::wstring& pattern);

// The caller's environment with some variables replaced (a value) or removed (nullopt), as a
// CreateProcessW block.
using EnvChange = std::pair<std::wstring, std::optional<std::wstring>>;
std::wstring EnvironmentBlock(const std::vector<EnvChange>& changes);

// A fresh folder under the temp folder, removed with everything in it on destruction.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring& path() const { return path_; }

  private:
    std::wstring path_;
};

// A folder laid out as the program is installed: a copy of Orvandi.exe and its OCX folder.
class AppFolder : public TempFolder {
  public:
    AppFolder();
    std::wstring Ocx(const std::wstring& name) const { return path() + L"\\OCX\\" + name; }
    // A copy of the sample control named `name` in the OCX folder, with `attributes` set.
    void AddControl(const std::wstring& name, DWORD attributes = 0) const;
};

// The sample controls' registration records (see sample_control.cpp).
struct Record {
    DWORD count = 0;
    std::wstring path;         // where the registered file was loaded from
    std::wstring directory;    // regsvr32's current directory
    std::wstring commandLine;  // regsvr32's command line
    DWORD show = 0;            // regsvr32's wShowWindow (0xFFFFFFFF: none given)
};
Record ReadRecord(const std::wstring& fileName);
DWORD PlantedRegsvr32Runs();
void ClearRecords();
// Waits (bounded) until no regsvr32.exe process is left; false on time-out.
bool WaitForRegsvr32ToFinish();

// What a message box of the program showed.
struct MessageBoxSeen {
    HWND box = nullptr;
    HWND owner = nullptr;
    std::wstring caption;
    std::wstring text;         // the message text control (id 0xFFFF in Wine's message box)
    std::vector<int> buttons;  // ids of the visible buttons
    bool icon = false;         // an icon shown
};

// Orvandi.exe started from an application folder, with its window up. Closing the window (on
// destruction) must end the process; a process that outlives that (bounded) is a failure.
class Orvandi {
  public:
    // `environment`: a block from EnvironmentBlock, or null to inherit; `currentDirectory`:
    // empty for the application folder. With `awaitWindow` false the constructor returns once
    // the process runs (for a message shown while the window loads); AwaitWindow waits then.
    explicit Orvandi(const AppFolder& folder, const std::wstring* environment = nullptr,
                     std::wstring currentDirectory = L"", bool awaitWindow = true);
    bool AwaitWindow();
    ~Orvandi();
    Orvandi(const Orvandi&) = delete;
    Orvandi& operator=(const Orvandi&) = delete;

    HWND window() const { return window_; }
    HWND Control(int id) const { return GetDlgItem(window_, id); }
    // List1's entries and marks, read with LB_GETTEXT / LB_GETSEL from this process.
    std::vector<std::wstring> Entries() const;
    std::vector<bool> Marks() const;
    // The control id holding the keyboard focus in the window's thread (0 when none).
    int FocusId() const;
    // A real key press (SendInput) with the window in the foreground; waits until the focus moves.
    void PressTab(bool shift) const;
    // A real mouse click (xdotool on the X display) on List1's entry `index`; waits until its mark
    // changes.
    void ClickEntry(int index);
    // Presses a button the way a click ends (BM_CLICK, posted: the handler may not return at
    // once).
    void Press(int buttonId) const;
    // Waits (bounded) for the program's modal message box, reads it and dismisses it with OK.
    std::optional<MessageBoxSeen> TakeMessageBox() const;
    // Saves the window as it is on screen to <current directory>\<name>.bmp (and .png when
    // ImageMagick's convert runs) and returns the path of the picture for people to look at.
    std::string Screenshot(const std::wstring& name) const;

  private:
    KernelHandle process_;
    DWORD processId_ = 0;
    HWND window_ = nullptr;
    int lastClicked_ = -1;
    DWORD lastClickTime_ = 0;
};

std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);

}  // namespace orvandi::e2e
