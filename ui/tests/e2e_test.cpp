// The release Orvandi.exe as shipped, driven from another process as a person would, registering
// sample controls with the system's own 32-bit regsvr32. Built with the paths of the release, of
// the sample control in its two versions and of a regsvr32.exe to plant (see CMakeLists.txt).
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>

#include "platform/handles_win.h"
#include "ui/resource.h"

namespace {

namespace fs = std::filesystem;
const fs::path g_orvandi = ORVANDI_EXE, g_sample = SAMPLE_OCX, g_newer = NEWER_OCX,
               g_missing = MISSING_OCX, g_planted = PLANTED_EXE, g_temp = fs::temp_directory_path();
const fs::path g_full = "/tmp/orvandi-full";  // its OCX folder holds 32768 .ocx files

fs::path SystemFolder(UINT(WINAPI* get)(LPWSTR, UINT)) {
    wchar_t path[MAX_PATH];
    return std::wstring(path, get(path, MAX_PATH));
}
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
std::string Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
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

// A control's shared count as installers keep it (its name as this program writes it), and this
// program's record of it; a count of 0 is no count.
constexpr wchar_t kCounts[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
constexpr wchar_t kRecords[] = L"SOFTWARE\\Orvandi\\Controls";
// A count as it is stored (installers keep it as a number, as text or as bytes): its type and
// bytes, or 0 and nothing when there is none.
std::pair<DWORD, std::string> Stored(const std::wstring& name) {
    char bytes[64];
    DWORD type = 0, size = sizeof bytes;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kCounts, (g_label + L"\\" + name).c_str(),
                     RRF_RT_ANY | RRF_NOEXPAND, &type, bytes, &size) != ERROR_SUCCESS) {
        return {0, ""};
    }
    return {type, std::string(bytes, size)};
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
bool Recorded(const std::wstring& name, const std::wstring& key = kRecords) {
    return RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr,
                        nullptr, nullptr) == ERROR_SUCCESS;
}

// A fresh application folder: Orvandi.exe, and the sample control in its OCX folder under each
// name, with no copy of it in the system folder and nothing recorded or counted.
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
// one is named, with its output (and its error output, where Wine writes its debug channels) in
// files when they are given. Closing its window ends it.
struct Orvandi {
    Orvandi(const fs::path& folder, const fs::path& current, const std::wstring& arguments = L"",
            const wchar_t* desktop = nullptr, const fs::path& output = {},
            const fs::path& errors = {}) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        std::wstring station = desktop != nullptr ? desktop : L"";
        startup.lpDesktop = desktop != nullptr ? station.data() : nullptr;
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        const orvandi::FileHandle out(CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                                  &inherited, CREATE_ALWAYS, 0, nullptr));
        const orvandi::FileHandle err(CreateFileW(errors.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                                  &inherited, CREATE_ALWAYS, 0, nullptr));
        startup.dwFlags = out || err ? STARTF_USESTDHANDLES : 0;
        startup.hStdOutput = out.get();
        startup.hStdError = err.get();
        PROCESS_INFORMATION started{};
        std::wstring line = L"\"" + (folder / L"Orvandi.exe").wstring() + L"\" " + arguments;
        EXPECT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, out || err, 0, nullptr,
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

// Marks everything and runs with the keyboard alone; the real regsvr32 registers each copy. A newer
// copy in the system folder stays, an identical one in use counts as done, and a file that is no
// control goes nowhere.
TEST(EndToEnd, RegistersEveryControlWithTheKeyboardAlone) {
    const std::vector<std::wstring> names = {L"Alfa.ocx", L"My Control.ocx", L"Contr\u00f4le.ocx",
                                             L"Recente.ocx", L"Aperto.ocx"};
    const fs::path app = App(L"e2e", names), wow = g_wow;
    fs::create_directories(app / L"current");
    std::ofstream(app / L"OCX" / L"Testo.ocx") << "not a control";
    fs::remove(wow / L"Testo.ocx");
    fs::copy_file(g_newer, wow / L"Recente.ocx");
    fs::copy_file(g_sample, wow / L"Aperto.ocx");
    const orvandi::FileHandle held(CreateFileW((wow / L"Aperto.ocx").c_str(), GENERIC_READ,
                                               FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                               nullptr));
    // Beside the program, a regsvr32.exe that must never run (in its current folder too) and
    // DLLs that a window loads, which must never load from there (Wine searches like Windows).
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

    // Each copy is where a 64-bit program sees the 32-bit system folder, and only there; the
    // 32-bit regsvr32 registered it by the path the window shows, started as the program asks.
    for (const auto& name : names) {
        SCOPED_TRACE(fs::path(name).string());
        WaitUntil([&] { return Record(name, L"Registered") != L"(none)"; });
        EXPECT_TRUE(Bytes(wow / name) == Bytes(name == L"Recente.ocx" ? g_newer : g_sample));
        EXPECT_FALSE(fs::exists(g_system.parent_path() / L"sysnative" / name));
        EXPECT_EQ(Record(name, L"Registered"), g_label + L"\\" + name + L" | " +
                                                   (wow / L"regsvr32.exe").wstring() + L" | " +
                                                   g_system.wstring() + L" | 2\n");
    }
    EXPECT_EQ(Record(L"regsvr32.exe", L"Planted"), L"(none)") << "the planted regsvr32 ran";
    for (std::wstring dll : dlls) EXPECT_EQ(Record(dll + L".dll", L"Loaded"), L"(none)") << dll;
}

// A folder of more than 32767 files: loading reports the overflow in one message, then the
// window opens with the first 32767 entries and the system folder already shown.
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

// Started by a deployment system: switches ("/" or "-"), no window, regsvr32 waited for, an exit
// code and a log. "Guasto" fails to register, and "Lento" registers until the test lets it go
// (see sample_control.cpp).
TEST(EndToEnd, InstallsAndUninstallsUnattended) {
    const fs::path app = App(L"unattended", {L"Buono.ocx", L"Guasto.ocx", L"Lento.ocx"});
    const fs::path log = app / L"log e altro" / L"Orvandi.log";
    fs::create_directories(log.parent_path());
    const std::wstring logSwitch = L"/LOG=\"" + log.wstring() + L"\"";

    EXPECT_EQ(Orvandi(app, app, L"/S /X " + logSwitch).ExitCode(), 87u);
    EXPECT_FALSE(fs::exists(log)) << "a bad command line does nothing";
    // The help, whatever else the line holds, on an output redirected to a file (UTF-8).
    EXPECT_EQ(Orvandi(app, app, L"/S /? " + logSwitch, nullptr, app / L"aiuto.txt").ExitCode(), 0u);
    EXPECT_NE(Bytes(app / L"aiuto.txt").find("  1618  un'altra installazione di Orvandi \xC3\xA8"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(log)) << "the help does nothing else";
    // On a window station nobody sees (a service's, say) a window would wait for ever: the
    // program ends at once instead. (Wine makes the station on demand.)
    EXPECT_EQ(Orvandi(app, app, L"", L"OrvandiHidden\\Default").ExitCode(), 87u);

    // One run at a time. A run that a deployment system ends (at its own time limit, say) takes
    // with it the regsvr32 it waits for, and leaves nothing that keeps the next run out.
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
    const std::string text = Bytes(log);
    for (const char* line : {"Buono.ocx: copiato; regsvr32 0 (registrato); libreria dei tipi",
                             "Guasto.ocx: copiato; regsvr32 5 ("}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << " in " << text;
    }

    // Every line starts with the time it was written. A log past 1 MiB is moved aside for a new
    // one, before the run's first line.
    const std::regex unstamped(
        "(^|\n)(?!20[0-9]{2}-[01][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9] )[^\n]");
    EXPECT_FALSE(std::regex_search(text.substr(3), unstamped)) << text;
    const std::string full = Bytes(log) + std::string(1048576, 'x');
    std::ofstream(log, std::ios::binary) << full;
    fs::remove(app / L"OCX" / L"Guasto.ocx");
    fs::remove(app / L"OCX" / L"Lento.ocx");
    EXPECT_EQ(Orvandi(app, app, L"/S " + logSwitch).ExitCode(), 0u);
    EXPECT_TRUE(Bytes(log.wstring() + L".1") == full);
    EXPECT_EQ(Bytes(log).find("\xEF\xBB\xBF"
                              "20"),
              0u);
}

// Controls are shared. Each /S counts a control once per PC, in the form its count is kept in
// ("Testuale" is counted as text by another installer, "Binario" as a byte), and /U unregisters it
// only when no other program counts it any more. A control loaded by a running program ("Usato",
// loaded by this test) is replaced all the same, and the run asks for a restart; a read-only one
// ("Fisso") is simply replaced.
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
    EXPECT_FALSE(Recorded(L"Testuale.ocx") || Recorded(L"Binario.ocx"));
    EXPECT_EQ(Record(L"Testuale.ocx", L"Unregistered"), L"(none)") << "others count it still";

    const fs::path used = App(L"used", {L"Usato.ocx", L"Fisso.ocx"});
    for (const wchar_t* name : {L"Usato.ocx", L"Fisso.ocx"}) {
        fs::remove(used / L"OCX" / name);
        fs::copy_file(g_newer, used / L"OCX" / name);
        fs::copy_file(g_sample, g_wow / name);
    }
    SetFileAttributesW((g_wow / L"Fisso.ocx").c_str(), FILE_ATTRIBUTE_READONLY);
    const HMODULE loaded = LoadLibraryW((g_wow / L"Usato.ocx").c_str());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(Orvandi(used, used, L"/S").ExitCode(), 3010u);
    EXPECT_TRUE(Bytes(g_wow / L"Usato.ocx") == Bytes(g_newer));
    EXPECT_NE(Record(L"Usato.ocx", L"Registered"), L"(none)");
    EXPECT_EQ(Count(L"Usato.ocx"), 2u) << "present and uncounted";
    FreeLibrary(loaded);
    EXPECT_TRUE(Bytes(g_wow / L"Fisso.ocx") == Bytes(g_newer));
    EXPECT_EQ(GetFileAttributesW((g_wow / L"Fisso.ocx").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    for (const auto& entry : fs::directory_iterator(g_wow)) {  // nothing set aside for a restart
        EXPECT_NE(entry.path().filename().wstring().rfind(L"Fisso.ocx.", 0), 0u);
    }
}

// Packages: two that ship one control count it twice, so the uninstall of one leaves it
// registered for the other. "Installed" says that a package's last install ended well for every
// control. A named package uninstalls from its record, started from a folder without any OCX.
TEST(EndToEnd, PackagesShareAControlAndUninstallFromTheirRecord) {
    const fs::path a = App(L"pacchetto-a", {L"Comune.ocx"});
    const fs::path b = App(L"pacchetto-b", {L"Comune.ocx", L"Guasto.ocx"});
    const fs::path elsewhere = App(L"altrove", {});
    fs::remove(elsewhere / L"OCX");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvandi\\Packages");
    const auto installed = [](std::wstring package) {
        return Recorded(L"Installed", L"SOFTWARE\\Orvandi\\Packages\\" + package);
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

// Why a control fails: sample_missing imports a DLL that does not exist, so Windows cannot load it
// (regsvr32 3), and the log names that DLL (not the API set it imports too) and the assemblies its
// manifest names. "Altrove" registers, but its class for another file: the PC would keep using
// that one, and the entry fails.
TEST(EndToEnd, SaysWhyAControlFailsAndChecksWhatItRegistered) {
    const fs::path app = App(L"why", {L"Altrove.ocx"});
    fs::remove(g_wow / L"Mancante.ocx");
    fs::copy_file(g_missing, app / L"OCX" / L"Mancante.ocx");
    const fs::path log = app / L"Orvandi.log";
    EXPECT_EQ(Orvandi(app, app, L"/S /LOG=\"" + log.wstring() + L"\"").ExitCode(), 1603u);
    // What only the real system shows: what Windows does not find (not the API set), and the
    // file the class was registered to.
    const std::string text = Bytes(log);
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

// Where an administrator looks: the package's key tells how its last run ended and which controls
// failed, and the message table of the program's kept copy, named by its literal path as the
// source of the Application events (see events.sh), shows each event's text, whatever its ID.
TEST(EndToEnd, EachRunLeavesItsResultWhereAdministratorsLook) {
    const fs::path app = App(L"esito", {L"Buono.ocx", L"Guasto.ocx"});
    const std::wstring key = L"SOFTWARE\\Orvandi\\Packages\\Esito";
    const auto value = [&key](const wchar_t* name) {
        char bytes[512] = {};
        DWORD size = sizeof bytes;
        return RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, RRF_RT_ANY, nullptr, bytes,
                            &size) == ERROR_SUCCESS
                   ? std::string(bytes, size)
                   : std::string("(none)");
    };
    EXPECT_EQ(Orvandi(app, app, L"/S /PACKAGE=Esito").ExitCode(), 1603u);
    EXPECT_EQ(value(L"LastExitCode"), std::string("\x43\x06\0\0", 4));
    EXPECT_EQ(value(L"FailedControls"), std::string("G\0u\0a\0s\0t\0o\0.\0o\0c\0x\0\0\0\0\0", 24));
    const std::string run = value(L"LastRun");  // as "2026-12-07 15:01:34" in UTF-16, closed
    EXPECT_TRUE(
        std::regex_match(
            std::wstring(reinterpret_cast<const wchar_t*>(run.data()), 19),
            std::wregex(L"20[0-9]{2}-[01][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]")) &&
        run.size() == 40);
    fs::remove(app / L"OCX" / L"Guasto.ocx");
    EXPECT_EQ(Orvandi(app, app, L"/S /PACKAGE=Esito").ExitCode(), 0u);
    EXPECT_EQ(value(L"LastExitCode"), std::string(4, '\0'));
    EXPECT_EQ(value(L"FailedControls"), std::string(4, '\0'));

    wchar_t file[MAX_PATH] = L"";
    DWORD size = sizeof file;
    RegGetValueW(HKEY_LOCAL_MACHINE,
                 L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Orvandi",
                 L"EventMessageFile", RRF_RT_REG_SZ, nullptr, file, &size);
    EXPECT_EQ(std::wstring(file),
              _wgetenv(L"ProgramFiles(x86)") + std::wstring(L"\\Orvandi\\Orvandi.exe"));
    const HMODULE messages = LoadLibraryExW(file, nullptr, LOAD_LIBRARY_AS_DATAFILE);
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

// The kept copy checks a package without its content, changing nothing: 0 as installed, then 1
// after each kind of drift, and 1605 for a package the PC never had.
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
    EXPECT_EQ(Bytes(output), "");
    fs::remove(copy);
    EXPECT_EQ(check(), 1u);
    EXPECT_EQ(Bytes(output).rfind("Verifica.ocx: non si legge nella cartella di sistema", 0), 0u);
    EXPECT_FALSE(fs::exists(copy)) << "a check repairs nothing";
    fs::copy_file(g_sample, copy);
    EXPECT_EQ(check(), 1u);
    EXPECT_EQ(
        Bytes(output),
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

// Another program's handle that only reads attributes (which a user who may list a folder can
// open, whatever sharing the file allows), on every file a run made in the system and program
// folders, keeps no later run out.
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

// A log whose path goes through a link, at its folder or one folder higher, is refused before
// anything is written, at the link's target least of all; a log under Z:\tmp itself is taken.
// (The links are Unix symbolic links, made before the test: Wine follows them as Windows follows
// a link, and cannot make junctions.)
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
    EXPECT_NE(Bytes(L"Z:\\tmp\\Orvandi.log").find("Nulla da disinstallare"), std::string::npos);
}

}  // namespace
