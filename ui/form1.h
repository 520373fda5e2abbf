// Form1: the program's one window. It lists the control files offered for installation, shows
// the system folder they go into, and runs the registration of the marked ones.
#pragma once

#include <windows.h>

#include "platform/platform_win.h"

namespace orvandi {

class Form1 {
  public:
    explicit Form1(Win32Ports& ports) : ports_(ports) {}
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Creates the window and its controls and loads it (the list and the system folder are
    // filled), without showing it. Returns null when the window cannot be created.
    HWND Create(HINSTANCE instance);
    HWND hwnd() const { return hwnd_; }

  private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    bool CreateControls();
    void PlaceControls();
    // Reports a failure an event handler answered, in one message; it goes no further.
    void Report(const char16_t* procedure, const Status& handled);

    Status Form_Load();
    Status Command1_Click();
    Status Command2_Click();
    LRESULT Form_DefaultButton();
    void Form_DpiChanged(int dpi, const RECT& suggested);

    Win32Ports& ports_;
    HWND hwnd_ = nullptr;
    HWND list1_ = nullptr;
    HWND labelSysdir_ = nullptr;
    int dpi_ = 96;
    Font font_;
    Font boldFont_;
};

}  // namespace orvandi
