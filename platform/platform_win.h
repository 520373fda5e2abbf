// The core's ports on Win32: wide-character API throughout, every handle in an owner of
// handles_win.h, nothing thrown. A Win32 failure becomes a Failure whose number is the system
// error code and whose description is the system's own message text (helpers_win.h). One class
// per port, defined by concern, one file each:
//   Win32System     system_win.cpp
//   Win32Files      listing_win.cpp, files_win.cpp (what a file is, names), copy_win.cpp (a
//                   control inspected and copied), control_info_win.cpp (type libraries,
//                   dependencies, side-by-side assemblies), run_lock_win.cpp, and folders only
//                   administrators may change in security_win.cpp
//   Win32Registry   registry_win.cpp
//   Win32Processes  processes_win.cpp, restart_manager_win.cpp
//   Win32Log        log_win.cpp, fatal_win.cpp
//   Win32Events     events_win.cpp
//   Win32Clock      clock_win.cpp
#pragma once

#include <windows.h>

#include "core/ports.h"
#include "platform/handles_win.h"
#include "platform/helpers_win.h"

namespace orvandi {

class Win32System : public System {
  public:
    // `owner` owns the message boxes and is the window whose pointer SetPointer sets; it may be
    // set later with SetOwner (the window is created after the ports).
    explicit Win32System(HWND owner = nullptr) : owner_(owner) {}
    void SetOwner(HWND owner) { owner_ = owner; }

    Result<Text> ProgramFile() override;
    Result<Text> ApplicationFolder() override;
    Result<Text> GetEnvironment(const Text& name) override;
    Text ErrorText(std::int32_t number) override;
    Status ShowMessage(const Text& text) override;
    Status SetPointer(int pointer) override;
    bool CanShowWindow() override;
    bool WriteOutput(const Text& text) override;
    bool IsLetter(char16_t c) override;
    bool SameName(const Text& a, const Text& b) override;

  private:
    HWND owner_;
};

class Win32Files : public Files {
  public:
    Result<Text> ListFirst(const Text& pattern, int attributes) override;
    Result<Text> ListNext() override;
    void ListClose() override;
    Result<std::unique_ptr<SourceFile>> OpenSource(const Text& path) override;
    bool FileExists(const Text& path) override;
    Result<std::optional<std::uint64_t>> ReadVersion(const Text& path) override;
    Result<Text> SetAside(const Text& path) override;
    Status Rename(const Text& from, const Text& to) override;
    Status DeleteAtRestart(const Text& path) override;
    bool SameFile(const Text& a, const Text& b) override;
    Dependencies ReadDependencies(const Text& path) override;
    std::optional<TypeLibrary> ReadTypeLibrary(const Text& path) override;
    bool FindsAssembly(const Text& identity) override;
    Result<RunMark> ClaimRun() override;
    Status MakeAdministratorsFolder(const Text& path) override;

  private:
    // The listing's next admitted name from `found` on, or the end of the listing.
    Result<Text> Admit(WIN32_FIND_DATAW& found);
    // Ends the listing after FindFirstFileW/FindNextFileW failed: the empty text, or a Failure.
    Result<Text> EndListing();

    FileHandle runLock_;  // held until the program ends
    FindHandle listing_;
    Text listingPattern_;        // the bare-name wildcard of the listing in progress
    DWORD listingExcluded_ = 0;  // the attributes that keep a name out of the listing
};

class Win32Registry : public Registry {
  public:
    Result<std::optional<StoredValue>> Read(Root root, const Text& key, const Text& name) override;
    Result<std::vector<Text>> ValueNames(Root root, const Text& key) override;
    Result<std::vector<Text>> KeyNames(Root root, const Text& key) override;
    Status Write(const Text& key, const Text& name, const StoredValue& value) override;
    Status Remove(const Text& key, const Text& name) override;
    Status RemoveEmptyKey(const Text& key) override;
};

class Win32Processes : public Processes {
  public:
    Result<std::int32_t> Launch(const Text& commandLine, int windowStyle) override;
    Result<Finished> RunAndWait(const Text& commandLine, std::uint32_t timeoutMs,
                                JobPlacement placement) override;
    std::optional<std::vector<Holder>> Holders(const Text& path) override;
};

class Win32Log : public Log {
  public:
    Win32Log() = default;
    Win32Log(const Win32Log&) = delete;
    Win32Log& operator=(const Win32Log&) = delete;
    ~Win32Log() override;

    Status Open(const Text& path) override;
    Status Write(const Text& text) override;
    void Rotate(std::uint64_t limit) override;
    void CatchFatal(const Text& start, const Text& end, int exitCode) override;

  private:
    FileHandle folder_;  // the log's folder, held so that it stays where it was checked
    FileHandle log_;     // written by the last line after a fault too: see fatal_win.cpp
    Text path_;          // the log's full path, as checked
    Text runUser_;       // this process's user, as a SID
};

class Win32Events : public Events {
  public:
    Status Report(EventType type, std::uint32_t id, const Text& text) override;
};

class Win32Clock : public Clock {
  public:
    LocalTime Now() override;
    std::uint64_t Milliseconds() override;
};

// Every port, for the program's entry and its window.
struct Win32Ports {
    Win32System system;
    Win32Files files;
    Win32Registry registry;
    Win32Processes processes;
    Win32Log log;
    Win32Events events;
    Win32Clock clock;
    Ports ports() { return {system, files, registry, processes, log, events, clock}; }
};

}  // namespace orvandi
