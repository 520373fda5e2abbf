// One fake per port, in plain data. Calls that change something, and some that read, go to a
// shared journal, a line each; a call whose line (with its "\n") holds a text in `failures` fails.
#pragma once

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/entry_list.h"
#include "core/ports.h"

namespace orvandi {

inline bool operator==(const StoredValue& a, const StoredValue& b) {
    return a.type == b.type && a.data == b.data;
}
inline std::string Narrow(const Text& text) { return std::string(text.begin(), text.end()); }

// Counts as installers keep them: a number, decimal text or one to four bytes.
inline StoredValue N(std::uint32_t count) { return NumberValue(count); }
inline StoredValue Sz(const std::u16string& text) {
    StoredValue value{kValueText, {}};
    for (const char16_t c : text)
        value.data.insert(value.data.end(), {std::uint8_t(c), std::uint8_t(c >> 8)});
    return value;
}
inline StoredValue Bin(std::vector<std::uint8_t> bytes) { return {kValueBytes, std::move(bytes)}; }

struct Journal {
    Text calls;
    std::vector<std::pair<Text, Failure>> failures;

    Status Call(const Text& line) {
        Note(line);
        return Check(line);
    }
    void Note(const Text& line) { calls += line + u"\n"; }  // a call that cannot fail
    Status Check(const Text& line) const {
        for (const auto& [part, failure] : failures) {
            if ((line + u"\n").find(part) != Text::npos) return failure;
        }
        return Status();
    }
    void Fail(const Text& part, std::int32_t number = 5) {
        failures.push_back({part, {number, u"Negato"}});
    }
};

struct Journaled {
    explicit Journaled(Journal& j) : journal(j) {}
    Journal& journal;
};

struct FakeSystem : System, Journaled {
    using Journaled::Journaled;
    std::map<Text, Text> environment = {{u"OS", u"Windows_NT"}, {u"windir", u"C:\\W"}};
    bool visible = true, output = false;  // a window can be seen; an output to write to
    Text written;                         // to the output

    Result<Text> ProgramFile() override { return Text(u"C:\\App\\Orvandi.exe"); }
    Result<Text> ApplicationFolder() override { return Text(u"C:\\App"); }
    Result<Text> GetEnvironment(const Text& name) override {
        if (Status s = journal.Check(u"Environment " + name); !s) return s.failure();
        return environment[name];
    }
    Text ErrorText(std::int32_t number) override { return u"%1 is " + Decimal(number); }
    Status ShowMessage(const Text& text) override { return journal.Call(u"Message " + text); }
    Status SetPointer(int pointer) override { return journal.Call(u"Pointer " + Decimal(pointer)); }
    bool CanShowWindow() override { return visible; }
    bool WriteOutput(const Text& text) override {
        if (output) written += text;
        return output;
    }
    bool IsLetter(char16_t c) override {  // Latin letters, for the tests
        return ((c | 0x20) >= u'a' && (c | 0x20) <= u'z') ||
               (c >= u'\u00C0' && c <= u'\u024F' && c != u'\u00D7' && c != u'\u00F7');
    }
    bool SameName(const Text& a, const Text& b) override { return Upper(a) == Upper(b); }
};

struct FakeFiles : Files, Journaled {
    using Journaled::Journaled;
    std::vector<Text> listing;               // what ListFirst and ListNext deliver
    std::map<Text, CopyFacts> facts;         // by source; any other source is a new control
    std::set<Text> inUse;                    // copies a program holds: replaced once set aside
    std::int32_t inUseError = 5;             // 5 for a loaded DLL, 32 for a file held open
    std::set<Text> readOnly;                 // copies that are read-only
    std::set<Text> absent;                   // copies that are not there (FileExists, ReadVersion)
    std::map<Text, std::uint64_t> versions;  // by the copy's path; absent: none
    std::map<Text, Dependencies> dependencies;  // by the copy's path
    std::map<Text, TypeLibrary> libraries;      // by the copy's path
    std::set<Text> files, assemblies;           // other files FileExists finds; assemblies found
    std::set<std::pair<Text, Text>> sameFiles;  // pairs of paths that name one file
    RunMark mark = RunMark::kTaken;
    std::size_t next = 0;

    struct Source : SourceFile {
        FakeFiles& fake;
        Text path;
        Source(FakeFiles& owner, const Text& from) : fake(owner), path(from) {}
        Result<CopyFacts> Inspect(const Text&) override {
            if (Status s = fake.journal.Check(u"Inspect " + path); !s) return s.failure();
            const auto found = fake.facts.find(path);
            return found != fake.facts.end() ? found->second : CopyFacts{true, {}, {}, false};
        }
        Result<CopyResult> CopyTo(const Text& to) override {
            if (Status s = fake.journal.Call(u"Copy " + path + u" > " + to); !s) return s.failure();
            CopyResult result{fake.readOnly.count(to) > 0, std::nullopt};
            if (fake.inUse.count(to) > 0) result.refused = Failure{fake.inUseError, u"Negato"};
            return result;
        }
    };

    Result<Text> Next() { return next < listing.size() ? listing[next++] : Text(); }
    Result<Text> ListFirst(const Text& pattern, int kind) override {
        if (Status s = journal.Call(u"ListFirst " + pattern + u" " + Decimal(kind)); !s) {
            return s.failure();
        }
        next = 0;
        return Next();
    }
    Result<Text> ListNext() override {
        if (Status s = journal.Call(u"ListNext"); !s) return s.failure();
        return Next();
    }
    void ListClose() override { journal.Note(u"ListClose"); }
    Result<std::unique_ptr<SourceFile>> OpenSource(const Text& path) override {
        if (Status s = journal.Check(u"Open " + path); !s) return s.failure();
        return std::unique_ptr<SourceFile>(std::make_unique<Source>(*this, path));
    }
    bool FileExists(const Text& path) override {
        return files.count(path) > 0 || (path.find(u".ocx") != Text::npos && !absent.count(path));
    }
    Result<std::optional<std::uint64_t>> ReadVersion(const Text& path) override {
        if (absent.count(path) > 0) return Failure{2, u"Non trovato"};
        const auto found = versions.find(path);
        return found == versions.end() ? std::nullopt : std::optional(found->second);
    }
    Result<Text> SetAside(const Text& path) override {
        if (Status s = journal.Call(u"SetAside " + path); !s) return s.failure();
        inUse.erase(path);
        return path + u".old";
    }
    Status Rename(const Text& from, const Text& to) override {
        return journal.Call(u"Rename " + from + u" > " + to);
    }
    Status DeleteAtRestart(const Text& path) override {
        return journal.Call(u"DeleteAtRestart " + path);
    }
    bool SameFile(const Text& a, const Text& b) override {
        journal.Note(u"SameFile " + a);
        return Upper(a) == Upper(b) || sameFiles.count({a, b}) > 0;
    }
    Dependencies ReadDependencies(const Text& path) override { return dependencies[path]; }
    std::optional<TypeLibrary> ReadTypeLibrary(const Text& path) override {
        const auto found = libraries.find(path);
        return found == libraries.end() ? std::nullopt : std::optional(found->second);
    }
    bool FindsAssembly(const Text& identity) override { return assemblies.count(identity) > 0; }
    Result<RunMark> ClaimRun() override {
        if (Status s = journal.Call(u"ClaimRun"); !s) return s.failure();
        return mark;
    }
    Status MakeAdministratorsFolder(const Text& path) override {
        return journal.Call(u"AdministratorsFolder " + path);
    }
};

// The registry as values by key and name. Writes and removals go to the journal; `failWrite`
// makes the write (or removal) of that number fail, counting from 1.
struct FakeRegistry : Registry, Journaled {
    using Journaled::Journaled;
    std::map<Text, std::map<Text, StoredValue>> machine, users;  // by key, then name
    std::vector<std::pair<Text, StoredValue>> written;           // by name, in order
    int writes = 0, failWrite = 0;

    std::map<Text, std::map<Text, StoredValue>>& Of(Root root) {
        return root == Root::kMachine ? machine : users;
    }
    Status Changed(const Text& line) {
        if (++writes == failWrite) return Failure{5, u"Negato"};
        return journal.Call(line);
    }
    Result<std::optional<StoredValue>> Read(Root root, const Text& key, const Text& name) override {
        if (Status s = journal.Check(u"Read " + key + u"\\" + name); !s) return s.failure();
        return Value(key, name, root);
    }
    Result<std::vector<Text>> ValueNames(Root root, const Text& key) override {
        std::vector<Text> names;  // in no particular order: reversed
        for (const auto& value : Of(root)[key]) names.insert(names.begin(), value.first);
        if (Of(root)[key].empty()) Of(root).erase(key);
        return names;
    }
    Result<std::vector<Text>> KeyNames(Root root, const Text&) override {  // at a root
        std::vector<Text> names;
        for (const auto& [path, values] : Of(root)) {
            const Text name = path.substr(0, path.find(u'\\'));
            if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
        }
        return names;
    }
    Status Write(const Text& key, const Text& name, const StoredValue& value) override {
        if (Status s = Changed(u"Write " + key + u"\\" + name); !s) return s;
        machine[key][name] = value;
        written.push_back({name, value});
        return Status();
    }
    Status Remove(const Text& key, const Text& name) override {
        if (Status s = Changed(u"Remove " + key + u"\\" + name); !s) return s;
        const auto values = machine.find(key);
        if (values != machine.end()) values->second.erase(name);
        return Status();
    }
    Status RemoveEmptyKey(const Text& key) override {
        const auto values = machine.find(key);
        if (values != machine.end() && values->second.empty()) machine.erase(values);
        return Status();
    }
    std::optional<StoredValue> Value(const Text& key, const Text& name,
                                     Root root = Root::kMachine) {
        const auto values = Of(root).find(key);
        if (values == Of(root).end() || values->second.count(name) == 0) return std::nullopt;
        return values->second[name];
    }
};

struct FakeProcesses : Processes, Journaled {
    using Journaled::Journaled;
    std::map<Text, Finished> finished;   // by a part of the command; any other ends with 0
    std::set<JobPlacement> refusedJobs;  // what Windows refuses to run regsvr32 in

    Result<std::int32_t> Launch(const Text& command, int style) override {
        if (Status s = journal.Call(u"Launch " + command + u" @" + Decimal(style)); !s) {
            return s.failure();
        }
        return 1;
    }
    Result<Finished> RunAndWait(const Text& command, std::uint32_t timeoutMs,
                                JobPlacement placement) override {
        const char16_t* in[] = {u"", u" breakaway", u" alone"};
        const Text line =
            u"Run " + command + u" " + Decimal(timeoutMs) + in[static_cast<int>(placement)];
        if (Status s = journal.Call(line); !s) return s.failure();
        if (refusedJobs.count(placement) > 0) return Finished{Ending::kNotPlaced, 0};
        for (const auto& [part, result] : finished) {
            if (command.find(part) != Text::npos) return result;
        }
        return Finished{};
    }
    std::optional<std::vector<Holder>> Holders(const Text&) override { return std::nullopt; }
};

struct FakeLog : Log, Journaled {
    using Journaled::Journaled;
    bool open = false;
    Text text, fatal;  // what was written; the fatal line prepared
    Status Open(const Text& path) override {
        if (Status s = journal.Call(u"OpenLog " + path); !s) return s;
        open = true;
        return Status();
    }
    Status Write(const Text& line) override {
        if (!open) return Failure{6, u"No log"};
        if (Status s = journal.Check(u"LogWrite"); !s) return s;
        text += line;
        return Status();
    }
    void Rotate(std::uint64_t limit) override {
        journal.Note(u"RotateLog " + Decimal(static_cast<std::int64_t>(limit)));
    }
    void CatchFatal(const Text& start, const Text& end, int exitCode) override {
        fatal = start + u"C0000005" + end + u" " + Decimal(exitCode);
    }
};

struct FakeEvents : Events, Journaled {
    using Journaled::Journaled;
    struct Event {
        EventType type;
        std::uint32_t id;
        Text text;
    };
    std::vector<Event> reported;
    Status Report(EventType type, std::uint32_t id, const Text& text) override {
        const char16_t* as[] = {u"information", u"warning", u"error"};
        if (Status s = journal.Call(u"Event " + Decimal(id) + u" " + as[int(type)]); !s) return s;
        reported.push_back({type, id, text});
        return Status();
    }
};

// The time is 2026-12-07 09:05:30, and each reading of the elapsed time is 100 ms after the last.
struct FakeClock : Clock {
    std::uint64_t elapsed = 0;
    LocalTime Now() override { return {2026, 12, 7, 9, 5, 30}; }
    std::uint64_t Milliseconds() override { return elapsed += 100; }
};

// Every port, sharing one journal.
struct FakePorts {
    Journal journal;
    FakeSystem system{journal};
    FakeFiles files{journal};
    FakeRegistry registry{journal};
    FakeProcesses processes{journal};
    FakeLog log{journal};
    FakeEvents events{journal};
    FakeClock clock;
    Ports ports{system, files, registry, processes, log, events, clock};
};

// The window's list.
struct FakeList : EntryList, Journaled {
    using Journaled::Journaled;
    std::vector<Text> names;
    std::vector<bool> marks;
    Result<std::int16_t> count() override { return static_cast<std::int16_t>(names.size()); }
    Result<Text> name(std::int16_t index) override { return names[index]; }
    Result<bool> marked(std::int16_t index) override {
        if (Status s = journal.Check(u"marked " + Decimal(index)); !s) return s.failure();
        return static_cast<bool>(marks[index]);
    }
    Status SetMarked(std::int16_t index, bool marked) override {
        marks[index] = marked;
        return Status();
    }
    Status Append(const Text& name) override {
        names.push_back(name);
        marks.push_back(false);
        return Status();
    }
    void Clear() override {
        names.clear();
        marks.clear();
    }
};

}  // namespace orvandi
