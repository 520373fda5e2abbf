#include "core/registration_report.h"

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

// The names Windows would not find when regsvr32 loads the control: not a KnownDLL, not an API
// set (resolved by Windows itself), and in none of the folders searched.
Text Missing(UnattendedPlatform& platform, const std::vector<Text>& names,
             const std::vector<Text>& known, const std::vector<Text>& folders) {
    Text missing;
    for (const Text& name : names) {
        const Text upper = Upper(name);
        if (StartsWith(upper, u"API-MS-") || StartsWith(upper, u"EXT-MS-") ||
            std::find(known.begin(), known.end(), upper) != known.end() ||
            std::any_of(folders.begin(), folders.end(), [&](const Text& folder) {
                return platform.FileExists(Join({folder, u"\\", name}));
            })) {
            continue;
        }
        missing += Join({missing.empty() ? u"" : u", ", name});
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

}  // namespace

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

std::vector<Text> SearchFolders(UnattendedPlatform& platform, const Text& systemFolder,
                                const Text& windowsFolder) {
    std::vector<Text> folders{systemFolder, windowsFolder};
    const Text path = platform.GetEnvironment(u"PATH");
    for (std::size_t start = 0; start < path.size();) {
        std::size_t end = path.find(u';', start);
        if (end == Text::npos) end = path.size();
        Text folder = path.substr(start, end - start);
        folder.erase(std::remove(folder.begin(), folder.end(), u'"'), folder.end());
        if (!folder.empty()) folders.push_back(folder);
        start = end + 1;
    }
    return folders;
}

Text MissingText(UnattendedPlatform& platform, const Text& copy,
                 const std::vector<Text>& searchFolders) {
    const Dependencies needs = platform.ReadDependencies(copy);
    if (!needs.imports || !needs.delayed) return u"; le DLL che importa non si possono leggere";
    std::vector<Text> known = platform.KnownDlls();
    for (Text& name : known) name = Upper(name);
    const Text now = Missing(platform, *needs.imports, known, searchFolders);
    const Text later = Missing(platform, *needs.delayed, known, searchFolders);
    Text text;
    if (!now.empty()) text += Join({u"; mancano: ", now});
    if (!later.empty()) text += Join({u"; mancano, se usata: ", later});
    bool found = now.empty() && later.empty();
    for (const Text& identity : DependentAssemblies(needs.manifest)) {
        const bool there = platform.FindsAssembly(identity);
        found = found && there;
        text += Join({u"; assembly ", Attribute(identity, u"name"), u" ",
                      Attribute(identity, u"version"), there ? u" trovato" : u" non trovato"});
    }
    if (found) text += u"; tra le DLL che importa non ne manca nessuna";
    return text;
}

bool CheckRegistration(UnattendedPlatform& platform, const Text& copy, const Text& systemFolder,
                       Text& line) {
    const std::optional<TypeLibrary> library = platform.ReadTypeLibrary(copy);
    if (!library) {
        line += u"; nessuna libreria dei tipi";
        return true;
    }
    line += Join({u"; libreria dei tipi ", library->libid, u" ", Decimal(library->major), u".",
                  Decimal(library->minor), u":"});
    if (library->classes.empty()) line += u" nessuna classe";
    const Text copyPath = OneSpelling(copy, systemFolder);
    // An administrator's registration may be opened to be compared by identity (a short name is
    // the same file), on a local drive only: a share would have SYSTEM log on to it, a named pipe
    // could have its server act as SYSTEM. Anything else is not the copy, which is on a local
    // drive. A user's own registration is compared as text only, never opened: opening it as
    // SYSTEM would follow whatever link the user planted there. At worst a short name there gives
    // a needless warning.
    const auto machineNames = [&](const Text& file) {
        const Text path = OneSpelling(file, systemFolder);
        const bool local = path.size() > 2 && path[0] >= u'A' && path[0] <= u'Z' &&
                           path[1] == u':' && path[2] == u'\\';
        return path == copyPath || (local && platform.SameFile(path, copy));
    };
    bool creatable = false, here = false, elsewhere = false;
    for (const CoClass& coclass : library->classes) {
        line += Join({&coclass == &library->classes.front() ? u" " : u", ", coclass.name, u" ",
                      coclass.clsid});
        if (!coclass.creatable) {
            line += u" (non creabile)";
            continue;
        }
        creatable = true;
        const std::optional<ClassServer> server = platform.MachineServer(coclass.clsid);
        if (!server || server->file.empty()) {
            // Type libraries often declare classes their DLL never registers.
            line += u" (dichiarata ma non registrata)";
        } else if (machineNames(server->file)) {
            here = true;
        } else {
            line += Join({u" (registrata per un altro file: ", server->file, u")"});
            elsewhere = true;
        }
        if (server && server->advertised) line += u" (pubblicata da Windows Installer)";
        for (const UserServer& user : platform.UserServers(coclass.clsid)) {
            if (OneSpelling(user.file, systemFolder) != copyPath) {
                line += Join({u" (attenzione: per l'utente ", user.sid, u" è registrata per ",
                              user.file, u")"});
            }
        }
    }
    // A control none of whose creatable classes the machine knows registered itself elsewhere
    // (into SYSTEM's own user hive, say): nobody else can create it.
    if (creatable && !here && !elsewhere) line += u"; nessuna classe registrata per il PC";
    return !elsewhere && (here || !creatable);
}

}  // namespace orvandi
