// The release Orvandi.exe, driven from another process as a person would, registering sample
// controls with the system's own 32-bit regsvr32 (the paths it uses: see CMakeLists.txt).
#include <functional>
#include <regex>

#include "platform/tests/platform_test.h"
#include "ui/resource.h"

namespace {

using orvandi::Contents;
using orvandi::SystemFolder;
namespace fs = std::filesystem;
const fs::path g_orvandi = ORVANDI_EXE, g_sample = SAMPLE_OCX, g_newer = NEWER_OCX,
               g_missing = MISSING_OCX, g_planted = PLANTED_EXE, g_temp = fs::temp_directory_path();
const fs::path g_full = "/tmp/orvandi-full";  // its OCX folder holds 32768 .ocx files

// The 64-bit and 32-bit system folders, and the system folder as the window shows it.
const fs::path g_system = SystemFolder(GetSystemDirectoryW);
const fs::path g_wow = SystemFolder(GetSystemWow64DirectoryW);
const std::wstring g_label = _wgetenv(L"windir") + std::wstring(L"\\SYSTEM32");

bool WaitUntil(const std::function<bool()>& done) {
    for (DWORD start = GetTickCount(); !done(); Sleep(50)) {
        if (GetTickCount() - start > 60000) return done();
    }
    return true;
}
LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, 60000, &result);
    return static_cast<LRESULT>(result);
}
std::wstring TextOf(HWND window) {
    wchar_t text[1024] = L"";
    Send(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return text;
}
// What the sample controls or the planted regsvr32 recorded (see sample_control.cpp).
std::wstring Record(const std::wstring& name, const wchar_t* value) {
    wchar_t text[4096] = L"(none)";
    DWORD size = sizeof text;
    const std::wstring key = L"Software\\OrvandiSamples\\" + name;
    RegGetValueW(HKEY_CURRENT_USER, key.c_str(), value, RRF_RT_REG_SZ, nullptr, text, &size);
    return text;
}

// Controls' shared counts, by the name this program writes, and its records of them.
constexpr wchar_t kCounts[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
constexpr wchar_t kRecords[] = L"SOFTWARE\\Orvandi\\Controls";
// A value of HKLM as stored: its type and bytes, or 0 and nothing.
std::pair<DWORD, std::string> Stored(const std::wstring& key, const std::wstring& name) {
    char bytes[512];
    DWORD type = 0, size = sizeof bytes;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                     &type, bytes, &size) != ERROR_SUCCESS) {
        return {0, ""};
    }
    return {type, std::string(bytes, size)};
}
// A count as stored: a number, text or bytes.
std::pair<DWORD, std::string> Stored(const std::wstring& name) {
    return Stored(kCounts, g_label + L"\\" + name);
}
DWORD Count(const std::wstring& name) {
    const auto [type, bytes] = Stored(name);  // a count of 0 is no count
    return type == REG_DWORD ? *reinterpret_cast<const DWORD*>(bytes.data()) : 0;
}
void SetCount(const std::wstring& name, DWORD type, const std::string& bytes) {
    const std::wstring path = g_label + L"\\" + name;
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kCounts, path.c_str());
    if (type != 0) {
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, kCounts, path.c_str(), type, bytes.data(),
                        static_cast<DWORD>(bytes.size()));
    }
}

// A fresh application folder: Orvandi.exe and `controls`, none installed, recorded or counted.
fs::path App(const wchar_t* name, const std::vector<std::wstring>& controls) {
    const fs::path app = g_temp / name;
    fs::remove_all(app);
    fs::create_directories(app / L"OCX");
    fs::copy_file(g_orvandi, app / L"Orvandi.exe");
    for (const auto& control : controls) {
        fs::copy_file(g_sample, app / L"OCX" / control);
        fs::remove(g_wow / control);
        SetCount(control, 0, "");
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kRecords, control.c_str());
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\OrvandiSamples");
    return app;
}

// Orvandi.exe started from `folder` in `current`, with `arguments`, on a desktop of its own when
// one is named, its output in a file when one is given. Closing its window ends it.
struct Orvandi {
    Orvandi(const fs::path& folder, const fs::path& current, const std::wstring& arguments = L"",
            const wchar_t* desktop = nullptr, const fs::path& output = {}) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        std::wstring station = desktop != nullptr ? desktop : L"";
        startup.lpDesktop = desktop != nullptr ? station.data() : nullptr;
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        const orvandi::FileHandle out(CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                                  &inherited, CREATE_ALWAYS, 0, nullptr));
        startup.dwFlags = out ? STARTF_USESTDHANDLES : 0;
        startup.hStdOutput = out.get();
        PROCESS_INFORMATION started{};
        std::wstring line = L"\"" + (folder / L"Orvandi.exe").wstring() + L"\" " + arguments;
        EXPECT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, bool(out), 0, nullptr,
                                   current.c_str(), &startup, &started));
        process.reset(started.hProcess);
        id = started.dwProcessId;
        orvandi::KernelHandle thread(started.hThread);
    }
    DWORD ExitCode() {
        DWORD code = STILL_ACTIVE;
        WaitForSingleObject(process.get(), 60000);
        GetExitCodeProcess(process.get(), &code);
        return code;
    }
    // Whether the program has a top-level window, shown or not.
    bool HasWindow() {
        for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, nullptr, nullptr)) != nullptr;) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == id) return true;
        }
        return false;
    }
    // The visible top-level window of a class: the program's own, or "#32770", a message box.
    HWND Find(const wchar_t* kind) {
        HWND found = nullptr;
        WaitUntil([&] { return IsWindowVisible(found = FindWindowW(kind, nullptr)); });
        return found;
    }
    bool Open() { return (window = Find(L"OrvandiForm1")) != nullptr; }
    // The message box's caption and text, once checked for an OK button alone and no icon; OK.
    std::wstring TakeMessage() {
        HWND box = Find(L"#32770");
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(box, IDOK)) &&
                    !IsWindowVisible(GetDlgItem(box, IDCANCEL)));
        EXPECT_FALSE(Send(GetDlgItem(box, 1088), STM_GETICON)) << "an icon";  // Wine's icon
        const std::wstring text = TextOf(box) + L": " + TextOf(GetDlgItem(box, 0xFFFF));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        WaitUntil([&] { return !IsWindow(box); });
        return text;
    }
    // Real key presses, with the window in the foreground.
    void Press(std::initializer_list<WORD> keys) {
        SetForegroundWindow(window);
        for (WORD key : keys) keybd_event(key, 0, 0, 0), keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
    }
    orvandi::KernelHandle process;
    DWORD id = 0;
    HWND window = nullptr;
};

// The keyboard alone marks and registers everything: a newer copy in the system folder stays, an
// identical one in use counts as done, a file that is no control goes nowhere.
TEST(EndToEnd, RegistersEveryControlWithTheKeyboardAlone) {
    const std::vector<std::wstring> names = {L"Alfa.ocx", L"My Control.ocx", L"Contr\u00f4le.ocx",
                                             L"Recente.ocx", L"Aperto.ocx"};
    const fs::path app = App(L"e2e", names), wow = g_wow;
    fs::create_directories(app / L"current");
    std::ofstream(app / L"OCX" / L"Testo.ocx") << "not a control";
    fs::remove(wow / L"Testo.ocx");
    fs::copy_file(g_newer, wow / L"Recente.ocx");
    fs::copy_file(g_sample, wow / L"Aperto.ocx");
    const orvandi::FileHandle held =
        orvandi::Open(wow / L"Aperto.ocx", GENERIC_READ, FILE_SHARE_READ);
    // A regsvr32.exe that must never run, and DLLs that a window loads, planted beside it.
    fs::copy_file(g_planted, app / L"regsvr32.exe");
    fs::copy_file(g_planted, app / L"current" / L"regsvr32.exe");
    const wchar_t* dlls[] = {L"uxtheme",   L"dwmapi",  L"version",
                             L"cryptbase", L"propsys", L"textshaping"};
    for (std::wstring dll : dlls) fs::copy_file(g_sample, app / (dll + L".dll"));

    Orvandi orvandi(app, app / L"current");
    ASSERT_TRUE(orvandi.Open());
    HWND list = GetDlgItem(orvandi.window, IDC_LIST1);
    orvandi.Press({VK_TAB, VK_SPACE});  // SELEZIONA TUTTI
    EXPECT_TRUE(WaitUntil([&] { return Send(list, LB_GETSELCOUNT) == 6; })) << "not all marked";
    orvandi.Press({VK_TAB, VK_SPACE});  // REGISTRA SELEZIONATI
    EXPECT_EQ(orvandi.TakeMessage(),
              L"Orvandi: operazione completata\r\nTotali : 6\r\nOk : 5\r\nNo : 1\r\n"
              L"non sono riuscito a fare i seguenti: Testo.ocx\r\n");
    EXPECT_FALSE(fs::exists(wow / L"Testo.ocx"));

    // Each copy is in the 32-bit system folder only, registered by the 32-bit regsvr32 by the
    // path the window shows.
    for (const auto& name : names) {
        SCOPED_TRACE(fs::path(name).string());
        WaitUntil([&] { return Record(name, L"Registered") != L"(none)"; });
        EXPECT_TRUE(Contents(wow / name) == Contents(name == L"Recente.ocx" ? g_newer : g_sample));
        EXPECT_FALSE(fs::exists(g_system.parent_path() / L"sysnative" / name));
        EXPECT_EQ(Record(name, L"Registered"), g_label + L"\\" + name + L" | " +
                                                   (wow / L"regsvr32.exe").wstring() + L" | " +
                                                   g_system.wstring() + L" | 2\n");
    }
    EXPECT_EQ(Record(L"regsvr32.exe", L"Planted"), L"(none)") << "the planted regsvr32 ran";
    for (std::wstring dll : dlls) EXPECT_EQ(Record(dll + L".dll", L"Loaded"), L"(none)") << dll;
}

// Over 32767 files: one overflow message, then the window with the first 32767 and its folder.
TEST(EndToEnd, OpensAFolderOfMoreThan32767FilesAfterTheOverflowMessage) {
    // (overwrite_existing fails with MinGW's libstdc++ 12: without inodes, all files look alike)
    fs::remove(g_full / L"Orvandi.exe");
    fs::copy_file(g_orvandi, g_full / L"Orvandi.exe");
    Orvandi orvandi(g_full, g_full);
    EXPECT_EQ(orvandi.TakeMessage(),
              L"Orvandi: Error 6 (Overflow) in procedure Form_Load of Form Form1");
    ASSERT_TRUE(orvandi.Open());
    EXPECT_EQ(Send(GetDlgItem(orvandi.window, IDC_LIST1), LB_GETCOUNT), 32767);
    EXPECT_EQ(TextOf(GetDlgItem(orvandi.window, IDC_LABEL_SYSDIR)), g_label);
}

// Started by a deployment system: switches, no window, regsvr32 waited for, an exit code, a log.
TEST(EndToEnd, InstallsAndUninstallsUnattended) {
    const fs::path app = App(L"unattended", {L"Buono.ocx", L"Guasto.ocx", L"Lento.ocx"});
    const fs::path log = app / L"log e altro" / L"Orvandi.log";
    fs::create_directories(log.parent_path());
    const std::wstring logSwitch = L"/LOG=\"" + log.wstring() + L"\"";

    // A window on a station nobody sees would wait for ever: the program ends at once instead.
    EXPECT_EQ(Orvandi(app, app, L"", L"OrvandiHidden\\Default").ExitCode(), 87u);

    // One run at a time. A run ended from outside takes its regsvr32 with it, and keeps no
    // later run out.
    const orvandi::KernelHandle registering(
        CreateEventW(nullptr, TRUE, FALSE, L"OrvandiSamples.Registering"));
    const orvandi::KernelHandle release(
        CreateEventW(nullptr, TRUE, FALSE, L"OrvandiSamples.Release"));  // never set
    Orvandi install(app, app, L"-s " + logSwitch);
    bool window = false;  // looked for all along: under emulation the program starts slowly
    while (WaitForSingleObject(registering.get(), 20) == WAIT_TIMEOUT) {
        window = window || install.HasWindow();
    }
    EXPECT_EQ(Orvandi(app, app, L"/S").ExitCode(), 1618u) << "while Lento registers";
    const orvandi::KernelHandle regsvr32(
        OpenProcess(SYNCHRONIZE, FALSE, std::stoul(Record(L"Lento.ocx", L"Process"))));
    ASSERT_TRUE(regsvr32);
    window = window || install.HasWindow();
    TerminateProcess(install.process.get(), 1);
    EXPECT_EQ(WaitForSingleObject(regsvr32.get(), 30000), WAIT_OBJECT_0) << "regsvr32 outlived it";
    EXPECT_FALSE(window);
    EXPECT_NE(Orvandi(app, app, L"/U /PACKAGE=Nessuno").ExitCode(), 1618u);
    const std::string text = Contents(log);
    for (const char* line : {"Buono.ocx: copiato; regsvr32 0 (registrato); libreria dei tipi",
                             "Guasto.ocx: copiato; regsvr32 5 ("}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << " in " << text;
    }

    // A log past 1 MiB is moved aside for a new one, before the run's first line.
    const std::string full = Contents(log) + std::string(1048576, 'x');
    std::ofstream(log, std::ios::binary) << full;
    fs::remove(app / L"OCX" / L"Guasto.ocx");
    fs::remove(app / L"OCX" / L"Lento.ocx");
    EXPECT_EQ(Orvandi(app, app, L"/S " + logSwitch).ExitCode(), 0u);
    EXPECT_TRUE(Contents(log.wstring() + L".1") == full);
    EXPECT_EQ(Contents(log).find(std::string("\xEF\xBB\xBF") + "20"), 0u);
}

// Each /S counts a control once per PC, in the form its count is kept in; /U unregisters it only
// when nobody else counts it. A control in use is replaced, and the run asks for a restart.
TEST(EndToEnd, CountsSharedControlsAndReplacesOneInUse) {
    const fs::path app = App(L"shared", {L"Testuale.ocx", L"Binario.ocx"});
    fs::copy_file(g_sample, g_wow / L"Testuale.ocx");
    fs::copy_file(g_sample, g_wow / L"Binario.ocx");
    const std::string one("1\0\0\0", 4), two("2\0\0\0", 4);  // "1" and "2" in UTF-16, closed
    SetCount(L"Testuale.ocx", REG_SZ, one);
    SetCount(L"Binario.ocx", REG_BINARY, "\x03");
    EXPECT_EQ(Orvandi(app, app, L"/S").ExitCode(), 0u);
    EXPECT_EQ(Orvandi(app, app, L"/S").ExitCode(), 0u) << "a startup script runs at every boot";
    EXPECT_EQ(Stored(L"Testuale.ocx"), std::pair(DWORD{REG_SZ}, two));
    EXPECT_EQ(Stored(L"Binario.ocx"), std::pair(DWORD{REG_BINARY}, std::string("\x04")));
    EXPECT_EQ(Orvandi(app, app, L"/U /S").ExitCode(), 0u);
    EXPECT_EQ(Stored(L"Testuale.ocx"), std::pair(DWORD{REG_SZ}, one));
    EXPECT_EQ(Stored(L"Binario.ocx"), std::pair(DWORD{REG_BINARY}, std::string("\x03")));
    EXPECT_FALSE(Stored(kRecords, L"Testuale.ocx").first || Stored(kRecords, L"Binario.ocx").first);
    EXPECT_EQ(Record(L"Testuale.ocx", L"Unregistered"), L"(none)") << "others count it still";

    const fs::path used = App(L"used", {L"Usato.ocx"});
    fs::remove(used / L"OCX" / L"Usato.ocx");
    fs::copy_file(g_newer, used / L"OCX" / L"Usato.ocx");
    fs::copy_file(g_sample, g_wow / L"Usato.ocx");
    const HMODULE loaded = LoadLibraryW((g_wow / L"Usato.ocx").c_str());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(Orvandi(used, used, L"/S").ExitCode(), 3010u);
    EXPECT_TRUE(Contents(g_wow / L"Usato.ocx") == Contents(g_newer));
    EXPECT_NE(Record(L"Usato.ocx", L"Registered"), L"(none)");
    EXPECT_EQ(Count(L"Usato.ocx"), 2u) << "present and uncounted";
    FreeLibrary(loaded);
}

// Two packages count a shared control twice, and each uninstalls from its record alone.
// "Installed" says that a package's last install ended well for every control.
TEST(EndToEnd, PackagesShareAControlAndUninstallFromTheirRecord) {
    const fs::path a = App(L"pacchetto-a", {L"Comune.ocx"});
    const fs::path b = App(L"pacchetto-b", {L"Comune.ocx", L"Guasto.ocx"});
    const fs::path elsewhere = App(L"altrove", {});
    fs::remove(elsewhere / L"OCX");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvandi\\Packages");
    const auto installed = [](std::wstring package) {
        return Stored(L"SOFTWARE\\Orvandi\\Packages\\" + package, L"Installed").first == REG_SZ;
    };
    const wchar_t* accounts = L"/PACKAGE=\"Contabilit\u00e0 2\"";
    EXPECT_EQ(Orvandi(a, a, L"/S " + std::wstring(accounts)).ExitCode(), 0u);
    EXPECT_EQ(Orvandi(b, b, L"-s -package=Magazzino").ExitCode(), 1603u) << "Guasto fails";
    EXPECT_TRUE(installed(L"Contabilit\u00e0 2"));
    EXPECT_FALSE(installed(L"Magazzino"));
    fs::remove(b / L"OCX" / L"Guasto.ocx");
    EXPECT_EQ(Orvandi(b, b, L"/S /PACKAGE=MAGAZZINO").ExitCode(), 0u);
    EXPECT_TRUE(installed(L"Magazzino"));
    EXPECT_EQ(Count(L"Comune.ocx"), 2u);

    EXPECT_EQ(Orvandi(elsewhere, elsewhere, L"/U " + std::wstring(accounts)).ExitCode(), 0u);
    EXPECT_EQ(Count(L"Comune.ocx"), 1u);
    EXPECT_EQ(Record(L"Comune.ocx", L"Unregistered"), L"(none)") << "Magazzino still counts it";
    EXPECT_FALSE(installed(L"Contabilit\u00e0 2"));
    EXPECT_EQ(Orvandi(elsewhere, elsewhere, L"/U /PACKAGE=Magazzino").ExitCode(), 0u);
    EXPECT_EQ(Count(L"Comune.ocx"), 0u);
    EXPECT_EQ(Record(L"Comune.ocx", L"Unregistered"), g_label + L"\\Comune.ocx\n");
    HKEY left = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvandi\\Packages\\Magazzino", 0,
                            KEY_READ, &left),
              ERROR_SUCCESS);
}

// Why a control fails: the DLL that Windows does not find (not the API set) and its manifest's
// assemblies; a class registered for another file.
TEST(EndToEnd, SaysWhyAControlFailsAndChecksWhatItRegistered) {
    const fs::path app = App(L"why", {L"Altrove.ocx"});
    fs::remove(g_wow / L"Mancante.ocx");
    fs::copy_file(g_missing, app / L"OCX" / L"Mancante.ocx");
    const fs::path log = app / L"Orvandi.log";
    EXPECT_EQ(Orvandi(app, app, L"/S /LOG=\"" + log.wstring() + L"\"").ExitCode(), 1603u);
    const std::string text = Contents(log);
    for (const char* part :
         {"Mancante.ocx: copiato; regsvr32 3 (",
          "; mancano: OrvandiAssente.dll; assembly "
          "Orvandi.Assente 1.0.0.0 non trovato; assembly Microsoft.Windows.Common-Controls 6.0.0.0 "
          "trovato; durata ",
          "Campione {4F7A2C11-8B3E-4D5A-9C61-2E0B7D9A1F30} (registrata per un altro "
          "file: C:\\windows\\SYSTEM32\\Altro.ocx)"}) {
        EXPECT_NE(text.find(part), std::string::npos) << part << " in " << text;
    }
}

// The package's key tells how its last run ended; the kept copy's message table, the events'
// source by its literal path, shows each event's text (the events: see events.sh).
TEST(EndToEnd, EachRunLeavesItsResultWhereAdministratorsLook) {
    const fs::path app = App(L"esito", {L"Buono.ocx", L"Guasto.ocx"});
    const std::wstring key = L"SOFTWARE\\Orvandi\\Packages\\Esito";
    const auto value = [&key](const wchar_t* name) { return Stored(key, name).second; };
    EXPECT_EQ(Orvandi(app, app, L"/S /PACKAGE=Esito").ExitCode(), 1603u);
    EXPECT_EQ(value(L"LastExitCode"), std::string("\x43\x06\0\0", 4));
    EXPECT_EQ(value(L"FailedControls"), std::string("G\0u\0a\0s\0t\0o\0.\0o\0c\0x\0\0\0\0\0", 24));
    const std::string run = value(L"LastRun") + std::string(2, '\0');  // as "2026-12-07 15:01:34"
    EXPECT_TRUE(
        std::regex_match(reinterpret_cast<const wchar_t*>(run.data()),
                         std::wregex(L"20\\d\\d-[01]\\d-[0-3]\\d [0-2]\\d:[0-5]\\d:[0-5]\\d")));
    fs::remove(app / L"OCX" / L"Guasto.ocx");
    EXPECT_EQ(Orvandi(app, app, L"/S /PACKAGE=Esito").ExitCode(), 0u);
    EXPECT_EQ(value(L"LastExitCode"), std::string(4, '\0'));
    EXPECT_EQ(value(L"FailedControls"), std::string(4, '\0'));

    const std::string stored =
        Stored(L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Orvandi",
               L"EventMessageFile")
            .second +
        std::string(2, '\0');
    const std::wstring file = reinterpret_cast<const wchar_t*>(stored.data());
    EXPECT_EQ(file, _wgetenv(L"ProgramFiles(x86)") + std::wstring(L"\\Orvandi\\Orvandi.exe"));
    const HMODULE messages = LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(messages);
    for (const DWORD id : {0, 1, 2, 87, 1603, 1618, 1622, 3010}) {
        wchar_t text[64] = L"";
        const DWORD_PTR inserted[] = {reinterpret_cast<DWORD_PTR>(L"testo della riga")};
        FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, messages, id,
                       MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), text, 64,
                       reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(inserted)));
        EXPECT_EQ(std::wstring(text), L"testo della riga\r\n") << id;
    }
    FreeLibrary(messages);
}

// The kept copy checks a package without its content, changing nothing.
TEST(EndToEnd, ChecksAPackageFromTheKeptCopy) {
    const fs::path app = App(L"verifica", {L"Verifica.ocx"});
    fs::remove(app / L"OCX" / L"Verifica.ocx");
    fs::copy_file(g_newer, app / L"OCX" / L"Verifica.ocx");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvandi\\Packages\\Verifica");
    EXPECT_EQ(Orvandi(app, app, L"/S /PACKAGE=Verifica").ExitCode(), 0u);
    fs::remove_all(app);
    const fs::path kept = fs::path(_wgetenv(L"ProgramFiles(x86)")) / L"Orvandi";
    const fs::path copy = g_wow / L"Verifica.ocx", output = g_temp / L"verifica.txt";
    const auto check = [&](const std::wstring& package = L"Verifica") {
        return Orvandi(kept, g_temp, L"/CHECK /PACKAGE=" + package, nullptr, output).ExitCode();
    };
    const wchar_t* server = L"CLSID\\{4F7A2C11-8B3E-4D5A-9C61-2E0B7D9A1F30}\\InprocServer32";
    EXPECT_EQ(check(), 0u);
    EXPECT_EQ(Contents(output), "");
    fs::remove(copy);
    EXPECT_EQ(check(), 1u);
    EXPECT_EQ(Contents(output).rfind("Verifica.ocx: non si legge nella cartella di sistema", 0),
              0u);
    EXPECT_FALSE(fs::exists(copy)) << "a check repairs nothing";
    fs::copy_file(g_sample, copy);
    EXPECT_EQ(check(), 1u);
    EXPECT_EQ(
        Contents(output),
        "Verifica.ocx: versione 1.2.3.4, pi\xC3\xB9 bassa di quella installata (1.2.3.5)\r\n");
    fs::remove(copy);
    fs::copy_file(g_newer, copy);
    EXPECT_EQ(check(), 0u);
    RegDeleteKeyW(HKEY_CLASSES_ROOT, server);
    EXPECT_EQ(check(), 1u);
    HKEY gone = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CLASSES_ROOT, server, 0, KEY_READ, &gone), ERROR_SUCCESS);
    EXPECT_EQ(check(L"Sconosciuto"), 1605u);
}

// Attributes-only handles (any user may open them) on every file a run made keep no run out.
TEST(EndToEnd, HandlesOnTheRunsFilesKeepNoRunOut) {
    const fs::path app = App(L"maniglie", {L"Maniglia.ocx"});
    EXPECT_EQ(Orvandi(app, app, L"/S /PACKAGE=Maniglie").ExitCode(), 0u);
    const fs::path kept = fs::path(_wgetenv(L"ProgramFiles(x86)")) / L"Orvandi" / L"Orvandi.exe";
    std::vector<orvandi::FileHandle> held;
    for (const fs::path& file : {g_wow / L"Orvandi-in-corso.lock", g_wow / L"Maniglia.ocx", kept}) {
        held.emplace_back(CreateFileW(file.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_TRUE(held.back()) << file.string();
    }
    EXPECT_EQ(Orvandi(app, app, L"/S /PACKAGE=Maniglie").ExitCode(), 0u);
    EXPECT_EQ(Orvandi(app, app, L"/S /PACKAGE=Maniglie").ExitCode(), 0u);
}

// A log path through a link (a Unix one: Wine follows it as Windows would) is refused before
// anything is written; a log under the mount point Z:\tmp itself is taken.
TEST(EndToEnd, ALogPathThroughALinkIsRefused) {
    const fs::path app = App(L"collegamenti", {});
    for (const wchar_t* log :
         {L"Z:\\tmp\\orvandi-link\\Orvandi.log", L"Z:\\tmp\\orvandi-link\\sub\\Orvandi.log"}) {
        EXPECT_EQ(Orvandi(app, app, L"/U /PACKAGE=Nessuno /LOG=\"" + std::wstring(log) + L"\"")
                      .ExitCode(),
                  1622u)
            << fs::path(log).string();
    }
    EXPECT_TRUE(fs::is_empty(L"Z:\\tmp\\orvandi-target\\sub"));
    EXPECT_FALSE(fs::exists(L"Z:\\tmp\\orvandi-target\\Orvandi.log"));
    EXPECT_EQ(Orvandi(app, app, L"/U /PACKAGE=Nessuno /LOG=Z:\\tmp\\Orvandi.log").ExitCode(), 0u);
    EXPECT_NE(Contents(L"Z:\\tmp\\Orvandi.log").find("Nulla da disinstallare"), std::string::npos);
}

}  // namespace
