#include "platform/recording_platform.h"

namespace orvandi {

void RecordingPlatform::FailWhen(std::function<bool(const Call&)> when, Failure failure) {
    failures_.emplace_back(std::move(when), std::move(failure));
}

void RecordingPlatform::Fail(const std::string& operation, const Text& argumentPart,
                             Failure failure) {
    FailWhen(
        [operation, argumentPart](const Call& call) {
            return call.operation == operation &&
                   (argumentPart.empty() || (!call.arguments.empty() &&
                                             call.arguments[0].find(argumentPart) != Text::npos));
        },
        std::move(failure));
}

std::vector<RecordingPlatform::Call> RecordingPlatform::CallsOf(
    const std::string& operation) const {
    std::vector<Call> found;
    for (const Call& call : calls) {
        if (call.operation == operation) found.push_back(call);
    }
    return found;
}

void RecordingPlatform::Record(std::string operation, std::vector<Text> arguments) {
    calls.push_back({std::move(operation), std::move(arguments)});
    for (const auto& [when, failure] : failures_) {
        if (when(calls.back())) throw failure;
    }
}

Text RecordingPlatform::ApplicationFolder() {
    Record("ApplicationFolder", {});
    return applicationFolder;
}

Text RecordingPlatform::ListFirst(const Text& pattern, int attributes) {
    Record("ListFirst", {pattern, Decimal(attributes)});
    next_ = 0;
    return NextName();
}

Text RecordingPlatform::ListNext() {
    Record("ListNext", {});
    return NextName();
}

Text RecordingPlatform::NextName() { return next_ < listing.size() ? listing[next_++] : Text(); }

Text RecordingPlatform::GetEnvironment(const Text& name) {
    Record("GetEnvironment", {name});
    const auto found = environment.find(name);
    return found == environment.end() ? Text() : found->second;
}

void RecordingPlatform::CopyFile(const Text& source, const Text& destination) {
    Record("CopyFile", {source, destination});
}

std::int32_t RecordingPlatform::Launch(const Text& commandLine, int windowStyle) {
    Record("Launch", {commandLine, Decimal(windowStyle)});
    return nextTask_++;
}

void RecordingPlatform::ShowMessage(const Text& text) { Record("ShowMessage", {text}); }

void RecordingPlatform::SetPointer(int pointer) { Record("SetPointer", {Decimal(pointer)}); }

}  // namespace orvandi
