// Files: listings, controls inspected and copied, what they carry, a control in use set aside.
#include <optional>
#include <set>
#include <tuple>

#include "platform/files_win.h"
#include "platform/tests/platform_test.h"

namespace orvandi {
namespace {

class FilesTest : public PlatformTest {
  protected:
    // The control at `source`, opened once and copied to, or inspected against, a destination.
    Result<CopyResult> Copy(const fs::path& source, const fs::path& destination) {
        const auto opened = run.files.OpenSource(T(folder / source));
        return opened ? (*opened)->CopyTo(T(folder / destination)) : opened.failure();
    }
    Result<CopyFacts> Inspect(const fs::path& source, const fs::path& destination) {
        const auto opened = run.files.OpenSource(T(folder / source));
        return opened ? (*opened)->Inspect(T(folder / destination)) : opened.failure();
    }
};

// Plain files whose long name matches in any case: no hidden or system files, folders, 8.3 names.
TEST_F(FilesTest, ListsThePlainFilesWhoseLongNameMatches) {
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
        for (Result<Text> name = run.files.ListFirst(T(folder / pattern), 0);
             name && !name->empty(); name = run.files.ListNext()) {
            listed.insert(*name);
        }
        EXPECT_EQ(listed, names) << fs::path(pattern).string();
    }
}

// The destination is the old file or the whole new one, with the source's data and last-write
// time, never read-only. A read-only destination is replaced, or stays read-only when it refuses
// (a refusal answered, not failed). No temporary file stays, nor one a run cut short left.
TEST_F(FilesTest, CopiesTheDataWholeOrNotAtAll) {
    const std::string fresh(300000, 'n');
    const fs::path old = folder / L"old.ocx", source = folder / L"new.ocx";
    Write(folder / L"~orvandi-cut-short.tmp", "left behind");
    // Source exists; destination held without sharing, read-only; the failure; refused.
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
        SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove(source);
        if (row.source) {
            Write(source, fresh);
            SetFileTime(Open(source, FILE_WRITE_ATTRIBUTES).get(), nullptr, nullptr, &old2001);
            SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_READONLY);
        }
        SetFileAttributesW(old.c_str(), FILE_ATTRIBUTE_NORMAL);
        Write(old, "old");
        if (row.readOnly) SetFileAttributesW(old.c_str(), FILE_ATTRIBUTE_READONLY);
        FileHandle held = row.held ? Open(old, GENERIC_READ) : FileHandle();
        const Result<CopyResult> copied = Copy(source, old);
        held.reset();
        EXPECT_EQ(copied && copied->refused ? copied->refused->number : Failed(copied),
                  row.failure);
        EXPECT_EQ(copied && copied->refused, row.refused);
        EXPECT_EQ(copied && copied->wasReadOnly, row.readOnly && row.source);
        EXPECT_TRUE(Contents(old) == (row.failure ? "old" : fresh));
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), row.source ? 2 : 1);
        WIN32_FILE_ATTRIBUTE_DATA copy;
        GetFileAttributesExW(old.c_str(), GetFileExInfoStandard, &copy);
        EXPECT_EQ((copy.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0,
                  row.readOnly && row.failure != 0);
        if (row.failure) continue;
        EXPECT_EQ(CompareFileTime(&copy.ftLastWriteTime, &old2001), 0);
    }
}

// The source stays open with read sharing only, so nobody changes it between check and copy; one
// that ends before its size or cannot be read fails the copy, never makes a short one.
TEST_F(FilesTest, TheFileInspectedIsTheFileCopied) {
    Write(folder / L"source.ocx", std::string(100000, 's'));
    const auto open = run.files.OpenSource(T(folder / L"source.ocx"));
    EXPECT_FALSE(Open(folder / L"source.ocx", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));

    const FileHandle from = Open(folder / L"source.ocx", GENERIC_READ, FILE_SHARE_READ);
    const FileHandle unreadable =
        Open(folder / L"source.ocx", FILE_READ_ATTRIBUTES, FILE_SHARE_READ);
    const FileHandle to = Open(folder / L"copy.ocx", GENERIC_WRITE, 0, CREATE_ALWAYS);
    EXPECT_EQ(Failed(CopyData(from.get(), to.get(), 200000)), ERROR_HANDLE_EOF);
    EXPECT_EQ(Failed(CopyData(unreadable.get(), to.get(), 10)), ERROR_ACCESS_DENIED);
}

// What decides a copy, from real files: versions, the same bytes (Wine makes no file owned by
// TrustedInstaller: none reads as protected). A version is read whoever holds the file open.
TEST_F(FilesTest, ReadsWhatTheCopyRulesNeed) {
    for (const wchar_t* name : {L"older.ocx", L"same.ocx", L"held.ocx"}) {
        fs::copy_file(SAMPLE_OCX, folder / name);
    }
    fs::copy_file(NEWER_OCX, folder / L"newer.ocx");
    Write(folder / L"text.ocx", "MZ text");
    const FileHandle held = Open(folder / L"held.ocx", GENERIC_READ);
    const std::optional<std::uint64_t> none, v4 = 0x0001000200030004, v5 = *v4 + 1;
    // As CopyFacts: control, version, destination's version, same bytes, exists, protected.
    using Facts = std::tuple<bool, std::optional<std::uint64_t>, std::optional<std::uint64_t>, bool,
                             bool, bool>;
    const std::tuple<const wchar_t*, Facts> rows[] = {
        {L"none.ocx", {true, v4, none, false, false, false}},
        {L"newer.ocx", {true, v4, v5, false, true, false}},
        {L"same.ocx", {true, v4, v4, true, true, false}},
        {L"held.ocx", {true, v4, none, false, true, false}},  // unreadable: replaced
    };
    for (const auto& [destination, expected] : rows) {
        const Result<CopyFacts> facts = Inspect(L"older.ocx", destination);
        ASSERT_TRUE(facts);
        EXPECT_EQ(Facts(facts->sourceIsControl, facts->sourceVersion, facts->destinationVersion,
                        facts->sameBytes, facts->destinationExists, facts->destinationProtected),
                  expected)
            << fs::path(destination).string();
    }
    EXPECT_EQ(Failed(Inspect(L"held.ocx", L"none.ocx")), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(Failed(Inspect(L"none.ocx", L"older.ocx")), ERROR_FILE_NOT_FOUND);

    const std::tuple<const wchar_t*, std::optional<std::uint64_t>, std::int32_t> versions[] = {
        {L"newer.ocx", v5, 0},
        {L"text.ocx", none, 0},
        {L"none.ocx", none, ERROR_FILE_NOT_FOUND},
        {L"held.ocx", none, ERROR_SHARING_VIOLATION}};
    const FileHandle locked = Open(folder / L"newer.ocx", GENERIC_READ, FILE_SHARE_READ);
    for (const auto& [name, version, failure] : versions) {
        const auto read = run.files.ReadVersion(T(folder / name));
        EXPECT_EQ(read ? *read : none, version) << fs::path(name).string();
        EXPECT_EQ(Failed(read), failure) << fs::path(name).string();
    }
}

// A loaded, read-only control is set aside for the new copy, and deleted at the restart by its real
// path (SysWOW64). Who holds it is asked of the Restart Manager (under Wine: nobody).
TEST_F(FilesTest, AControlInUseIsSetAsideAndDeletedAtTheRestart) {
    const fs::path copy = SystemFolder() / L"Trattenuto.ocx";
    const std::wstring real = SystemFolder(GetSystemWow64DirectoryW);
    SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove(copy);
    fs::copy_file(SAMPLE_OCX, copy);
    SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_READONLY);
    fs::copy_file(NEWER_OCX, folder / L"new.ocx");
    const HMODULE loaded = LoadLibraryW(copy.c_str());
    ASSERT_TRUE(loaded);
    const Result<CopyResult> refused = Copy(L"new.ocx", copy);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->refused.value_or(Failure{}).number, ERROR_ACCESS_DENIED);
    EXPECT_TRUE(run.processes.Holders(T(copy)).has_value());
    const Result<Text> aside = run.files.SetAside(T(copy));
    ASSERT_TRUE(aside);
    const Result<CopyResult> placed = Copy(L"new.ocx", copy);
    EXPECT_TRUE(placed && !placed->refused);
    EXPECT_TRUE(Contents(copy) == Contents(NEWER_OCX));
    EXPECT_TRUE(run.files.DeleteAtRestart(*aside));
    // A read-only file would stay: the session manager could not delete it at boot.
    EXPECT_FALSE(GetFileAttributesW(P(*aside).c_str()) & FILE_ATTRIBUTE_READONLY);

    wchar_t pending[32768] = L"";
    DWORD size = sizeof pending - sizeof(wchar_t);
    RegGetValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                 L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, pending, &size);
    const std::wstring expected = L"\\??\\" + real + L"\\" + P(*aside).filename().wstring();
    bool found = false;
    for (const wchar_t* entry = pending; *entry != L'\0'; entry += wcslen(entry) + 1) {
        found = found || lstrcmpiW(entry, expected.c_str()) == 0;
    }
    EXPECT_TRUE(found) << fs::path(expected).string();
    FreeLibrary(loaded);
    DeleteFileW(P(*aside).c_str());
}

// A control's type library, read without loading or registering it; files compared by identity.
TEST_F(FilesTest, ReadsWhatAControlCarriesWithoutLoadingIt) {
    Write(folder / L"text.ocx", "MZ text");
    const std::optional<TypeLibrary> library = run.files.ReadTypeLibrary(T(SAMPLE_OCX));
    ASSERT_TRUE(library);
    EXPECT_EQ(std::tuple(library->libid, library->major, library->minor),
              std::tuple(Text(u"{4F7A2C10-8B3E-4D5A-9C61-2E0B7D9A1F30}"), 1, 0));
    ASSERT_EQ(library->classes.size(), 2u);
    EXPECT_EQ(std::tuple(library->classes[0].clsid, library->classes[0].name,
                         library->classes[0].creatable, library->classes[1].creatable),
              std::tuple(Text(u"{4F7A2C11-8B3E-4D5A-9C61-2E0B7D9A1F30}"), Text(u"Campione"), true,
                         false));
    HKEY registered = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"TypeLib\\{4F7A2C10-8B3E-4D5A-9C61-2E0B7D9A1F30}",
                            0, KEY_READ, &registered),
              ERROR_SUCCESS)
        << "reading registered the type library";
    const KeyHandle closed(registered);
    EXPECT_FALSE(run.files.ReadTypeLibrary(T(folder / L"text.ocx")));

    wchar_t shortName[MAX_PATH];
    const fs::path copy = SystemFolder() / L"Orvandi identit\u00e0.ocx";
    fs::remove(copy);
    fs::copy_file(SAMPLE_OCX, copy);
    const fs::path real = SystemFolder(GetSystemWow64DirectoryW) / copy.filename();
    GetShortPathNameW(copy.c_str(), shortName, MAX_PATH);
    EXPECT_TRUE(run.files.SameFile(T(copy), T(real)));
    EXPECT_TRUE(run.files.SameFile(T(shortName), T(copy))) << fs::path(shortName).string();
    EXPECT_FALSE(run.files.SameFile(T(copy), T(folder / L"text.ocx")));
    EXPECT_FALSE(run.files.SameFile(T(folder / L"none.ocx"), T(folder / L"none.ocx")));
    fs::remove(copy);
}

}  // namespace
}  // namespace orvandi
