#include "core/kept_program.h"

#include "core/control_steps.h"

namespace orvandi {
namespace {

constexpr char16_t kEventSource[] =
    u"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Orvandi";
// Errors, warnings and information.
constexpr std::uint32_t kTypesSupported = 7;

bool Same(const Result<std::optional<StoredValue>>& read, const StoredValue& value) {
    return read && *read && (*read)->type == value.type && (*read)->data == value.data;
}

}  // namespace

Result<Text> KeptProgramFolder(Registry& registry) {
    constexpr char16_t kKey[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    // 64-bit Windows names the 32-bit folder in both views; 32-bit Windows has only the one.
    for (const char16_t* name : {u"ProgramFilesDir (x86)", u"ProgramFilesDir"}) {
        const Result<std::optional<StoredValue>> value = registry.Read(Root::kMachine, kKey, name);
        if (!value) return value.failure();
        if (const std::optional<Text> folder = *value ? TextOf(**value) : std::nullopt;
            folder && !folder->empty()) {
            return Join({*folder, u"\\Orvandi"});
        }
    }
    return Failure{2, u"ProgramFilesDir"};  // ERROR_FILE_NOT_FOUND
}

Text KeptProgramFile(const Text& folder) { return Join({folder, u"\\Orvandi.exe"}); }

Status KeepProgram(Ports& ports, const Text& folder) {
    if (Status made = ports.files.MakeAdministratorsFolder(folder); !made) return made;
    const Result<Text> self = ports.system.ProgramFile();
    if (!self) return self.failure();
    const Text copy = KeptProgramFile(folder);
    PlacementResult placed = Place(ports.files, ports.system, *self, copy, DecideProgramCopy);
    ReplaceInUse(ports, *self, copy, DecideProgramCopy, placed);
    return placed.failure ? Status(*placed.failure) : Status();
}

Status RegisterEventSource(Registry& registry, const Text& messageFile) {
    const StoredValue file = TextValue(messageFile), types = NumberValue(kTypesSupported);
    const auto check = [&](const char16_t* name, const StoredValue& value) {
        return Same(registry.Read(Root::kMachine, kEventSource, name), value)
                   ? Status()
                   : registry.Write(kEventSource, name, value);
    };
    if (Status written = check(u"EventMessageFile", file); !written) return written;
    return check(u"TypesSupported", types);
}

}  // namespace orvandi
