// The plain services of the system the program runs on: where it runs from, the environment,
// error texts, what can be shown to whom, and letters and names as Windows compares them.
#pragma once

#include <cstdint>

#include "core/result.h"
#include "core/text.h"

namespace orvandi {

// Pointer codes for SetPointer.
inline constexpr int kPointerArrow = 1;
inline constexpr int kPointerHourglass = 11;

class System {
  public:
    virtual ~System() = default;

    // The running program's file, and the folder holding it (without a trailing separator).
    virtual Result<Text> ProgramFile() = 0;
    virtual Result<Text> ApplicationFolder() = 0;
    // The variable's value, or the empty text when it is not set.
    virtual Result<Text> GetEnvironment(const Text& name) = 0;
    // The system's own text for an error number.
    virtual Text ErrorText(std::int32_t number) = 0;
    // A modal message box with an OK button, no icon and the application title as caption.
    virtual Status ShowMessage(const Text& text) = 0;
    // Sets the mouse pointer shown over the main window.
    virtual Status SetPointer(int pointer) = 0;
    // Whether this process can show a window to anyone: false in session 0 or on a window
    // station that is not visible (a service's, a scheduled task's).
    virtual bool CanShowWindow() = 0;
    // Writes a text where the program was started from: on its standard output when that is a
    // file or a pipe, in UTF-8, or else on the console of the program that started it. False
    // when there is neither.
    virtual bool WriteOutput(const Text& text) = 0;
    // Whether a character is a letter, of any alphabet.
    virtual bool IsLetter(char16_t c) = 0;
    // Whether two file names are one name to Windows, which ignores letter case in file names
    // and registry names alike (accented letters and other alphabets too).
    virtual bool SameName(const Text& a, const Text& b) = 0;
};

}  // namespace orvandi

namespace orvandi {

// The text with each %NAME% replaced by that environment variable's value, as Windows expands it
// (an unset variable stays as written).
Result<Text> ExpandVariables(System& system, const Text& text);

}  // namespace orvandi
