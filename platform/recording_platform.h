// A Platform for tests: answers from plain data, records every call in order, and can be told to
// fail any call.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace orvandi {

class RecordingPlatform : public Platform {
  public:
    struct Call {
        std::string operation;  // "CopyFile", "Launch", ...
        std::vector<Text> arguments;
    };

    // What the platform answers.
    Text applicationFolder = u"C:\\App";
    std::vector<Text> listing;         // names ListFirst/ListNext deliver, in order
    std::map<Text, Text> environment;  // unset variables are absent
    std::vector<Call> calls;           // every call, in order

    // Makes every call for which `when` returns true raise `failure` (after recording it).
    void FailWhen(std::function<bool(const Call&)> when, Failure failure);
    // Shorthand: fail every call of `operation` whose first argument contains `argumentPart`.
    void Fail(const std::string& operation, const Text& argumentPart, Failure failure);

    // The calls of one operation, in order.
    std::vector<Call> CallsOf(const std::string& operation) const;

    Text ApplicationFolder() override;
    Text ListFirst(const Text& pattern, int attributes) override;
    Text ListNext() override;
    Text GetEnvironment(const Text& name) override;
    void CopyFile(const Text& source, const Text& destination) override;
    std::int32_t Launch(const Text& commandLine, int windowStyle) override;
    void ShowMessage(const Text& text) override;
    void SetPointer(int pointer) override;

  private:
    void Record(std::string operation, std::vector<Text> arguments);
    Text NextName();

    std::vector<std::pair<std::function<bool(const Call&)>, Failure>> failures_;
    std::size_t next_ = 0;
    std::int32_t nextTask_ = 1;
};

}  // namespace orvandi
