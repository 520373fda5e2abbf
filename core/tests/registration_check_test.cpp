// What a control needs that Windows would not find, and where its classes are registered. The copy
// is C:\W\SYSTEM32\Calendario.ocx, Windows is in C:\W, PATH holds C:\Tools.
#include <gtest/gtest.h>

#include "core/registration_check.h"
#include "core/tests/fakes.h"

namespace orvandi {

const Text kCopy = u"C:\\W\\SYSTEM32\\Calendario.ocx";

struct Pc : FakePorts {
    Pc() {
        system.environment[u"PATH"] = u"\"C:\\Tools\";;";
        registry.machine[u"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs"]
                        [u"kernel32"] = TextValue(u"kernel32.dll");
        files.files = {u"C:\\Tools\\Trovata.dll", u"C:\\W\\Finestre.dll"};
    }
    void Server(Root root, const Text& key, const Text& clsid, const Text& file,
                std::uint32_t type = kValueText) {
        Of(root)[key + u"\\CLSID\\" + clsid + u"\\InprocServer32"][u""] = {type,
                                                                           TextValue(file).data};
    }
    std::map<Text, std::map<Text, StoredValue>>& Of(Root root) { return registry.Of(root); }
    MissingDlls Missing(const Dependencies& needs) {
        files.dependencies[kCopy] = needs;
        return *FindMissing(files, registry, system, kCopy, u"C:\\W\\SYSTEM32", u"C:\\W");
    }
    ClassesChecked Check() {
        return *CheckRegistration(files, registry, system, kCopy, u"C:\\W\\SYSTEM32");
    }
};

TEST(FindMissing, NamesWhatWindowsWouldNotFind) {
    Pc pc;
    const MissingDlls missing = pc.Missing(
        {std::vector<Text>{u"MSVBVM60.DLL", u"KERNEL32.dll", u"api-ms-win-core-synch-l1-2-0.dll",
                           u"ext-ms-win-ntuser-l1-1-0.dll", u"COMDLG32.OCX", u"Trovata.dll",
                           u"Finestre.dll"},
         std::vector<Text>{u"MSCOMCTL.OCX", u"Trovata.dll"}, u""});
    EXPECT_EQ(missing.now, (std::vector<Text>{u"MSVBVM60.DLL", u"COMDLG32.OCX"}));
    EXPECT_EQ(missing.later, std::vector<Text>{u"MSCOMCTL.OCX"});
    EXPECT_FALSE(missing.NothingMissing());
    EXPECT_TRUE(pc.Missing({std::vector<Text>{u"KERNEL32.dll"}, std::vector<Text>{}, u""})
                    .NothingMissing());
    EXPECT_TRUE(pc.Missing({std::nullopt, std::vector<Text>{}, u""}).unreadable);
}

// Only what could name an assembly is asked about: no markup, no entity, whatever the file says.
TEST(FindMissing, AsksWindowsForTheAssembliesItsManifestNames) {
    Pc pc;
    const Text vc80 = u" type=\"win32\" name=\"Microsoft.VC80.CRT\" version=\"8.0.50727.6195\"";
    pc.files.assemblies = {vc80};
    const MissingDlls missing =
        pc.Missing({std::vector<Text>{}, std::vector<Text>{},
                    u"<dependency><dependentAssembly>\r\n<assemblyIdentity\ttype='win32' "
                    u"name='Microsoft.VC80.CRT' "
                    u"version='8.0.50727.6195'/></dependentAssembly></"
                    u"dependency><dependency><dependentAssembly>"
                    u"<assemblyIdentity name=\"a&amp;b\" "
                    u"version=\"1.0\"/></dependentAssembly><dependentAssembly>"
                    u"<assemblyIdentity name=\"Microsoft.VC90.CRT\" "
                    u"version=\"9.0.30729.9247\"/></dependentAssembly>"});
    ASSERT_EQ(missing.assemblies.size(), 2u);
    EXPECT_TRUE(missing.assemblies[0].name == u"Microsoft.VC80.CRT" && missing.assemblies[0].found);
    EXPECT_TRUE(missing.assemblies[1].version == u"9.0.30729.9247" && !missing.assemblies[1].found);
}

// Calendario {C1} and Extra {C3} are creatable, Pagina {C2} is not.
TEST(CheckRegistration, EachCreatableClassRegisteredForTheMachineToTheCopy) {
    using W = ClassCheck::Where;
    const W here = ClassCheck::kHere, declared = ClassCheck::kDeclared,
            elsewhere = ClassCheck::kElsewhere;
    const struct {
        const char* what;
        std::map<Text, Text> servers;  // by CLSID
        W c1, c3;
        bool registered;
        bool opened = false;  // a file was opened to be compared
    } rows[] = {
        // clang-format off
        {"one registered to the copy by its short name", {{u"{C1}", u"C:\\W\\SYSTEM32\\CALEND~1.OCX"}, {u"{C3}", kCopy}},
         here, here, true, true},
        {"as Windows reads it: a bare name in quotes, / for \\, \\\\?\\, SysWOW64",
         {{u"{C1}", u"\"calendario.ocx\""}, {u"{C3}", u"\\\\?\\C:/W/SysWOW64/Calendario.ocx"}}, here, here, true},
        {"registered to another file: the PC would go on using it", {{u"{C1}", u"C:\\App\\Calendario.ocx"}},
         elsewhere, declared, false, true},
        {"a share is never opened to be compared", {{u"{C1}", u"\\\\server\\s\\Calendario.ocx"}, {u"{C3}", kCopy}},
         elsewhere, here, false},
        {"a class declared but not registered: a warning", {{u"{C1}", kCopy}}, here, declared, true},
        {"no creatable class registered for the PC", {}, declared, declared, false},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Pc pc;
        const std::vector<CoClass> classes = {
            {u"{C1}", u"Calendario", true}, {u"{C2}", u"Pagina", false}, {u"{C3}", u"Extra", true}};
        pc.files.libraries[kCopy] = {u"{L1}", 1, 0, classes};
        pc.files.sameFiles = {{u"C:\\W\\SYSTEM32\\CALEND~1.OCX", kCopy}};
        for (const auto& [clsid, file] : row.servers)
            pc.Server(Root::kMachine, u"SOFTWARE\\Classes", clsid, file);
        const ClassesChecked checked = pc.Check();
        ASSERT_EQ(checked.classes.size(), 3u);
        EXPECT_EQ(checked.classes[0].where, row.c1);
        EXPECT_EQ(checked.classes[1].where, ClassCheck::kNotCreatable);
        EXPECT_EQ(checked.classes[2].where, row.c3);
        EXPECT_EQ(checked.Registered(), row.registered);
        EXPECT_EQ(checked.noneRegistered, row.c1 == declared && row.c3 == declared);
        EXPECT_EQ(pc.journal.calls.find(u"SameFile") != Text::npos, row.opened);
    }
}

// Warnings: a user's registration of another file (compared as text, never opened), Windows
// Installer's advertising; a variable in a path is read as Windows reads it.
TEST(CheckRegistration, WarningsThatConcernOthers) {
    Pc pc;
    pc.files.libraries[kCopy] = {u"{L1}", 1, 0, {{u"{C1}", u"Calendario", true}}};
    pc.system.environment[u"SystemRoot"] = u"C:\\W";
    pc.Server(Root::kMachine, u"SOFTWARE\\Classes", u"{C1}",
              u"%SystemRoot%\\SYSTEM32\\Calendario.ocx", kValueExpanded);
    pc.registry.machine[u"SOFTWARE\\Classes\\CLSID\\{C1}\\InprocServer32"][u"InprocServer32"] =
        TextsValue({u"d"});
    for (const Text sid : {u"S-1-5-21-7", u"S-1-5-21-8", u"S-1-5-21-8_Classes"}) {
        pc.Server(Root::kUsers, sid + u"\\Software\\Classes", u"{C1}",
                  sid == u"S-1-5-21-8" ? u"c:/w/system32/calendario.ocx" : u"\\\\.\\pipe\\p");
    }
    const ClassesChecked checked = pc.Check();
    EXPECT_TRUE(checked.Registered());
    EXPECT_TRUE(checked.classes[0].advertised);
    ASSERT_EQ(checked.classes[0].otherUsers.size(), 1u);
    EXPECT_EQ(checked.classes[0].otherUsers[0].sid, u"S-1-5-21-7");
    EXPECT_EQ(pc.journal.calls.find(u"SameFile"), Text::npos);
}

}  // namespace orvandi
