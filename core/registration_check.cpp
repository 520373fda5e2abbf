#include "core/registration_check.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace orvandi {
namespace {

bool StartsWith(const Text& text, std::u16string_view prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The value of an attribute among an element's attributes (normalized by DependentAssemblies:
// blanks for white space, double quotes); empty when it has none.
Text Attribute(const Text& attributes, std::u16string_view name) {
    const Text key = Join({u" ", name, u"=\""});
    const std::size_t at = Join({u" ", attributes}).find(key);
    if (at == Text::npos) return Text();
    const std::size_t from = at + key.size() - 1, to = attributes.find(u'"', from);
    return attributes.substr(from, to == Text::npos ? Text::npos : to - from);
}

Result<std::vector<Text>> KnownDlls(Registry& registry) {
    constexpr char16_t kKey[] = u"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs";
    const Result<std::vector<Text>> names = registry.ValueNames(Root::kMachine, kKey);
    if (!names) return names.failure();
    std::vector<Text> dlls;
    for (const Text& name : *names) {
        const Result<std::optional<StoredValue>> dll = registry.Read(Root::kMachine, kKey, name);
        if (!dll) return dll.failure();
        if (const std::optional<Text> text = *dll ? TextOf(**dll) : std::nullopt) {
            dlls.push_back(Upper(*text));
        }
    }
    return dlls;
}

// The folders where Windows looks for the DLLs a control in the system folder imports.
Result<std::vector<Text>> SearchFolders(System& system, const Text& systemFolder,
                                        const Text& windowsFolder) {
    std::vector<Text> folders{systemFolder, windowsFolder};
    const Result<Text> path = system.GetEnvironment(u"PATH");
    if (!path) return path.failure();
    for (std::size_t start = 0; start < path->size();) {
        std::size_t end = path->find(u';', start);
        if (end == Text::npos) end = path->size();
        Text folder = path->substr(start, end - start);
        folder.erase(std::remove(folder.begin(), folder.end(), u'"'), folder.end());
        if (!folder.empty()) folders.push_back(folder);
        start = end + 1;
    }
    return folders;
}

std::vector<Text> Missing(Files& files, const std::vector<Text>& names,
                          const std::vector<Text>& known, const std::vector<Text>& folders) {
    std::vector<Text> missing;
    for (const Text& name : names) {
        const Text upper = Upper(name);
        if (StartsWith(upper, u"API-MS-") || StartsWith(upper, u"EXT-MS-") ||
            std::find(known.begin(), known.end(), upper) != known.end() ||
            std::any_of(folders.begin(), folders.end(), [&](const Text& folder) {
                return files.FileExists(Join({folder, u"\\", name}));
            })) {
            continue;
        }
        missing.push_back(name);
    }
    return missing;
}

// A path in one spelling, as Windows would open it: without quotes, "/" read as "\", no "\\?\" or
// "\\.\" before a drive letter, in capitals, and SysWOW64 as System32, which is the same folder
// to a 32-bit program. A bare name is the file of that name in the system folder.
Text OneSpelling(Text path, const Text& systemFolder) {
    path.erase(std::remove(path.begin(), path.end(), u'"'), path.end());
    std::replace(path.begin(), path.end(), u'/', u'\\');
    if (path.find(u'\\') == Text::npos) path = Join({systemFolder, u"\\", path});
    path = Upper(path);
    if ((StartsWith(path, u"\\\\?\\") || StartsWith(path, u"\\\\.\\")) && path.size() > 5 &&
        path[5] == u':') {
        path.erase(0, 4);
    }
    for (std::size_t at; (at = path.find(u"\\SYSWOW64\\")) != Text::npos;) {
        path.replace(at, 10, u"\\SYSTEM32\\");
    }
    return path;
}

Text ServerKey(const Text& clsid) { return Join({u"CLSID\\", clsid, u"\\InprocServer32"}); }

// A class server's file as Windows reads it: its %VARIABLES% expanded when it is stored to be.
Result<std::optional<Text>> ServerFile(Registry& registry, System& system, Root root,
                                       const Text& key) {
    const Result<std::optional<StoredValue>> value = registry.Read(root, key, Text());
    if (!value) return value.failure();
    const std::optional<Text> file = *value ? TextOf(**value) : std::nullopt;
    if (!file || (*value)->type != kValueExpanded) return file;
    Result<Text> expanded = ExpandVariables(system, *file);
    if (!expanded) return expanded.failure();
    return std::optional<Text>(*expanded);
}

// Each loaded user profile is a key of HKEY_USERS named by its SID; its classes show under
// "<SID>\Software\Classes" (on Windows a link to the "<SID>_Classes" hive, which is listed too
// and skipped here). A user's key that cannot be read is passed over: this is a warning only.
std::vector<UserServer> UserServers(Registry& registry, System& system, const Text& clsid) {
    std::vector<UserServer> users;
    const Result<std::vector<Text>> sids = registry.KeyNames(Root::kUsers, Text());
    for (const Text& sid : sids ? *sids : std::vector<Text>()) {
        if (sid.size() > 8 && sid.compare(sid.size() - 8, 8, u"_Classes") == 0) continue;
        const Result<std::optional<Text>> file =
            ServerFile(registry, system, Root::kUsers,
                       Join({sid, u"\\Software\\Classes\\", ServerKey(clsid)}));
        if (file && *file) users.push_back({sid, **file});
    }
    return users;
}

}  // namespace

bool MissingDlls::NothingMissing() const {
    return !unreadable && now.empty() && later.empty() &&
           std::all_of(assemblies.begin(), assemblies.end(),
                       [](const Assembly& assembly) { return assembly.found; });
}

std::vector<Text> DependentAssemblies(const Text& manifest) {
    constexpr std::u16string_view kDependent = u"<dependentAssembly",
                                  kIdentity = u"<assemblyIdentity";
    std::vector<Text> identities;
    for (std::size_t at = manifest.find(kDependent); at != Text::npos;
         at = manifest.find(kDependent, at + 1)) {
        const std::size_t identity = manifest.find(kIdentity, at);
        const std::size_t end = manifest.find(u'>', identity);
        if (identity > manifest.find(kDependent, at + 1) || end == Text::npos) continue;
        Text attributes =
            manifest.substr(identity + kIdentity.size(), end - identity - kIdentity.size());
        if (!attributes.empty() && attributes.back() == u'/') attributes.pop_back();
        // Only what could name an assembly goes on: no markup, no entity, whatever the file says.
        bool plain = true;
        for (char16_t& c : attributes) {
            if (c == u'\t' || c == u'\r' || c == u'\n') c = u' ';
            if (c == u'\'') c = u'"';
            plain = plain && ((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') ||
                              (c >= u'a' && c <= u'z') || Text(u" .-_*=\"").find(c) != Text::npos);
        }
        if (plain) identities.push_back(attributes);
    }
    return identities;
}

Result<MissingDlls> FindMissing(Files& files, Registry& registry, System& system, const Text& copy,
                                const Text& systemFolder, const Text& windowsFolder) {
    MissingDlls missing;
    const Dependencies needs = files.ReadDependencies(copy);
    if (!needs.imports || !needs.delayed) {
        missing.unreadable = true;
        return missing;
    }
    const Result<std::vector<Text>> known = KnownDlls(registry);
    if (!known) return known.failure();
    const Result<std::vector<Text>> folders = SearchFolders(system, systemFolder, windowsFolder);
    if (!folders) return folders.failure();
    missing.now = Missing(files, *needs.imports, *known, *folders);
    missing.later = Missing(files, *needs.delayed, *known, *folders);
    for (const Text& identity : DependentAssemblies(needs.manifest)) {
        missing.assemblies.push_back({Attribute(identity, u"name"), Attribute(identity, u"version"),
                                      files.FindsAssembly(identity)});
    }
    return missing;
}

Result<std::optional<Text>> MachineServer(Registry& registry, System& system, const Text& clsid) {
    return ServerFile(registry, system, Root::kMachine,
                      Join({u"SOFTWARE\\Classes\\", ServerKey(clsid)}));
}

// An administrator's registration may be opened to be compared by identity (a short name is the
// same file), on a local drive only: a share would have SYSTEM log on to it, a named pipe could
// have its server act as SYSTEM. Anything else is not the copy, which is on a local drive.
bool NamesTheCopy(Files& files, const Text& file, const Text& copy, const Text& systemFolder) {
    const Text path = OneSpelling(file, systemFolder);
    const bool local = path.size() > 2 && path[0] >= u'A' && path[0] <= u'Z' && path[1] == u':' &&
                       path[2] == u'\\';
    return path == OneSpelling(copy, systemFolder) || (local && files.SameFile(path, copy));
}

bool ClassesChecked::Registered() const {
    const bool creatable = std::any_of(classes.begin(), classes.end(), [](const ClassCheck& c) {
        return c.where != ClassCheck::kNotCreatable;
    });
    const auto count = [this](ClassCheck::Where where) {
        return std::count_if(classes.begin(), classes.end(),
                             [where](const ClassCheck& c) { return c.where == where; });
    };
    return count(ClassCheck::kElsewhere) == 0 && (count(ClassCheck::kHere) > 0 || !creatable);
}

std::vector<Text> ClassesChecked::ClassesHere() const {
    std::vector<Text> here;
    for (const ClassCheck& c : classes) {
        if (c.where == ClassCheck::kHere) here.push_back(c.coclass.clsid);
    }
    return here;
}

Result<ClassesChecked> CheckRegistration(Files& files, Registry& registry, System& system,
                                         const Text& copy, const Text& systemFolder) {
    ClassesChecked checked;
    const std::optional<TypeLibrary> library = files.ReadTypeLibrary(copy);
    if (!library) return checked;
    checked.hasLibrary = true;
    checked.libid = library->libid;
    checked.major = library->major;
    checked.minor = library->minor;
    const Text copyPath = OneSpelling(copy, systemFolder);
    bool creatable = false, registered = false;
    for (const CoClass& coclass : library->classes) {
        ClassCheck& check = checked.classes.emplace_back();
        check.coclass = coclass;
        if (!coclass.creatable) continue;
        creatable = true;
        const Result<std::optional<Text>> server = MachineServer(registry, system, coclass.clsid);
        if (!server) return server.failure();
        const Result<std::optional<StoredValue>> descriptor =
            registry.Read(Root::kMachine, Join({u"SOFTWARE\\Classes\\", ServerKey(coclass.clsid)}),
                          u"InprocServer32");
        if (!descriptor) return descriptor.failure();
        // Windows Installer advertises a class with a value named "InprocServer32" beside the
        // file (its descriptor of the component), only ever looked at here, never handed to
        // Windows Installer: using it may make Windows Installer repair its product.
        check.advertised = descriptor->has_value();
        if (!*server || (*server)->empty()) {
            check.where = ClassCheck::kDeclared;  // type libraries often declare more
        } else if (NamesTheCopy(files, **server, copy, systemFolder)) {
            check.where = ClassCheck::kHere;
        } else {
            check.where = ClassCheck::kElsewhere;
            check.otherFile = **server;
        }
        registered = registered || check.where != ClassCheck::kDeclared;
        // A user's own registration is compared as text only, never opened: opening it as SYSTEM
        // would follow whatever link the user planted there. At worst a short name there gives a
        // needless warning.
        for (UserServer& user : UserServers(registry, system, coclass.clsid)) {
            if (OneSpelling(user.file, systemFolder) != copyPath) {
                check.otherUsers.push_back(std::move(user));
            }
        }
    }
    checked.noneRegistered = creatable && !registered;
    return checked;
}

}  // namespace orvandi
