// What is known of a control's registration beyond regsvr32's exit code. When regsvr32 could not
// load the control (exit code 3), which DLLs or side-by-side assemblies it needs that Windows
// would not find. When it registered, which classes its type library describes (their CLSIDs are
// what application-control policies and a check by hand need), and whether the machine's
// registration of each points at the copy just installed: a 0 from regsvr32 does not prove that,
// when another copy of the control was registered earlier from elsewhere.
#pragma once

#include <cstdint>
#include <vector>

#include "core/files.h"
#include "core/registry.h"
#include "core/result.h"
#include "core/system.h"
#include "core/text.h"

namespace orvandi {

struct Assembly {
    Text name, version;
    bool found = false;
};

// What Windows would not find when regsvr32 loads the control: not a KnownDLL, not an API set
// (resolved by Windows itself), and in none of the folders searched.
struct MissingDlls {
    bool unreadable = false;           // the import tables could not be read
    std::vector<Text> now, later;      // imported; delay-loaded, needed when used
    std::vector<Assembly> assemblies;  // those its own manifest names, found or not
    bool NothingMissing() const;
};

// `copy` is the control in the system folder; Windows looks for the DLLs it imports in the system
// folder, the Windows folder and the folders on PATH.
Result<MissingDlls> FindMissing(Files& files, Registry& registry, System& system, const Text& copy,
                                const Text& systemFolder, const Text& windowsFolder);

// A user whose own registration of a class, which overrides the machine's for that user, names
// another file than the copy.
struct UserServer {
    Text sid;
    Text file;
};

struct ClassCheck {
    CoClass coclass;
    enum Where {
        kNotCreatable,  // nothing to check
        kHere,          // registered for the machine to the copy
        kDeclared,      // declared by the type library, not registered for the machine
        kElsewhere,     // registered for the machine to another file
    } where = kNotCreatable;
    Text otherFile;           // kElsewhere: that file
    bool advertised = false;  // Windows Installer advertises the class too
    std::vector<UserServer> otherUsers;
};

struct ClassesChecked {
    bool hasLibrary = false;
    Text libid;
    std::uint16_t major = 0, minor = 0;
    std::vector<ClassCheck> classes;
    // Creatable classes none of which the machine knows: the control registered itself elsewhere
    // (into SYSTEM's own user hive, say), and nobody else can create it.
    bool noneRegistered = false;
    // The machine's registration of each creatable class names the copy itself (a class a user
    // registered for themselves with another file concerns that user alone).
    bool Registered() const;
    // The CLSIDs registered to the copy.
    std::vector<Text> ClassesHere() const;
};

Result<ClassesChecked> CheckRegistration(Files& files, Registry& registry, System& system,
                                         const Text& copy, const Text& systemFolder);

// Whether the machine's registration of one class names the copy (for a check long after the
// install): nothing when the class is not registered for the machine.
Result<std::optional<Text>> MachineServer(Registry& registry, System& system, const Text& clsid);
bool NamesTheCopy(Files& files, const Text& file, const Text& copy, const Text& systemFolder);

// The identities (attributes of <assemblyIdentity>) of the side-by-side assemblies a manifest
// depends on, those only whose values could name an assembly.
std::vector<Text> DependentAssemblies(const Text& manifest);

}  // namespace orvandi
