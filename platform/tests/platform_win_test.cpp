// The Win32 platform on real files, in a folder of each test's own under the temporary folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <tuple>

#include "platform/files_win.h"
#include "platform/platform_win.h"
#include "platform/tests/sample_image.h"

namespace orvandi {
namespace {

namespace fs = std::filesystem;
constexpr JobPlacement kOwn = JobPlacement::kOwnJob;

Text T(const fs::path& path) { return reinterpret_cast<const char16_t*>(path.c_str()); }

bool Write(const fs::path& path, const std::string& bytes) {
    return static_cast<bool>(std::ofstream(path, std::ios::binary) << bytes);
}

std::string Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A file opened with `access`, shared as `share`; a new one with CREATE_ALWAYS.
FileHandle Open(const fs::path& path, DWORD access, DWORD share = 0, DWORD how = OPEN_EXISTING) {
    return FileHandle(CreateFileW(path.c_str(), access, share, nullptr, how, 0, nullptr));
}

// The system folder as a 32-bit program sees it, or the real one (SysWOW64).
fs::path SystemFolder(UINT(WINAPI* get)(LPWSTR, UINT) = GetSystemDirectoryW) {
    wchar_t path[MAX_PATH];
    return std::wstring(path, get(path, MAX_PATH));
}

// The number of the Failure that `action` raised, or 0.
template <typename Action>
std::int32_t Raised(Action action) {
    try {
        action();
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.description, SystemMessage(failure.number)) << failure.number;
        return failure.number;
    }
    return 0;
}

class Win32PlatformTest : public testing::Test {
  protected:
    void SetUp() override { fs::create_directories(folder); }
    void TearDown() override {
        std::error_code error;  // a program started from here may still hold its file
        for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        fs::remove_all(folder, error);
    }
    const fs::path folder =
        fs::temp_directory_path() / testing::UnitTest::GetInstance()->current_test_info()->name();
    Win32Platform platform;
};

// Plain files whose long name matches, in any letter case; never hidden or system files,
// folders, or names that match only through their 8.3 short name.
TEST_F(Win32PlatformTest, ListsThePlainFilesWhoseLongNameMatches) {
    const DWORD folderBit = FILE_ATTRIBUTE_DIRECTORY;
    // clang-format off
    const std::pair<const wchar_t*, DWORD> files[] = {
        {L"plain.ocx", 0}, {L"readonly.ocx", FILE_ATTRIBUTE_READONLY}, {L"UPPER.OCX", 0},
        {L"hidden.ocx", FILE_ATTRIBUTE_HIDDEN}, {L"system.ocx", FILE_ATTRIBUTE_SYSTEM},
        {L"dir.ocx", folderBit}, {L"Old.ocx_bak", 0}, {L"Contr\u00f4le.ocx", 0}, {L"\u63a7 b.ocx", 0}};
    const std::pair<const wchar_t*, std::set<Text>> rows[] = {
        {L"*.ocx", {u"plain.ocx", u"readonly.ocx", u"UPPER.OCX", u"Contr\u00f4le.ocx", u"\u63a7 b.ocx"}},
        {L"CONTR\u00d4LE.OC?", {u"Contr\u00f4le.ocx"}},
        {L"missing\\*.ocx", {}}};
    // clang-format on
    for (const auto& [name, attributes] : files) {
        attributes == folderBit ? fs::create_directory(folder / name) : Write(folder / name, "x");
        SetFileAttributesW((folder / name).c_str(), attributes);
    }
    for (const auto& [pattern, names] : rows) {
        std::set<Text> listed;
        for (Text name = platform.ListFirst(T(folder / pattern), 0); !name.empty();
             name = platform.ListNext()) {
            listed.insert(name);
        }
        EXPECT_EQ(listed, names) << fs::path(pattern).string();
    }
}

// The copy is written from the source's own opening into a temporary file beside the destination,
// which then takes its name: the destination is the old file or the whole new one. Only the data
// goes, with the source's last-write time and never read-only; a read-only destination is
// replaced like any other, and stays read-only when it refuses to be (held open without sharing,
// a refusal answered rather than raised). No temporary file is left, and one that a run cut short
// left behind goes with the next copy into that folder.
TEST_F(Win32PlatformTest, CopiesTheDataWholeOrNotAtAll) {
    const std::string fresh(300000, 'n');
    const fs::path old = folder / L"old.ocx";
    Write(folder / L"~orvandi-cut-short.tmp", "left behind");
    // The source exists; the destination is held open without sharing, is read-only; the copy's
    // failure, and whether the destination refused it.
    const struct {
        bool source, held, readOnly;
        std::int32_t failure;
        bool refused;
    } rows[] = {{true, false, false, 0, false},
                {false, false, false, 2, false},
                {true, true, false, 5, true},
                {true, false, true, 0, false},
                {true, true, true, 5, true}};
    const FILETIME old2001{0x5B5A4000, 0x01C0F0F1};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.failure << " " << row.readOnly);
        SetFileAttributesW((folder / L"new.ocx").c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove(folder / L"new.ocx");
        if (row.source) {
            Write(folder / L"new.ocx", fresh);
            SetFileTime(Open(folder / L"new.ocx", FILE_WRITE_ATTRIBUTES).get(), nullptr, nullptr,
                        &old2001);
            SetFileAttributesW((folder / L"new.ocx").c_str(), FILE_ATTRIBUTE_READONLY);
        }
        SetFileAttributesW(old.c_str(), FILE_ATTRIBUTE_NORMAL);
        Write(old, "old");
        if (row.readOnly) SetFileAttributesW(old.c_str(), FILE_ATTRIBUTE_READONLY);
        FileHandle held = row.held ? Open(old, GENERIC_READ) : FileHandle();
        CopyResult copied;
        const std::int32_t raised =
            Raised([&] { copied = platform.OpenSource(T(folder / L"new.ocx"))->CopyTo(T(old)); });
        held.reset();
        EXPECT_EQ(copied.refused ? copied.refused->number : raised, row.failure);
        EXPECT_EQ(copied.refused.has_value(), row.refused);
        EXPECT_EQ(copied.wasReadOnly, row.readOnly && row.source);
        EXPECT_TRUE(Bytes(old) == (row.failure ? "old" : fresh));
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), row.source ? 2 : 1);
        WIN32_FILE_ATTRIBUTE_DATA copy;
        GetFileAttributesExW(old.c_str(), GetFileExInfoStandard, &copy);
        EXPECT_EQ((copy.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0,
                  row.readOnly && row.failure != 0);
        if (row.failure) continue;
        EXPECT_EQ(CompareFileTime(&copy.ftLastWriteTime, &old2001), 0);
    }
}

// The source stays open with read sharing only, so nobody can change it between its checks and
// its copy; a source that ends before its size (cut short on a share while it is copied) or that
// cannot be read fails the copy with Windows' number, never a short copy.
TEST_F(Win32PlatformTest, TheFileInspectedIsTheFileCopied) {
    Write(folder / L"source.ocx", std::string(100000, 's'));
    const std::unique_ptr<SourceFile> open = platform.OpenSource(T(folder / L"source.ocx"));
    EXPECT_FALSE(Open(folder / L"source.ocx", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));

    const FileHandle from = Open(folder / L"source.ocx", GENERIC_READ, FILE_SHARE_READ);
    const FileHandle unreadable =
        Open(folder / L"source.ocx", FILE_READ_ATTRIBUTES, FILE_SHARE_READ);
    const FileHandle to = Open(folder / L"copy.ocx", GENERIC_WRITE, 0, CREATE_ALWAYS);
    EXPECT_EQ(Raised([&] { CopyData(from.get(), to.get(), 200000); }), ERROR_HANDLE_EOF);
    EXPECT_EQ(Raised([&] { CopyData(unreadable.get(), to.get(), 10); }), ERROR_ACCESS_DENIED);
}

// What decides a copy, read from real files through the PE reader (which is tested on its own on
// every kind of file): the versions of the sample control's two builds, and whether two files
// hold the same bytes.
TEST_F(Win32PlatformTest, InspectReadsWhatTheCopyRulesNeed) {
    const auto inspect = [&](const wchar_t* source, const wchar_t* destination) {
        return platform.OpenSource(T(folder / source))->Inspect(T(folder / destination));
    };
    for (const wchar_t* name : {L"older.ocx", L"same.ocx", L"held.ocx"}) {
        fs::copy_file(SAMPLE_OCX, folder / name);
    }
    fs::copy_file(NEWER_OCX, folder / L"newer.ocx");
    const FileHandle held = Open(folder / L"held.ocx", GENERIC_READ);
    const std::optional<std::uint64_t> none, v4 = 0x0001000200030004, v5 = *v4 + 1;
    // As CopyFacts: a control, its version, the destination's, the same bytes, the destination
    // exists.
    using Facts =
        std::tuple<bool, std::optional<std::uint64_t>, std::optional<std::uint64_t>, bool, bool>;
    const std::tuple<const wchar_t*, Facts> rows[] = {
        {L"none.ocx", {true, v4, none, false, false}},
        {L"newer.ocx", {true, v4, v5, false, true}},
        {L"same.ocx", {true, v4, v4, true, true}},
        {L"held.ocx", {true, v4, none, false, true}},  // unreadable: replaced
    };
    for (const auto& [destination, expected] : rows) {
        const CopyFacts facts = inspect(L"older.ocx", destination);
        EXPECT_EQ(Facts(facts.sourceIsControl, facts.sourceVersion, facts.destinationVersion,
                        facts.sameBytes, facts.destinationExists),
                  expected)
            << fs::path(destination).string();
    }
    EXPECT_EQ(Raised([&] { inspect(L"held.ocx", L"none.ocx"); }), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(Raised([&] { inspect(L"none.ocx", L"older.ocx"); }), ERROR_FILE_NOT_FOUND);
}

// Programs come from the system folder only: never from PATH (nor the program's own folder: see
// the end-to-end test). Waited for, a program gives its exit code; past the time allowed it is
// ended at once with all it started ("Lento" takes 3 s to register; "Figlio" starts a program
// and records its id, then waits).
TEST_F(Win32PlatformTest, StartsProgramsFromTheSystemFolderAndEndsThemWithAllTheyStarted) {
    fs::remove(folder / L"orvandi-cmd.exe");  // TearDown may not remove it while it still runs
    fs::copy_file(SystemFolder() / L"cmd.exe", folder / L"orvandi-cmd.exe");
    fs::copy_file(SAMPLE_OCX, folder / L"Lento.ocx");
    fs::copy_file(SAMPLE_OCX, folder / L"Figlio.ocx");
    const Text path = platform.GetEnvironment(u"PATH");
    SetEnvironmentVariableW(L"PATH", (L".;" + folder.wstring()).c_str());
    EXPECT_EQ(Raised([&] { platform.RunAndWait(u"orvandi-cmd /c exit 5", 60000, kOwn); }),
              ERROR_FILE_NOT_FOUND);
    SetEnvironmentVariableW(L"PATH", reinterpret_cast<const wchar_t*>(path.c_str()));
    const Finished exited = platform.RunAndWait(u"cmd /c exit 5", 60000, JobPlacement::kAlone);
    EXPECT_TRUE(exited.ending == Ending::kExited && exited.exitCode == 5) << exited.exitCode;
    EXPECT_EQ(Raised([&] { platform.Launch(u"orvandi-none /s x.ocx", 2); }), ERROR_FILE_NOT_FOUND);

    const DWORD start = GetTickCount();
    EXPECT_EQ(
        platform.RunAndWait(u"regsvr32 /s \"" + T(folder / L"Lento.ocx") + u"\"", 500, kOwn).ending,
        Ending::kEndedAtTimeout);
    EXPECT_LT(GetTickCount() - start, 2000u) << "waited for it to end by itself";

    EXPECT_EQ(platform.RunAndWait(u"regsvr32 /s \"" + T(folder / L"Figlio.ocx") + u"\"", 6000, kOwn)
                  .ending,
              Ending::kEndedAtTimeout);
    DWORD child = 0, size = sizeof child;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\OrvandiSamples\\Figlio.ocx", L"Child",
                           RRF_RT_REG_DWORD, nullptr, &child, &size),
              ERROR_SUCCESS);
    const KernelHandle started(OpenProcess(SYNCHRONIZE, FALSE, child));
    EXPECT_TRUE(!started || WaitForSingleObject(started.get(), 10000) == WAIT_OBJECT_0)
        << "what the registration started still runs";
}

// A control loaded by a program (this test), a read-only one here, cannot be replaced, but it can
// be set aside in its folder: the new copy then takes its name, and the old one is deleted at the
// restart by Windows' session manager, which reads its real path at boot (SysWOW64 where a 32-bit
// program sees System32). Who holds it is asked of the Restart Manager, which under Wine names
// nobody.
TEST_F(Win32PlatformTest, AControlInUseIsSetAsideAndDeletedAtTheRestart) {
    const fs::path copy = SystemFolder() / L"Trattenuto.ocx";
    const std::wstring real = SystemFolder(GetSystemWow64DirectoryW);
    SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove(copy);
    fs::copy_file(SAMPLE_OCX, copy);
    SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_READONLY);
    fs::copy_file(NEWER_OCX, folder / L"new.ocx");
    const HMODULE loaded = LoadLibraryW(copy.c_str());
    ASSERT_TRUE(loaded);
    const auto place = [&] { return platform.OpenSource(T(folder / L"new.ocx"))->CopyTo(T(copy)); };
    EXPECT_EQ(place().refused.value_or(Failure{0, {}}).number, ERROR_ACCESS_DENIED);
    EXPECT_TRUE(platform.Holders(T(copy)).has_value());
    const Text aside = platform.SetAside(T(copy));
    EXPECT_FALSE(place().refused);
    EXPECT_TRUE(Bytes(copy) == Bytes(NEWER_OCX));
    platform.DeleteAtRestart(aside);
    // A read-only file would stay: the session manager could not delete it at boot.
    const auto* asideName = reinterpret_cast<const wchar_t*>(aside.c_str());
    EXPECT_FALSE(GetFileAttributesW(asideName) & FILE_ATTRIBUTE_READONLY);

    wchar_t pending[32768] = L"";
    DWORD size = sizeof pending - sizeof(wchar_t);
    RegGetValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                 L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, pending, &size);
    const std::wstring expected =
        L"\\??\\" + real + L"\\" + fs::path(T(aside).substr(T(aside).rfind(u'\\') + 1)).wstring();
    bool found = false;
    for (const wchar_t* entry = pending; *entry != L'\0'; entry += wcslen(entry) + 1) {
        found = found || lstrcmpiW(entry, expected.c_str()) == 0;
    }
    EXPECT_TRUE(found) << fs::path(expected).string();
    FreeLibrary(loaded);
    DeleteFileW(asideName);
}

// What a control needs to load, read from the file without loading it: a control built in
// memory (imports, delay-loaded imports, a manifest), and the sample control that imports a DLL
// that does not exist and an API set. Whether Windows finds an assembly, and the KnownDLLs as
// the registry lists them.
TEST_F(Win32PlatformTest, ReadsWhatAControlNeedsWithoutLoadingIt) {
    Write(folder / L"built.ocx", Control());
    const Dependencies built = platform.ReadDependencies(T(folder / L"built.ocx"));
    EXPECT_EQ(built.imports, (std::vector<Text>{u"KERNEL32.dll", u"OLEAUT32.dll"}));
    EXPECT_EQ(built.delayed, (std::vector<Text>{u"COMDLG32.dll", u"MSVBVM60.DLL"}));
    EXPECT_EQ(built.manifest, u"<assembly/>");
    const Dependencies missing = platform.ReadDependencies(T(MISSING_OCX));
    ASSERT_TRUE(missing.imports);
    for (const Text dll :
         {u"KERNEL32.dll", u"api-ms-win-core-orvandi-l1-1-0.dll", u"OrvandiAssente.dll"}) {
        EXPECT_NE(std::find(missing.imports->begin(), missing.imports->end(), dll),
                  missing.imports->end());
    }
    EXPECT_NE(missing.manifest.find(u"name=\"Orvandi.Assente\""), Text::npos);

    EXPECT_FALSE(platform.FindsAssembly(
        u" type=\"win32\" name=\"Orvandi.Assente\" version=\"1.0.0.0\" "
        u"processorArchitecture=\"x86\" publicKeyToken=\"0000000000000000\""));
    EXPECT_TRUE(platform.FindsAssembly(
        u" type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" "
        u"processorArchitecture=\"x86\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\""));

    const wchar_t* known = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs";
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, known, L"orvprova", REG_SZ, L"orvprova.dll", 26);
    const std::vector<Text> dlls = platform.KnownDlls();
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, known, L"orvprova");
    EXPECT_NE(std::find(dlls.begin(), dlls.end(), u"orvprova.dll"), dlls.end());
}

// What a control registered: its type library, read without registering anything; the file each
// class is registered to for the machine ("Altrove" registers its class to Altro.ocx beside it)
// and for each loaded user; and files compared by identity, whatever their names.
TEST_F(Win32PlatformTest, ReadsWhatAControlRegistered) {
    const Text clsid = u"{4F7A2C11-8B3E-4D5A-9C61-2E0B7D9A1F30}";
    fs::copy_file(SAMPLE_OCX, folder / L"Altrove.ocx");
    Write(folder / L"text.ocx", "MZ text");
    const std::optional<TypeLibrary> library = platform.ReadTypeLibrary(T(folder / L"Altrove.ocx"));
    ASSERT_TRUE(library);
    EXPECT_EQ(std::tuple(library->libid, library->major, library->minor),
              std::tuple(Text(u"{4F7A2C10-8B3E-4D5A-9C61-2E0B7D9A1F30}"), 1, 0));
    ASSERT_EQ(library->classes.size(), 2u);
    EXPECT_EQ(std::tuple(library->classes[0].clsid, library->classes[0].name,
                         library->classes[0].creatable, library->classes[1].creatable),
              std::tuple(clsid, Text(u"Campione"), true, false));
    HKEY registered = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"TypeLib\\{4F7A2C10-8B3E-4D5A-9C61-2E0B7D9A1F30}",
                            0, KEY_READ, &registered),
              ERROR_SUCCESS)
        << "reading registered the type library";
    const KeyHandle closed(registered);
    EXPECT_FALSE(platform.ReadTypeLibrary(T(folder / L"text.ocx")));

    ASSERT_EQ(
        platform.RunAndWait(u"regsvr32 /s \"" + T(folder / L"Altrove.ocx") + u"\"", 60000, kOwn)
            .exitCode,
        0u);
    // A class Windows Installer advertises has its descriptor beside the file.
    const std::wstring server = L"SOFTWARE\\Classes\\CLSID\\" +
                                std::wstring(clsid.begin(), clsid.end()) + L"\\InprocServer32";
    EXPECT_FALSE(platform.MachineServer(clsid).value_or(ClassServer{u"", true}).advertised);
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, server.c_str(), L"InprocServer32", REG_MULTI_SZ, L"d\0", 6);
    const std::optional<ClassServer> machine = platform.MachineServer(clsid);
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, server.c_str(), L"InprocServer32");
    EXPECT_TRUE(machine && machine->file == T(folder / L"Altro.ocx") && machine->advertised);
    const std::wstring own =
        L"Software\\Classes\\CLSID\\" + std::wstring(clsid.begin(), clsid.end());
    RegSetKeyValueW(HKEY_CURRENT_USER, (own + L"\\InprocServer32").c_str(), nullptr, REG_SZ,
                    L"C:\\Utente\\Campione.ocx", 46);
    const std::vector<UserServer> users = platform.UserServers(clsid);
    RegDeleteTreeW(HKEY_CURRENT_USER, own.c_str());
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0].file, u"C:\\Utente\\Campione.ocx");
    EXPECT_EQ(users[0].sid.compare(0, 8, u"S-1-5-21"), 0) << fs::path(T(users[0].sid)).string();

    wchar_t shortName[MAX_PATH];
    const fs::path copy = SystemFolder() / L"Orvandi identit\u00e0.ocx";
    fs::remove(copy);
    fs::copy_file(SAMPLE_OCX, copy);
    const fs::path real = SystemFolder(GetSystemWow64DirectoryW) / copy.filename();
    GetShortPathNameW(copy.c_str(), shortName, MAX_PATH);
    EXPECT_TRUE(platform.SameFile(T(copy), T(real)));
    EXPECT_TRUE(platform.SameFile(T(shortName), T(copy))) << fs::path(shortName).string();
    EXPECT_FALSE(platform.SameFile(T(copy), T(folder / L"Altrove.ocx")));
    EXPECT_FALSE(platform.SameFile(T(folder / L"none.ocx"), T(folder / L"none.ocx")));
    fs::remove(copy);
}

// A log is appended to, in UTF-8 (one unattended run at a time: see the end-to-end test). Where
// anyone may create files, its name may have been taken first: a folder, a link to elsewhere or a
// second name of another file are refused, and left as they were.
TEST_F(Win32PlatformTest, LogsAreAppendedInUtf8ToAPlainFileOnly) {
    for (const Text line : {u"\u00e0\r\n", u"b"}) {
        Win32Platform run;
        run.OpenLog(T(folder / L"a.log"));
        run.WriteLog(line);
    }
    EXPECT_EQ(Bytes(folder / L"a.log"), "\xEF\xBB\xBF\xC3\xA0\r\nb");
    fs::create_directory(folder / L"folder.log");
    ASSERT_TRUE(
        CreateHardLinkW((folder / L"second.log").c_str(), (folder / L"a.log").c_str(), nullptr));
    const std::pair<const wchar_t*, std::int32_t> rows[] = {
        {L"none\\a.log", ERROR_PATH_NOT_FOUND},
        {L"folder.log", ERROR_ACCESS_DENIED},
        {L"second.log", ERROR_CANT_ACCESS_FILE},
    };
    for (const auto& [name, failure] : rows) {
        EXPECT_EQ(Raised([&] { Win32Platform().OpenLog(T(folder / name)); }), failure)
            << fs::path(name).string();
    }
    EXPECT_EQ(Bytes(folder / L"a.log"), "\xEF\xBB\xBF\xC3\xA0\r\nb");

    // A log past its limit is moved aside, over an older one, for a new one; it stays where a
    // folder has its new name, or a viewer holds it without letting it be deleted.
    // A log past its limit stays where a folder has the name it would take, or a viewer holds it
    // without letting it be deleted (a log moved aside: see the end-to-end test).
    Write(folder / L"beside.log", "its .1 is a folder");
    fs::create_directory(folder / L"beside.log.1");
    Write(folder / L"viewed.log", "held by a viewer");
    for (const auto& [name, viewed] : {std::pair{L"beside.log", false}, {L"viewed.log", true}}) {
        const fs::path log = folder / name;
        const std::string before = Bytes(log);
        const FileHandle viewer =
            viewed ? Open(log, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE) : FileHandle();
        Win32Platform run;
        run.OpenLog(T(log));
        run.RotateLog(3);
        run.WriteLog(u"c");
        EXPECT_EQ(Bytes(log), before + "c") << log.string();
    }
}

// What only a process of its own can show (platform_child.cpp). A fault that would end an
// unattended run ends it with the run's own exit code, after its handler has written what it
// could: an in-page error (what a program started from a share meets when the network drops),
// terminate, abort. Such a run shows no box for a fault, a drive without a disk or a file it
// cannot open, and msvcrt reports abort on standard error (Wine shows no abort box: the modes are
// read back). A program to be broken away from a job that allows no breakaway is not placed
// (Ending 3) and does not run; once the job allows it, it runs.
TEST_F(Win32PlatformTest, WhatOnlyAProcessOfItsOwnCanShow) {
    const std::tuple<const wchar_t*, DWORD, std::string> rows[] = {
        {L"in-page", 1603, "eccezione 0xC0000006\n"},
        {L"terminate", 1603, "terminate\n"},
        {L"abort", 1603, "abort\n"},
        {L"modes", 0, "32771 1"},  // 0x8003: no box for a drive, a fault, a file; on stderr
        {L"breakaway", 0, "3 0\n0 5\n"},
    };
    for (const auto& [task, exitCode, logged] : rows) {
        const fs::path log = folder / (std::wstring(task) + L".log");
        std::wstring line = L"platform_child \"" + log.wstring() + L"\" " + task;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        ASSERT_TRUE(CreateProcessW(PLATFORM_CHILD, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &started));
        const KernelHandle process(started.hProcess), thread(started.hThread);
        DWORD code = 0;
        WaitForSingleObject(process.get(), 60000);
        GetExitCodeProcess(process.get(), &code);
        EXPECT_EQ(code, exitCode) << fs::path(task).string();
        EXPECT_EQ(Bytes(log), "\xEF\xBB\xBF" + logged) << fs::path(task).string();
    }
}

// The environment, messages, letters of any alphabet, and names compared as Windows compares
// file and registry names.
TEST_F(Win32PlatformTest, EnvironmentMessagesLettersAndNames) {
    for (const auto& [c, letter] : {std::pair{u'\u00e0', true},
                                    {u'\u03a9', true},
                                    {u'\u6f22', true},
                                    {u'1', false},
                                    {u'\u20ac', false},
                                    {u'\u2028', false}}) {
        EXPECT_EQ(platform.IsLetter(c), letter) << static_cast<int>(c);
    }
    EXPECT_TRUE(platform.SameName(u"Contr\u00f4le.OCX", u"CONTR\u00d4LE.ocx"));

    const std::wstring longValue(300, L'v');  // past the first buffer
    for (const wchar_t* value : {L"C:\\a b", L"", longValue.c_str()}) {
        SetEnvironmentVariableW(L"ORVANDI_VALUE", value);
        EXPECT_EQ(platform.GetEnvironment(u"ORVANDI_VALUE"), T(value));
    }
    EXPECT_EQ(platform.GetEnvironment(u"ORVANDI_UNSET"), u"");

    wchar_t raw[256] = L"";
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, raw, 256, nullptr);
    EXPECT_EQ(SystemMessage(ERROR_ACCESS_DENIED) + u"\r\n", T(raw));

    // A message box for an owner that is no window fails at once, with the system's error.
    platform.SetOwner(reinterpret_cast<HWND>(0x12345));
    EXPECT_EQ(Raised([&] { platform.ShowMessage(u"text"); }), ERROR_INVALID_WINDOW_HANDLE);
}

}  // namespace
}  // namespace orvandi
