#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <tuple>
#include <vector>

#include "core/placement.h"
#include "core/platform.h"
#include "core/registration.h"
#include "core/scan.h"
#include "core/shared_count.h"
#include "core/unattended.h"

namespace orvandi {

bool operator==(const StoredValue& a, const StoredValue& b) {
    return a.type == b.type && a.data == b.data;
}

namespace {

// The value under `key`, or nothing.
template <typename Map>
std::optional<typename Map::mapped_type> Found(const Map& map, const Text& key) {
    const auto at = map.find(key);
    if (at == map.end()) return std::nullopt;
    return at->second;
}

// The system and the window's list as the core sees them, in plain data. Every platform call is
// written to `log`, a line each; a call whose line (with its "\n") contains a text in `failures`
// raises the failure paired with it. Reading a mark checks "marked <index>", inspecting a source
// "Inspect <source>" and writing to the log file "Write" the same way, without a line in the log.
// A call whose line contains `fatalAt` is a fault that ends the program: the handler given to
// CatchFatal is called as the real program calls it, and what it answers is kept in `ended`.
struct Fake : UnattendedPlatform, EntryList {
    std::vector<Text> names, listing;  // the list; what ListFirst and ListNext deliver
    std::vector<bool> marks;
    std::map<Text, Text> environment = {{u"OS", u"Windows_NT"}, {u"windir", u"C:\\W"}};
    std::map<Text, CopyFacts> facts;    // by source; any other source is a new control
    std::map<Text, Finished> finished;  // by the copy's name; any other regsvr32 ends with 0
    RunMark mark = RunMark::kTaken;
    Text logFile;
    std::vector<std::pair<Text, Failure>> failures;
    bool logOpen = false;
    Text fatalAt;
    FatalHandler fatal = nullptr;
    std::optional<int> ended;
    Text logAtEnd;                                 // the log file when the program ended
    std::map<Text, std::map<Text, Text>> records;  // by package, then name
    bool visible = true, output = false;           // a window can be seen; an output written
    Text written;                                  // to the output
    std::map<Text, StoredValue> counts;            // by value name
    std::set<Text> inUse;                // copies a program holds: replaced once set aside
    std::int32_t inUseError = 5;         // 5 for a loaded DLL, 32 for a file held open
    std::set<Text> readOnly;             // copies that are read-only
    std::set<JobPlacement> refusedJobs;  // what Windows refuses to run regsvr32 in
    std::optional<std::vector<Holder>> holders;
    std::map<Text, Dependencies> dependencies;  // by the copy's path
    std::vector<Text> knownDlls, files;         // files: what FileExists finds, besides copies
    std::set<Text> assemblies;                  // the identities Windows finds
    std::map<Text, TypeLibrary> libraries;      // by the copy's path
    std::map<Text, Text> servers;               // by CLSID
    std::set<Text> advertised;                  // CLSIDs Windows Installer advertises
    std::map<Text, std::vector<UserServer>> userServers;
    std::set<std::pair<Text, Text>> sameFiles;  // pairs of paths that name one file
    Text log;
    std::size_t next = 0;

    struct Source : SourceFile {
        Fake& fake;
        Text path;
        Source(Fake& owner, const Text& from) : fake(owner), path(from) {}
        CopyFacts Inspect(const Text&) override {
            fake.Check(u"Inspect " + path);
            return Found(fake.facts, path).value_or(CopyFacts{true, {}, {}, false});
        }
        CopyResult CopyTo(const Text& to) override {
            fake.Log(u"Copy " + path + u" > " + to);
            CopyResult result{fake.readOnly.count(to) > 0, std::nullopt};
            if (fake.inUse.count(to) > 0) result.refused = Failure{fake.inUseError, u"Negato"};
            return result;
        }
    };

    void Check(const Text& line) {
        if (!fatalAt.empty() && line.find(fatalAt) != Text::npos && !ended) {
            ended = fatal(*this, u"eccezione 0xC0000006");
            logAtEnd = logFile;
            throw Failure{0, u"ended"};  // stands for the end of the program
        }
        for (const auto& [part, failure] : failures) {
            if ((line + u"\n").find(part) != Text::npos) throw failure;
        }
    }
    void Log(const Text& line) {
        log += line + u"\n";
        Check(line);
    }
    Text Next() { return next < listing.size() ? listing[next++] : Text(); }

    Text ApplicationFolder() override { return u"C:\\App"; }
    Text ListFirst(const Text& pattern, int kind) override {
        Log(u"ListFirst " + pattern + u" " + Decimal(kind));
        next = 0;
        return Next();
    }
    Text ListNext() override {
        Log(u"ListNext");
        return Next();
    }
    void ListClose() override { log += u"ListClose\n"; }
    Text GetEnvironment(const Text& name) override { return environment[name]; }
    std::unique_ptr<SourceFile> OpenSource(const Text& path) override {
        return std::make_unique<Source>(*this, path);
    }
    std::int32_t Launch(const Text& command, int style) override {
        Log(u"Launch " + command + u" @" + Decimal(style));
        return 1;
    }
    Text ErrorText(std::int32_t number) override { return u"%1 is " + Decimal(number); }
    void ShowMessage(const Text& text) override { Log(u"Message " + text); }
    void SetPointer(int pointer) override { Log(u"Pointer " + Decimal(pointer)); }
    Finished RunAndWait(const Text& command, std::uint32_t timeoutMs,
                        JobPlacement placement) override {
        const char16_t* in[] = {u"", u" breakaway", u" alone"};
        Log(u"Run " + command + u" " + Decimal(timeoutMs) + in[static_cast<int>(placement)]);
        if (refusedJobs.count(placement) > 0) return Finished{Ending::kNotPlaced, 0};
        for (const auto& [name, result] : finished) {
            if (command.find(name) != Text::npos) return result;
        }
        return Finished{};
    }
    bool CanShowWindow() override { return visible; }
    void CatchFatal(FatalHandler handler) override { fatal = handler; }
    // A control (".ocx" in small letters) is there unless named "Gone"; any other file when it
    // is in `files`.
    bool FileExists(const Text& path) override {
        return (path.find(u".ocx") != Text::npos && path.find(u"Gone") == Text::npos) ||
               std::find(files.begin(), files.end(), path) != files.end();
    }
    RunMark ClaimRun() override { return mark; }
    void OpenLog(const Text& path) override {
        Log(u"OpenLog " + path);
        logOpen = true;
    }
    void WriteLog(const Text& text) override {
        if (!logOpen) throw Failure{6, u"No log"};
        Check(u"Write");
        logFile += text;
    }
    void RotateLog(std::uint64_t limit) override {
        Log(u"RotateLog " + Decimal(limit) + u" after " + Decimal(logFile.size()));
    }
    LocalTime Now() override { return {2026, 12, 7, 9, 5, 30}; }
    bool WriteOutput(const Text& text) override { return output && !(written = text).empty(); }
    bool IsLetter(char16_t c) override {  // Latin letters, for the tests
        return ((c | 0x20) >= u'a' && (c | 0x20) <= u'z') ||
               (c >= u'\u00C0' && c <= u'\u024F' && c != u'\u00D7' && c != u'\u00F7');
    }
    bool SameName(const Text& a, const Text& b) override { return Upper(a) == Upper(b); }
    std::optional<Text> ReadRecord(const Text& package, const Text& name) override {
        return records.count(package) > 0 ? Found(records[package], name) : std::nullopt;
    }
    void WriteRecord(const Text& package, const Text& name, const Text& text) override {
        Log(u"Record " + name);
        records[package][name] = text;
    }
    void RemoveRecord(const Text& package, const Text& name) override {
        Log(u"Unrecord " + name);
        records[package].erase(name);
        if (records[package].empty() && !package.empty()) records.erase(package);
    }
    std::vector<Text> RecordNames(const Text& package) override {
        std::vector<Text> names;  // in no particular order: reversed
        for (const auto& named : records[package]) names.insert(names.begin(), named.first);
        if (records[package].empty()) records.erase(package);
        return names;
    }
    std::optional<StoredValue> ReadSharedCount(const Text& path) override {
        return Found(counts, path);
    }
    void WriteSharedCount(const Text& path, const StoredValue& count) override {
        Log(u"Count " + path);
        counts[path] = count;
    }
    void RemoveSharedCount(const Text& path) override {
        Log(u"Count " + path + u" removed");
        counts.erase(path);
    }
    std::optional<std::vector<Holder>> Holders(const Text&) override { return holders; }
    Text SetAside(const Text& path) override {
        Log(u"SetAside " + path);
        inUse.erase(path);
        return path + u".old";
    }
    void Rename(const Text& from, const Text& to) override { Log(u"Rename " + from + u" > " + to); }
    void DeleteAtRestart(const Text& path) override { Log(u"DeleteAtRestart " + path); }
    Dependencies ReadDependencies(const Text& path) override { return dependencies[path]; }
    std::vector<Text> KnownDlls() override { return knownDlls; }
    bool FindsAssembly(const Text& identity) override { return assemblies.count(identity) > 0; }
    std::optional<TypeLibrary> ReadTypeLibrary(const Text& path) override {
        return Found(libraries, path);
    }
    std::optional<ClassServer> MachineServer(const Text& clsid) override {
        const bool known = servers.count(clsid) > 0, advertises = advertised.count(clsid) > 0;
        return known || advertises ? std::optional(ClassServer{servers[clsid], advertises})
                                   : std::nullopt;
    }
    std::vector<UserServer> UserServers(const Text& clsid) override { return userServers[clsid]; }
    bool SameFile(const Text& a, const Text& b) override {
        Log(u"SameFile " + a);
        return Upper(a) == Upper(b) || sameFiles.count({a, b}) > 0;
    }

    std::int16_t count() override { return static_cast<std::int16_t>(names.size()); }
    Text name(std::int16_t index) override { return names.at(index); }
    bool marked(std::int16_t index) override {
        Check(u"marked " + Decimal(index));
        return marks.at(index);
    }
    void SetMarked(std::int16_t index, bool marked) override { marks.at(index) = marked; }
    void Append(const Text& name) override {
        names.push_back(name);
        marks.push_back(false);
    }
    void Clear() override {
        names.clear();
        marks.clear();
    }
};

// Lines of a log, each starting with the time the fake's clock tells.
const Text kStamp = u"2026-12-07 09:05:30 ";
Text Stamped(const Text& lines) {
    Text stamped;
    for (std::size_t at = 0, end; at < lines.size(); at = end + 2) {
        stamped += kStamp + lines.substr(at, (end = lines.find(u"\r\n", at)) + 2 - at);
    }
    return stamped;
}

// The first line of an unattended run's log, and what a control that registers well says.
const Text kHead = u"Orvandi 1.00, riga di comando: ARGS, cartella di sistema: C:\\W\\SYSTEM32\r\n";
const Text kCopied = u"copiato; regsvr32 0 (registrato); nessuna libreria dei tipi; ";

const Text kZero =
    u"operazione completata\r\nTotali : 0\r\nOk : 0\r\nNo : 0\r\n"
    u"operazione completata con successo";

// One press of REGISTRA SELEZIONATI over a list, with some platform calls failing: every call
// the run made, in order. After the first marked entry no scope is active outside an entry's own
// steps: a failure there leaves the run ("escaped"), unreported, for the window to handle.
TEST(RunRegistration, CopiesLaunchesCountsAndReports) {
    const Text error = u"Message Error 5 (Denied) in procedure Command2_Click of Form Form1\n";
    const struct {
        const char* what;
        std::vector<bool> marks;  // of A.ocx, "-u b.ocx", à.ocx
        std::vector<Text> failing;
        Text log;
    } rows[] = {
        // clang-format off
        {"nothing marked", {0, 0, 0}, {}, u"Pointer 11\nPointer 1\nMessage " + kZero + u"\n"},
        {"in order, each copy registered by its whole path, quoted; no control refused, a newer "
         "copy kept", {1, 1, 1}, {},
         u"Pointer 11\nLaunch regsvr32 /s \"C:\\W S\\-u b.ocx\" @2\n"
         u"Copy C:\\App\\OCX\\\u00e0.ocx > C:\\W S\\\u00e0.ocx\nLaunch regsvr32 /s \"C:\\W S\\\u00e0.ocx\" @2\n"
         u"Pointer 1\nMessage operazione completata\r\nTotali : 3\r\nOk : 2\r\nNo : 1\r\n"
         u"non sono riuscito a fare i seguenti: A.ocx\r\n\n"},
        {"an unreadable source or a failed copy is still launched; two failed steps count once",
         {1, 0, 1}, {u"Inspect C:\\App\\OCX\\A", u"> C:\\W S\\\u00e0", u"\u00e0.ocx\""},
         u"Pointer 11\nLaunch regsvr32 /s \"C:\\W S\\A.ocx\" @2\n"
         u"Copy C:\\App\\OCX\\\u00e0.ocx > C:\\W S\\\u00e0.ocx\nLaunch regsvr32 /s \"C:\\W S\\\u00e0.ocx\" @2\n"
         u"Pointer 1\nMessage operazione completata\r\nTotali : 2\r\nOk : 0\r\nNo : 2\r\n"
         u"non sono riuscito a fare i seguenti: A.ocx\r\n\u00e0.ocx\r\n\n"},
        {"the hourglass failing ends the run", {1, 1, 1}, {u"Pointer 11"}, u"Pointer 11\nPointer 1\n" + error},
        {"a mark unreadable before the first marked entry", {0, 1, 1}, {u"marked 1"},
         u"Pointer 11\nPointer 1\n" + error},
        {"the summary failing with nothing marked", {0, 0, 0}, {u"Message op"},
         u"Pointer 11\nPointer 1\nMessage " + kZero + u"\nPointer 1\n" + error},
        {"a mark after the first marked entry", {0, 1, 1}, {u"marked 2"}, u"Pointer 11\nLaunch regsvr32 /s \"C:\\W S\\-u b.ocx\" @2\nescaped\n"},
        {"the arrow after the pass", {0, 1, 0}, {u"Pointer 1\n"}, u"Pointer 11\nLaunch regsvr32 /s \"C:\\W S\\-u b.ocx\" @2\nPointer 1\nescaped\n"},
        {"the summary after the pass", {0, 1, 0}, {u"Message op"}, u"Pointer 11\nLaunch regsvr32 /s \"C:\\W S\\-u b.ocx\" @2\nPointer 1\nMessage operazione completata\r\nTotali : 1\r\nOk : 1\r\nNo : 0\r\noperazione completata con successo\nescaped\n"},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Fake fake;
        fake.names = {u"A.ocx", u"-u b.ocx", u"\u00e0.ocx"};
        fake.marks = row.marks;
        fake.facts[u"C:\\App\\OCX\\A.ocx"] = {false, {}, {}, false};
        fake.facts[u"C:\\App\\OCX\\-u b.ocx"] = {true, 1, 2, false};
        for (const Text& part : row.failing) fake.failures.push_back({part, {5, u"Denied"}});
        try {
            RunRegistration(fake, fake, u"C:\\App", u"C:\\W S");
        } catch (const Failure&) {
            fake.log += u"escaped\n";
        }
        EXPECT_EQ(fake.log, row.log);
        EXPECT_EQ(fake.marks, row.marks) << "a run never changes the marks";
    }
}

// What may land in the system folder: what the source is and what the system folder holds.
TEST(DecidePlacement, NeverADowngradeAnUnversionedFileANeedlessRewriteOrANonControl) {
    const std::optional<std::uint64_t> none, v1 = 0x0001000200030004, v2 = *v1 + 1;
    const Placement copy = Placement::kCopy, keepNewer = Placement::kKeepNewer,
                    keepVersioned = Placement::kKeepVersioned, keepSame = Placement::kKeepIdentical,
                    refuse = Placement::kRefuse;
    // The source is a control, its version, the copy's version there, the same bytes: what is done.
    const std::pair<CopyFacts, Placement> rows[] = {
        {{true, v1, none, false}, copy},   {{false, none, none, false}, refuse},
        {{false, v1, v2, false}, refuse},  {{true, v1, v2, false}, keepNewer},
        {{true, v2, v1, false}, copy},     {{true, v1, v1, true}, keepSame},
        {{true, v1, v1, false}, copy},     {{true, none, v2, false}, keepVersioned},
        {{true, v1, none, false}, copy},   {{true, none, none, true}, keepSame},
        {{true, none, none, false}, copy},
    };
    for (const auto& [facts, placement] : rows) {
        EXPECT_EQ(DecidePlacement(facts), placement)
            << facts.sourceIsControl << " " << facts.sourceVersion.value_or(0) << " "
            << facts.destinationVersion.value_or(0) << " " << facts.sameBytes;
    }
}

TEST(ScanControlFiles, ListsInOrderUntilTheFirstEmptyNameThenCloses) {
    Fake fake;
    fake.listing = {u"b.ocx", u"A.OCX", u"\u00e0 b.ocx", u"", u"late.ocx"};
    ScanControlFiles(fake, u"C:\\App\\", fake);  // a trailing separator is kept
    EXPECT_EQ(fake.names, std::vector<Text>(fake.listing.begin(), fake.listing.begin() + 3));
    EXPECT_EQ(fake.log,
              u"ListFirst C:\\App\\\\OCX\\*.ocx 0\nListNext\nListNext\nListNext\nListClose\n");
}

TEST(ResolveSystemFolder, AddsTheSuffixByWhetherOsIsSet) {
    for (auto [os, windir, folder] : {std::tuple{u"Windows_NT", u"C:\\W", u"C:\\W\\SYSTEM32"},
                                      {u"x", u"C:\\W\\", u"C:\\W\\\\SYSTEM32"},
                                      {u"", u"C:\\W", u"C:\\W\\SYSTEM"},
                                      {u"", u"", u"\\SYSTEM"}}) {
        Fake fake;
        fake.environment = {{u"OS", os}, {u"windir", windir}};
        EXPECT_EQ(ResolveSystemFolder(fake), folder);
    }
}

// What the command line asks for, and whether a window could be seen at all (not in session 0,
// not on a hidden window station): a window nobody sees would wait for ever. A package's name
// becomes a registry key's.
TEST(ParseCommandLine, KnowsExactlyItsSwitches) {
    const RunMode window = RunMode::kWindow, install = RunMode::kInstall,
                  uninstall = RunMode::kUninstall, help = RunMode::kHelp,
                  bad = RunMode::kBadCommandLine;
    const Text longest(64, u'p');
    std::vector<std::tuple<Text, bool, RunMode, Text, Text>> rows = {
        // clang-format off
        {u"", true, window, u"", u""}, {u"leggimi.txt \u2013S", true, window, u"", u""},
        {u"", false, bad, u"", u""}, {u"leggimi.txt \u2013S", false, bad, u"", u""},
        {u"/S", false, install, u"", u""}, {u"-s", true, install, u"", u""},
        {u" /s\t-U", true, uninstall, u"", u""}, {u"/u /log=C:\\x.log", true, uninstall, u"C:\\x.log", u""},
        {u"-LOG=\"C:\\a b\\x.log\" /S", true, install, u"C:\\a b\\x.log", u""},
        {u"\"/Log=C:\\a b.log\" /S", true, install, u"C:\\a b.log", u""},
        {u"/S /Package=\"Contabilit\u00e0 2.0_a-b\"", true, install, u"", u"Contabilit\u00e0 2.0_a-b"},
        {u"-package=" + longest + u" /U", true, uninstall, u"", longest},
        {u"/?", false, help, u"", u""}, {u"leggimi.txt /S /X -?", true, help, u"", u""},
        {u"/h", true, help, u"", u""}, {u"/S -H", true, help, u"", u""},
        // clang-format on
    };
    for (const char16_t* line :
         {u"/S -S", u"/S/U", u"/S /LOG=", u"/LOG=x", u"/S /LOG=C:\\a b.log", u"/S /Q",
          u"/S \u2013U", u"/S -", u"/S /PACKAGE=", u"/S \"/PACKAGE= a\"", u"/S \"/PACKAGE=a \"",
          u"/S /PACKAGE=a\\b", u"/S /PACKAGE=\u20acuro", u"/S /PACKAGE=a /PACKAGE=a", u"/PACKAGE=a",
          u"/S /Help"}) {
        rows.emplace_back(line, true, bad, u"", u"");
    }
    rows.emplace_back(u"/S /PACKAGE=" + longest + u"p", true, bad, u"", u"");
    for (const auto& [arguments, visible, mode, log, package] : rows) {
        Fake fake;
        fake.visible = visible;
        const Switches switches = ParseCommandLine(fake, arguments);
        EXPECT_EQ(switches.mode, mode) << std::string(arguments.begin(), arguments.end());
        EXPECT_EQ(switches.logPath, log);
        EXPECT_EQ(switches.package, package);
    }
}

// A deployment system may hand the log's path over with its variables unexpanded.
TEST(ExpandVariables, ReplacesSetVariablesAndKeepsTheRest) {
    Fake fake;
    fake.environment = {{u"ProgramData", u"C:\\P"}, {u"windir", u"C:\\W"}};
    const std::pair<Text, Text> rows[] = {
        {u"%ProgramData%\\x.log", u"C:\\P\\x.log"},
        {u"%windir%%ProgramData%", u"C:\\WC:\\P"},
        {u"%UNSET%\\%windir%", u"%UNSET%\\C:\\W"},
        {u"100%\\%windir", u"100%\\%windir"},
        {u"%%windir%", u"%C:\\W"},
        {u"C:\\x.log", u"C:\\x.log"},
    };
    for (const auto& [path, expanded] : rows) EXPECT_EQ(ExpandVariables(fake, path), expanded);
}

// Unattended runs: every entry of the listing, regsvr32 waited for, the exit code and the log.
TEST(RunUnattended, InstallsEveryEntryAndLogsIt) {
    // clang-format off
    const Text ok = u"Ok.ocx: " + kCopied + u"conteggio condiviso 1\r\nTotale 1, riusciti 1, non riusciti 0; codice di uscita 0\r\n";
    const std::vector<Text> six = {u"Ok.ocx", u"Nuovo.ocx", u"Uguale.ocx", u"Testo.ocx", u"Rotto.ocx", u"Lento.ocx"};
    const RunMode S = RunMode::kInstall;
    const RunMark T = RunMark::kTaken;
    const JobPlacement own = JobPlacement::kOwnJob, breakaway = JobPlacement::kBreakaway;
    // clang-format on
    const struct {
        const char* what;
        RunMode mode;
        std::vector<Text> listing;
        std::vector<std::pair<Text, Failure>> failures;
        int exitCode;
        Text log;  // after the first line
        RunMark mark;
        Text fatalAt;                         // the call at which a fault ends the program
        std::set<JobPlacement> refused = {};  // what Windows refuses to run regsvr32 in
        bool visible = true, output = false;  // a window can be seen; an output written to
    } rows[] = {
        // clang-format off
        {"install: placed as by the window, then waited for", S, six, {{u"Inspect C:\\App\\OCX\\Rotto", {32, u"In uso"}}},
         kExitFailed, u"Ok.ocx: " + kCopied + u"conteggio condiviso 1\r\n"
         u"Nuovo.ocx: lasciata la copia presente, di versione pi\u00f9 alta (6.1.7601.24000 invece di 6.1.7600.16385); "
         u"regsvr32 0 (registrato); nessuna libreria dei tipi; conteggio condiviso 2\r\n"
         u"Uguale.ocx: gi\u00e0 presente, identico; regsvr32 5 (la funzione di registrazione del controllo non \u00e8 riuscita)\r\n"
         u"Testo.ocx: non \u00e8 un controllo a 32 bit, non copiato (errore 193: C:\\App\\OCX\\Testo.ocx is 193)\r\n"
         u"Rotto.ocx: copia non riuscita (errore 32: In uso); regsvr32 0 (registrato)\r\n"
         u"Lento.ocx: copiato; regsvr32 ancora in esecuzione dopo 120 s: terminato\r\n"
         u"Totale 6, riusciti 2, non riusciti 4; codice di uscita 1603\r\n", T, u""},
        // Windows 7 refuses a second job to a process in one already: regsvr32 breaks away from
        // it, or else runs in none.
        {"all registered, in a job that lets regsvr32 break away", S, {u"Ok.ocx"}, {}, kExitSuccess, ok, T, u"", {own}},
        {"in a job that does not", S, {u"Ok.ocx"}, {}, kExitSuccess, ok, T, u"", {own, breakaway}},
        {"nothing to install", S, {}, {}, kExitFailed, u"Nessun file .ocx in C:\\App\\OCX; codice di uscita 1603\r\n", T, u""},
        {"more than the window can list", S, std::vector<Text>(32768, u"e.ocx"), {}, kExitFailed,
         u"Pi\u00f9 di 32767 file .ocx nella cartella OCX: nessuno installato; codice di uscita 1603\r\n", T, u""},
        {"Windows' error 6 is no overflow", S, six, {{u"ListFirst", {6, u"Handle"}}}, kExitFailed,
         u"Errore imprevisto (errore 6: Handle); codice di uscita 1603\r\n", T, u""},
        {"install: a file without a version never replaces one with", S, {u"Senza.ocx"}, {}, kExitSuccess,
         u"Senza.ocx: lasciata la copia presente, che ha una versione (1.2.3.4) mentre il nuovo file non ne ha; regsvr32 0 "
         u"(registrato); nessuna libreria dei tipi; conteggio condiviso 2\r\nTotale 1, riusciti 1, non riusciti 0; "
         u"codice di uscita 0\r\n", T, u""},
        {"a regsvr32 that cannot be ended stops the run", S, {u"Fermo.ocx", u"Ok.ocx"}, {}, kExitFailed,
         u"Fermo.ocx: copiato; regsvr32 ancora in esecuzione dopo 120 s, e non si \u00e8 potuto terminare\r\n"
         u"Interrotto: nessun altro regsvr32 pu\u00f2 partire accanto a uno che non termina; codice di uscita 1603\r\n", T, u""},
        {"another run", S, six, {}, kExitAnotherRun,
         u"Un'altra installazione di Orvandi \u00e8 in corso; codice di uscita 1618\r\n", RunMark::kAnotherRun, u""},
        {"a standard user's run", RunMode::kUninstall, six, {}, kExitFailed, u"Orvandi /S e /U vanno avviati da un "
         u"amministratore o da SYSTEM: nulla \u00e8 stato fatto; codice di uscita 1603\r\n", RunMark::kRefused, u""},
        {"an unexpected failure", S, six, {{u"ListFirst", {5, u"Negato"}}}, kExitFailed,
         u"Errore imprevisto (errore 5: Negato); codice di uscita 1603\r\n", T, u""},
        {"a fault that ends the program", S, six, {}, kExitFailed,
         u"Errore imprevisto (eccezione 0xC0000006); codice di uscita 1603\r\n", T, u"ListFirst"},
        {"a bad command line: nothing done", RunMode::kBadCommandLine, six, {}, kExitBadCommandLine, u"", T, u""},
        // The help goes where whoever asked can read it: the output it was started with, or else a
        // message box; where neither can be seen (session 0), it is a bad command line.
        {"the help on its output", RunMode::kHelp, six, {}, kExitSuccess, u"", T, u"", {}, false, true},
        {"the help in a box", RunMode::kHelp, six, {}, kExitSuccess, u"", T, u"", {}, true, false},
        {"the help nowhere to be seen", RunMode::kHelp, six, {}, kExitBadCommandLine, u"", T, u"", {}, false, false},
        {"a log that cannot be opened, or is refused: nothing done", S, six, {{u"OpenLog", {5, u"No"}}}, kExitLogFailed,
         u"", T, u""},
        {"a log that fails", S, six, {{u"Write", {112, u"Pieno"}}}, kExitFailed, u"", T, u""},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Fake fake;
        fake.listing = row.listing;
        fake.failures = row.failures;
        fake.mark = row.mark;
        fake.fatalAt = row.fatalAt;
        fake.refusedJobs = row.refused;
        fake.visible = row.visible;
        fake.output = row.output;
        // clang-format off
        fake.facts[u"C:\\App\\OCX\\Nuovo.ocx"] = {true, 0x000600011DB04001, 0x000600011DB15DC0, false, true};
        fake.facts[u"C:\\App\\OCX\\Uguale.ocx"] = {true, {}, {}, true};
        fake.facts[u"C:\\App\\OCX\\Testo.ocx"] = {false, {}, {}, false};
        fake.facts[u"C:\\App\\OCX\\Senza.ocx"] = {true, {}, 0x0001000200030004, false, true};
        // clang-format on
        fake.finished[u"Uguale"] = {Ending::kExited, 5};
        fake.finished[u"Lento"] = {Ending::kEndedAtTimeout, 1};
        fake.finished[u"Fermo"] = {Ending::kWouldNotEnd, 1};
        const Switches switches{row.mode, u"%windir%\\x.log", u""};
        const int exitCode = RunUnattended(fake, switches, u"ARGS", u"1.00");
        EXPECT_EQ(fake.ended.value_or(exitCode), row.exitCode);
        EXPECT_EQ(fake.ended ? fake.logAtEnd : fake.logFile,
                  row.log.empty() ? Text() : Stamped(kHead + row.log));
        // A log grown too long is moved aside by the run that holds the mark, before its first
        // line.
        const bool unattended = row.mode == S || row.mode == RunMode::kUninstall;
        EXPECT_EQ(fake.log.find(u"RotateLog 1048576 after 0\n") != Text::npos,
                  unattended && row.mark == RunMark::kTaken && row.exitCode != kExitLogFailed);
        EXPECT_EQ(fake.log.find(u"Pointer"), Text::npos) << "no pointer";
        EXPECT_EQ(fake.log.find(u"OpenLog C:\\W\\x.log\n") == 0, unattended);
        EXPECT_EQ(fake.log.find(u"Message Orvandi installa") != Text::npos,
                  row.mode == RunMode::kHelp && row.visible && !row.output);
        EXPECT_EQ(fake.written.find(u"1618  un'altra installazione") != Text::npos, row.output);
        // Rotto's source is held open elsewhere: that says nothing of the control there.
        EXPECT_EQ(fake.log.find(u"SetAside"), Text::npos);
        EXPECT_EQ(fake.log.find(u"Rename"), Text::npos);
        const Text run = u"Run regsvr32 /s \"C:\\W\\SYSTEM32\\Ok.ocx\" 120000";
        EXPECT_EQ(fake.log.find(run + u"\n") != Text::npos, row.log.find(u"Ok.ocx") != Text::npos);
        EXPECT_EQ(fake.log.find(run + u" breakaway\n") != Text::npos, row.refused.count(own) > 0);
        EXPECT_EQ(fake.log.find(run + u" alone\n") != Text::npos, row.refused.count(breakaway) > 0);
    }
}

// Counts as installers keep them: a number, decimal text or one to four bytes.
StoredValue N(std::uint32_t count) {
    return {kValueNumber,
            {std::uint8_t(count), std::uint8_t(count >> 8), std::uint8_t(count >> 16),
             std::uint8_t(count >> 24)}};
}
StoredValue Sz(const std::u16string& text) {
    StoredValue value{kValueText, {}};
    for (const char16_t c : text)
        value.data.insert(value.data.end(), {std::uint8_t(c), std::uint8_t(c >> 8)});
    return value;
}
StoredValue Bin(std::vector<std::uint8_t> bytes) { return {kValueBytes, std::move(bytes)}; }

// Counts as other installers keep them (written back in their own form: see the next test).
TEST(SharedCount, ReadsNumbersTextAndBytes) {
    const std::optional<std::uint32_t> no;
    const std::pair<StoredValue, std::optional<std::uint32_t>> reads[] = {
        // clang-format off
        {N(7), 7}, {N(0xFFFFFFFF), 0xFFFFFFFF}, {{kValueNumber, {7, 0, 0}}, no}, {{kValueNumber, {}}, no},
        {Sz(u"12"), 12}, {Sz(std::u16string(u"12\0\0", 4)), 12}, {Sz(u"007"), 7}, {Sz(u"4294967295"), 0xFFFFFFFF},
        {Sz(u"4294967296"), no}, {Sz(u"00000000001"), no}, {Sz(u""), no}, {Sz(std::u16string(u"\0" u"1", 2)), no},
        {Sz(std::u16string(u"1\0" u"2", 3)), no}, {Sz(u" 1"), no}, {Sz(u"-1"), no}, {Sz(u"\uFF11"), no},
        {{kValueText, {'1', 0, 0}}, no},
        {Bin({3}), 3}, {Bin({0x34, 0x12}), 0x1234}, {Bin({1, 0, 0, 0}), 1}, {Bin({}), no}, {Bin({1, 0, 0, 0, 0}), no},
        {{2, Sz(u"1").data}, no}, {{11, {1, 0, 0, 0, 0, 0, 0, 0}}, no},
        // clang-format on
    };
    for (const auto& [stored, count] : reads) {
        const std::optional<SharedCount> read = ParseCount(stored);
        EXPECT_EQ(read ? std::optional(read->value) : no, count)
            << stored.type << " of " << stored.data.size() << " bytes";
    }
}

// Controls are shared: an unattended install counts each as installers count shared files, once
// per PC, and records it; an uninstall unregisters only what it recorded, and only when no other
// program counts it. A count is kept in the form it was found in, and one that cannot be read is
// left alone. A control held by a running program is set aside and replaced; a read-only one is
// simply replaced. One control, Calendario.ocx 1.2.3.4, in each row; "sys" and "wow" are its
// count's two names.
TEST(RunUnattended, CountsRecordsAndReplacesSharedControls) {
    const Text sys = u"C:\\W\\SYSTEM32\\Calendario.ocx", wow = u"C:\\W\\SysWOW64\\Calendario.ocx";
    const Text none, v4 = u"1.2.3.4", &ok = kCopied;  // no record; the control's version
    const Text aside = u": messo da parte come Calendario.ocx.old, da eliminare al riavvio; ",
               left = u"registrazione lasciata, lo contano ancora altri programmi (1)";
    const Failure denied{5, u"Negato"};
    const RunMode S = RunMode::kInstall, U = RunMode::kUninstall;
    const StoredValue qword{11, {1, 0, 0, 0, 0, 0, 0, 0}};  // REG_QWORD: no count
    using Counts = std::map<Text, StoredValue>;
    const struct {
        const char* what;
        RunMode mode;
        bool present;        // a copy is there already
        std::int32_t inUse;  // a program holds it: Windows' error when it is replaced
        Text record;         // before
        Counts counts;       // before
        std::uint32_t regsvr32;
        Text line;  // Calendario.ocx's
        Counts after;
        Text recordAfter;
        int exitCode;
        std::optional<std::vector<Holder>> holders = std::vector<Holder>{{u"EXCEL.EXE", 4321}};
        std::optional<std::uint64_t> there = std::nullopt;  // the version of the copy there
        bool readOnly = false;                              // the copy there
        std::vector<std::pair<Text, Failure>> failing = {};
    } rows[] = {
        // clang-format off
        {"a new file", S, false, 0, none, {}, 0, ok + u"conteggio condiviso 1", {{sys, N(1)}}, v4, 0},
        {"counted by another program, under the SysWOW64 name", S, true, 0, none, {{wow, N(3)}}, 0,
         ok + u"conteggio condiviso 4", {{wow, N(4)}}, v4, 0},
        {"counted in a byte, raised past it", S, true, 0, none, {{wow, Bin({0xFF})}}, 0, ok + u"conteggio condiviso 256",
         {{wow, Bin({0, 1, 0, 0})}}, v4, 0},
        {"a count that cannot be read: left as it is, the control recorded", S, true, 0, none, {{sys, Sz(u"dodici")}}, 0,
         ok + u"conteggio illeggibile, lasciato com'\u00e8", {{sys, Sz(u"dodici")}}, v4, 0},
        {"recorded already: counted once per PC", S, true, 0, u"1.2.3.3", {{sys, N(2)}}, 0,
         ok + u"gi\u00e0 installato da Orvandi, conteggio invariato", {{sys, N(2)}}, v4, 0},
        {"not registered: neither counted nor recorded", S, false, 0, none, {}, 5,
         u"copiato; regsvr32 5 (la funzione di registrazione del controllo non \u00e8 riuscita)", {}, none, kExitFailed},
        {"the registry failing once registered: the registration stands", S, false, 0, none, {}, 0,
         ok + u"conteggio condiviso 1; registrato, ma non completato (errore 5: Negato)", {{sys, N(1)}}, none, kExitFailed,
         {}, {}, false, {{u"Record ", denied}}},
        {"held by a program: set aside, replaced, 3010", S, true, 5, none, {}, 0, u"in uso da EXCEL.EXE (processo 4321)" +
         aside + ok + u"conteggio condiviso 2", {{sys, N(2)}}, v4, kExitRestart},
        {"held open by a program Windows does not name", S, true, 32, none, {}, 0, u"in uso da un programma che Windows "
         u"non indica" + aside + ok + u"conteggio condiviso 2", {{sys, N(2)}}, v4, kExitRestart, std::nullopt},
        {"refused there for another reason: failed, nothing set aside", S, true, 1920, none, {}, 0,
         u"copia non riuscita (errore 1920: Negato); regsvr32 0 (registrato)", {}, none, kExitFailed},
        {"read-only there: replaced like any other", S, true, 0, none, {}, 0, u"copiato (era in sola lettura); regsvr32 0 "
         u"(registrato); nessuna libreria dei tipi; conteggio condiviso 2", {{sys, N(2)}}, v4, 0, {}, {}, true},
        {"a newer copy kept: recorded with its own version", S, true, 0, none, {}, 0, u"lasciata la copia presente, di "
         u"versione pi\u00f9 alta (1.2.3.5 invece di 1.2.3.4); regsvr32 0 (registrato); nessuna libreria dei tipi; "
         u"conteggio condiviso 2", {{sys, N(2)}}, u"1.2.3.5", 0, {}, 0x0001000200030005},
        {"uninstall from 1 to 0: unregistered", U, true, 0, v4, {{sys, N(1)}}, 0, u"regsvr32 0 (registrazione tolta)", {},
         none, 0},
        {"uninstall from two bytes of 2: as many bytes", U, true, 0, v4, {{sys, Bin({2, 0})}}, 0, left, {{sys, Bin({1, 0})}},
         none, 0},
        {"uninstall with a count that cannot be read: registration left, record gone", U, true, 0, v4, {{sys, qword}}, 0,
         u"conteggio illeggibile, lasciato com'\u00e8: registrazione lasciata", {{sys, qword}}, none, 0},
        {"uninstall of what this program did not install", U, true, 0, none, {{sys, N(1)}}, 0,
         u"non installato da Orvandi su questo PC, lasciato com'\u00e8", {{sys, N(1)}}, none, 0},
        {"an unregistration that fails: all as it was, for a retry", U, true, 0, v4, {{sys, Sz(u"01")}}, 4, u"regsvr32 4 "
         u"(il controllo non ha la funzione di registrazione); conteggio e nota di installazione rimessi com'erano",
         {{sys, Sz(u"01")}}, v4, kExitFailed},
        {"the record failing once unregistered", U, true, 0, v4, {{sys, N(1)}}, 0,
         u"regsvr32 0 (registrazione tolta); non riuscito (errore 5: Negato)", {}, v4, kExitFailed, {}, {}, false,
         {{u"Unrecord", denied}}},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Fake fake;
        fake.listing = {u"Calendario.ocx"};
        fake.facts[u"C:\\App\\OCX\\Calendario.ocx"] = {true, 0x0001000200030004, row.there, false,
                                                       row.present};
        if (!row.record.empty()) fake.records[u""][u"Calendario.ocx"] = row.record;
        fake.counts = row.counts;
        if (row.inUse != 0) fake.inUse.insert(sys);
        if (row.readOnly) fake.readOnly.insert(sys);
        fake.inUseError = row.inUse;
        fake.holders = row.holders;
        fake.failures = row.failing;
        fake.finished[u"Calendario"] = {Ending::kExited, row.regsvr32};
        EXPECT_EQ(RunUnattended(fake, {row.mode, u"C:\\x.log", u""}, u"", u"1.00"), row.exitCode);
        EXPECT_NE(fake.logFile.find(u"\r\n" + kStamp + u"Calendario.ocx: " + row.line + u"\r\n"),
                  Text::npos)
            << std::string(fake.logFile.begin(), fake.logFile.end());
        EXPECT_EQ(fake.counts, row.after);
        EXPECT_EQ(fake.ReadRecord(u"", u"Calendario.ocx").value_or(none), row.recordAfter);
        // regsvr32 ran once exactly when the line says so.
        const std::size_t run = fake.log.find(u"Run regsvr32");
        EXPECT_EQ(run != Text::npos, row.line.find(u"regsvr32") != Text::npos);
        EXPECT_EQ(fake.log.find(u"Run regsvr32", run + 1), Text::npos);
        // The count goes up before the record is written: counting one too many is the safe error.
        const std::size_t counted = fake.log.find(u"Count "), recorded = fake.log.find(u"Record ");
        if (counted != Text::npos && recorded != Text::npos) {
            EXPECT_LT(counted, recorded);
        }
        // Only a control that a program holds is set aside, and deleted at the restart.
        const bool held = row.inUse == 5 || row.inUse == 32;
        EXPECT_EQ(fake.log.find(u"SetAside") != Text::npos, held);
        EXPECT_EQ(
            fake.log.find(u"DeleteAtRestart C:\\W\\SYSTEM32\\Calendario.ocx.old") != Text::npos,
            held);
    }
}

// Packages: each one that installs a control counts it once and records it under its own name.
// An install where every control ended well says so ("Installed", what detection rules look
// for), any other takes it away. A control that an earlier install recorded and the folder no
// longer holds is released; a named uninstall works from the record alone. One package,
// "Contabilità", in each row.
TEST(RunUnattended, PackagesCountRecordAndReleaseTheirOwnControls) {
    const Text p = u"Contabilit\u00e0", now = u"2026-12-07 09:05:30", before = u"2026-01-01",
               v = u"0.0.0.0", installed = u"Installed", &copied = kCopied,
               sys = u"C:\\W\\SYSTEM32\\";
    const Text comune = sys + u"Comune.ocx", antico = sys + u"Antico.ocx",
               vecchio = sys + u"Vecchio.ocx", guasto = sys + u"Guasto.ocx";
    const Text failing =
        u"regsvr32 5 (la funzione di registrazione del controllo non \u00e8 riuscita)";
    using Records = std::map<Text, std::map<Text, Text>>;
    using Counts = std::map<Text, StoredValue>;
    const struct {
        const char* what;
        RunMode mode;
        std::vector<Text> listing;
        Records records;
        Counts counts;
        Text log;  // after the first line
        Records recordsAfter;
        Counts countsAfter;
        int exitCode;
        RunMark mark = RunMark::kTaken;
        bool held = false;  // a program holds Comune.ocx
    } rows[] = {
        // clang-format off
        {"counted once more though the unnamed package holds it; installed", RunMode::kInstall, {u"Comune.ocx"},
         {{u"", {{u"Comune.ocx", v}}}}, {{comune, N(1)}}, u"Comune.ocx: " + copied + u"conteggio condiviso 2\r\nTotale 1, riusciti 1, non riusciti 0; codice di uscita 0\r\n",
         {{u"", {{u"Comune.ocx", v}}}, {p, {{u"Comune.ocx", v}, {installed, now}}}}, {{comune, N(2)}}, kExitSuccess},
        {"dropped from the package: released after the folder's own, in name order", RunMode::kInstall, {u"Comune.ocx"},
         {{p, {{u"Vecchio.ocx", v}, {u"Antico.ocx", v}, {installed, before}}}}, {{vecchio, N(1)}, {antico, N(2)}},
         u"Comune.ocx: " + copied + u"conteggio condiviso 1\r\nAntico.ocx: non pi\u00f9 nel pacchetto; registrazione "
         u"lasciata, lo contano ancora altri programmi (1)\r\nVecchio.ocx: non pi\u00f9 nel pacchetto; regsvr32 0 "
         u"(registrazione tolta)\r\nTotale 3, riusciti 3, non riusciti 0; codice di uscita 0\r\n",
         {{p, {{u"Comune.ocx", v}, {installed, now}}}}, {{comune, N(1)}, {antico, N(1)}}, kExitSuccess},
        {"a dropped control that cannot be released: not installed, a failure winning over a restart", RunMode::kInstall,
         {u"Comune.ocx"}, {{p, {{u"Guasto.ocx", v}}}}, {{guasto, N(1)}},
         u"Comune.ocx: in uso da un programma che Windows non indica: messo da parte come Comune.ocx.old, da eliminare al "
         u"riavvio; " + copied + u"conteggio condiviso 1\r\nGuasto.ocx: non pi\u00f9 nel pacchetto; " + failing +
         u"; conteggio e nota di installazione rimessi com'erano\r\nTotale 2, riusciti 1, non riusciti 1, da completare al "
         u"riavvio 1; codice di uscita 1603\r\n",
         {{p, {{u"Comune.ocx", v}, {u"Guasto.ocx", v}}}}, {{comune, N(1)}, {guasto, N(1)}}, kExitFailed, RunMark::kTaken, true},
        {"no control in the folder: nothing released, the package as it was", RunMode::kInstall, {},
         {{p, {{u"Vecchio.ocx", v}, {installed, before}}}}, {{vecchio, N(1)}},
         u"Nessun file .ocx in C:\\App\\OCX; codice di uscita 1603\r\n",
         {{p, {{u"Vecchio.ocx", v}, {installed, before}}}}, {{vecchio, N(1)}}, kExitFailed},
        {"another run: the package as it was", RunMode::kInstall, {u"Comune.ocx"}, {{p, {{installed, before}}}}, {},
         u"Un'altra installazione di Orvandi \u00e8 in corso; codice di uscita 1618\r\n",
         {{p, {{installed, before}}}}, {}, kExitAnotherRun, RunMark::kAnotherRun},
        {"uninstalled when it installed nothing", RunMode::kUninstall, {}, {}, {},
         u"Nulla da disinstallare: il pacchetto Contabilit\u00e0 non ha installato controlli su questo PC; codice "
         u"di uscita 0\r\n", {}, {}, kExitSuccess},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Fake fake;
        fake.listing = row.listing;
        fake.records = row.records;
        fake.counts = row.counts;
        fake.mark = row.mark;
        if (row.held) fake.inUse.insert(comune);
        fake.finished[u"Guasto"] = {Ending::kExited, 5};
        EXPECT_EQ(RunUnattended(fake, {row.mode, u"C:\\x.log", p}, u"ARGS", u"1.00"), row.exitCode);
        EXPECT_EQ(fake.logFile, Stamped(kHead + row.log));
        EXPECT_EQ(fake.records, row.recordsAfter);
        EXPECT_EQ(fake.counts, row.countsAfter);
        EXPECT_EQ(fake.log.find(u"ListFirst") == Text::npos,
                  row.mode == RunMode::kUninstall || row.mark != RunMark::kTaken);
    }
}

// When regsvr32 cannot load a control (exit code 3), the log names what Windows would not find
// for it; when it registered one, the classes of its type library, and whether the machine's
// registration of each creatable class names the copy (a short name is the same file). One
// control, Calendario.ocx, in each row; the Windows folder is C:\\W and PATH holds C:\\Tools.
TEST(RunUnattended, ExplainsAFailedLoadAndChecksARegistration) {
    const Text copy = u"C:\\W\\SYSTEM32\\Calendario.ocx", c1 = u"{C1}", c2 = u"{C2}", c3 = u"{C3}";
    const Text vc80 =
        u" type=\"win32\" name=\"Microsoft.VC80.CRT\" version=\"8.0.50727.6195\" "
        u"processorArchitecture=\"x86\" publicKeyToken=\"1fc8b3b9a1e18e3b\"";
    const Text manifest =
        u"<dependency><dependentAssembly>\r\n<assemblyIdentity\ttype='win32' "
        u"name='Microsoft.VC80.CRT' version='8.0.50727.6195' processorArchitecture='x86' "
        u"publicKeyToken='1fc8b3b9a1e18e3b'/></dependentAssembly></dependency><dependency>"
        u"<dependentAssembly><assemblyIdentity name=\"a&amp;b\" version=\"1.0\"/>"
        u"</dependentAssembly><dependentAssembly><assemblyIdentity name=\"Microsoft.VC90.CRT\" "
        u"version=\"9.0.30729.9247\"/></dependentAssembly></dependency>";
    // clang-format off
    const std::vector<Text> imports = {u"MSVBVM60.DLL", u"KERNEL32.dll", u"api-ms-win-core-synch-l1-2-0.dll",
                                       u"ext-ms-win-ntuser-l1-1-0.dll", u"COMDLG32.OCX", u"Trovata.dll", u"Finestre.dll"};
    const TypeLibrary library{u"{L1}", 1, 0, {{c1, u"Calendario", true}, {c2, u"Pagina", false}, {c3, u"Extra", true}}};
    const Text loadFailed = u"copiato; regsvr32 3 (il controllo, o una DLL che gli serve, non si \u00e8 potuto caricare)";
    const Text registered = u"copiato; regsvr32 0 (registrato); libreria dei tipi {L1} 1.0: Calendario {C1}";
    const Text page = u", Pagina {C2} (non creabile), Extra {C3}", declared = u" (dichiarata ma non registrata)",
               counted = u"; conteggio condiviso 1";
    // clang-format on
    const struct {
        const char* what;
        std::uint32_t regsvr32;
        Dependencies needs;
        std::map<Text, Text> servers;
        std::vector<UserServer> users;
        Text line;
        int exitCode;
        bool opened = false;  // a file was opened to be compared
        std::set<Text> advertised = {};
        bool pageOnly = false;  // the library describes Pagina alone: nothing creatable
    } rows[] = {
        // clang-format off
        {"exit 3: what it imports that Windows would not find, and apart what it loads when used", 3,
         {imports, std::vector<Text>{u"MSCOMCTL.OCX", u"Trovata.dll"}, u""}, {}, {},
         loadFailed + u"; mancano: MSVBVM60.DLL, COMDLG32.OCX; mancano, se usata: MSCOMCTL.OCX", kExitFailed},
        {"exit 3 with nothing missing: said so", 3, {std::vector<Text>{u"KERNEL32.dll"}, std::vector<Text>{}, u""},
         {}, {}, loadFailed + u"; tra le DLL che importa non ne manca nessuna", kExitFailed},
        {"exit 3: an import table that cannot be read", 3, {std::nullopt, std::vector<Text>{}, u""}, {}, {},
         loadFailed + u"; le DLL che importa non si possono leggere", kExitFailed},
        {"exit 3: the assemblies its manifest names, found or not", 3,
         {std::vector<Text>{}, std::vector<Text>{}, manifest}, {}, {},
         loadFailed + u"; assembly Microsoft.VC80.CRT 8.0.50727.6195 trovato; assembly Microsoft.VC90.CRT "
         u"9.0.30729.9247 non trovato", kExitFailed},
        {"registered: its classes, one registered to the copy by its short name", 0, {},
         {{c1, u"C:\\W\\SYSTEM32\\CALEND~1.OCX"}, {c3, copy}}, {}, registered + page + counted, kExitSuccess, true},
        {"registered as Windows would read it: a bare name in quotes, / for \\, \\\\?\\, SysWOW64", 0, {},
         {{c1, u"\"calendario.ocx\""}, {c3, u"\\\\?\\C:/W/SysWOW64/Calendario.ocx"}}, {}, registered + page + counted,
         kExitSuccess},
        {"registered to another file: the PC would go on using it", 0, {}, {{c1, u"C:\\App\\Calendario.ocx"}}, {},
         registered + u" (registrata per un altro file: C:\\App\\Calendario.ocx)" + page + declared, kExitFailed, true},
        {"a class declared but not registered: a warning", 0, {}, {{c1, copy}}, {},
         registered + page + declared + counted, kExitSuccess},
        {"nothing creatable: nothing to check", 0, {}, {}, {}, u"copiato; regsvr32 0 (registrato); libreria dei tipi {L1} "
         u"1.0: Pagina {C2} (non creabile)" + counted, kExitSuccess, false, {}, true},
        {"no creatable class registered for the PC", 0, {}, {}, {},
         registered + declared + page + declared + u"; nessuna classe registrata per il PC", kExitFailed},
        {"advertised by Windows Installer: a warning", 0, {}, {{c1, copy}, {c3, copy}}, {},
         registered + u" (pubblicata da Windows Installer)" + page + counted, kExitSuccess, false, {c1}},
        {"a user's own registration of another file, compared as text: a warning only", 0, {}, {{c1, copy}, {c3, copy}},
         {{u"S-1-5-21-7", u"C:\\a\r\nTotale 1; codice di uscita 0\\C.ocx"}, {u"S-1-5-21-8", u"c:/w/system32/calendario.ocx"},
          {u"S-1-5-21-9", u"\\\\.\\pipe\\p"}, {u"S-1-5-21-10", u"C:\\W\\SYSTEM32\\CALEND~1.OCX"}},
         registered + u" (attenzione: per l'utente S-1-5-21-7 \u00e8 registrata per C:\\a  Totale 1; codice di uscita 0\\C.ocx) "
         u"(attenzione: per l'utente S-1-5-21-9 \u00e8 registrata per \\\\.\\pipe\\p) "
         u"(attenzione: per l'utente S-1-5-21-10 \u00e8 registrata per C:\\W\\SYSTEM32\\CALEND~1.OCX)" + page + counted,
         kExitSuccess},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Fake fake;
        fake.environment[u"PATH"] = u"\"C:\\Tools\";;";
        fake.listing = {u"Calendario.ocx"};
        fake.finished[u"Calendario"] = {Ending::kExited, row.regsvr32};
        fake.dependencies[copy] = row.needs;
        fake.knownDlls = {u"kernel32.dll"};
        fake.files = {u"C:\\Tools\\Trovata.dll", u"C:\\W\\Finestre.dll"};
        fake.assemblies = {vc80};
        fake.libraries[copy] =
            row.pageOnly ? TypeLibrary{u"{L1}", 1, 0, {library.classes[1]}} : library;
        fake.servers = row.servers;
        fake.advertised = row.advertised;
        fake.userServers[c1] = row.users;
        fake.sameFiles = {{u"C:\\W\\SYSTEM32\\CALEND~1.OCX", copy}};
        EXPECT_EQ(RunUnattended(fake, {RunMode::kInstall, u"C:\\x.log", u""}, u"", u"1.00"),
                  row.exitCode);
        EXPECT_NE(fake.logFile.find(u"\r\n" + kStamp + u"Calendario.ocx: " + row.line + u"\r\n"),
                  Text::npos)
            << std::string(fake.logFile.begin(), fake.logFile.end());
        EXPECT_EQ(fake.ReadRecord(u"", u"Calendario.ocx").has_value(), row.exitCode == kExitSuccess)
            << "only a registration that took effect is recorded";
        // Only an administrator's registration on a local drive may be opened, and only when its
        // text does not already name the copy.
        EXPECT_EQ(fake.log.find(u"SameFile") != Text::npos, row.opened);
    }
}

}  // namespace
}  // namespace orvandi
