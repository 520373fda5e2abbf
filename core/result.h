// The program's one error rule: errors are values.
//
// Every operation that can fail answers a Result<T> (or a Status, when it has nothing else to
// answer) holding either what it made or a Failure: Windows' error number and its text. Nothing
// throws: the program is built without C++ exceptions, so a Failure cannot travel by itself. Each
// caller looks at what it got, and either decides what the failure means for its step (an entry
// fails, a run ends with 1603) or hands it up unchanged. Faults that no caller can handle (running
// out of memory, a broken invariant of the standard library) are not failures: they end the
// program as a crash does (1603 in an unattended run).
#pragma once

#include <cstdint>
#include <optional>
#include <utility>

#include "core/text.h"

namespace orvandi {

struct Failure {
    std::int32_t number = 0;
    Text description;
    bool overflow = false;  // a 16-bit count that did not fit, not a Windows error
};

class [[nodiscard]] Status {
  public:
    Status() = default;  // done
    Status(Failure failure) : failure_(std::move(failure)) {}
    bool ok() const { return !failure_; }
    explicit operator bool() const { return ok(); }
    const Failure& failure() const { return *failure_; }

  private:
    std::optional<Failure> failure_;
};

template <typename T>
class [[nodiscard]] Result {
  public:
    Result(T value) : value_(std::move(value)) {}
    Result(Failure failure) : failure_(std::move(failure)) {}
    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    T& operator*() { return *value_; }
    const T& operator*() const { return *value_; }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }
    const Failure& failure() const { return failure_; }
    Status status() const { return ok() ? Status() : Status(failure_); }

  private:
    std::optional<T> value_;
    Failure failure_;
};

// Counters and indexes are 16-bit signed; every addition and subtraction on them goes through
// these two, which answer this one Failure when the result does not fit. Its number is shown as
// the window has always shown it, but it is told apart from Windows' error 6 by `overflow`.
inline constexpr std::int32_t kOverflowNumber = 6;
inline constexpr char16_t kOverflowDescription[] = u"Overflow";

Result<std::int16_t> Add16(std::int16_t a, std::int16_t b);
Result<std::int16_t> Sub16(std::int16_t a, std::int16_t b);

}  // namespace orvandi
