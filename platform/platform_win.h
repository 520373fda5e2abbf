// The Platform on Win32: wide-character API throughout. A Win32 failure becomes a Failure whose
// number is the system error code and whose description is the system's own message text. The
// class is defined by concern, one file each: system_win.cpp (errors, environment, clock, message
// box, whether a window can be seen), listing_win.cpp, files_win.cpp (inspecting and copying
// controls, and replacing one in use), processes_win.cpp, run_claim_win.cpp, log_win.cpp,
// fatal_win.cpp, registry_win.cpp (records, shared counts, class registrations),
// restart_manager_win.cpp and control_info_win.cpp (type libraries, side-by-side assemblies).
#pragma once

#include <windows.h>

#include "core/platform.h"
#include "platform/handles_win.h"

namespace orvandi {

// The system's message text for a Win32 error code, without its trailing line break.
Text SystemMessage(DWORD code);
// Failure{code, SystemMessage(code)}.
Failure SystemFailure(DWORD code);

class Win32Platform : public UnattendedPlatform {
  public:
    // `owner` owns the message boxes and is the window whose pointer SetPointer sets; it may be
    // set later with SetOwner (the window is created after the platform).
    explicit Win32Platform(HWND owner = nullptr) : owner_(owner) {}
    void SetOwner(HWND owner) { owner_ = owner; }

    Text ApplicationFolder() override;
    Text ListFirst(const Text& pattern, int attributes) override;
    Text ListNext() override;
    void ListClose() override;
    Text GetEnvironment(const Text& name) override;
    std::unique_ptr<SourceFile> OpenSource(const Text& path) override;
    std::int32_t Launch(const Text& commandLine, int windowStyle) override;
    Text ErrorText(std::int32_t number) override;
    void ShowMessage(const Text& text) override;
    void SetPointer(int pointer) override;
    bool CanShowWindow() override;
    void CatchFatal(FatalHandler handler) override;
    Finished RunAndWait(const Text& commandLine, std::uint32_t timeoutMs,
                        JobPlacement placement) override;
    bool FileExists(const Text& path) override;
    RunMark ClaimRun() override;
    void OpenLog(const Text& path) override;
    void WriteLog(const Text& text) override;
    void RotateLog(std::uint64_t limit) override;
    LocalTime Now() override;
    bool WriteOutput(const Text& text) override;
    bool IsLetter(char16_t c) override;
    bool SameName(const Text& a, const Text& b) override;
    std::optional<Text> ReadRecord(const Text& package, const Text& name) override;
    void WriteRecord(const Text& package, const Text& name, const Text& text) override;
    void RemoveRecord(const Text& package, const Text& name) override;
    std::vector<Text> RecordNames(const Text& package) override;
    std::optional<StoredValue> ReadSharedCount(const Text& path) override;
    void WriteSharedCount(const Text& path, const StoredValue& count) override;
    void RemoveSharedCount(const Text& path) override;
    std::optional<std::vector<Holder>> Holders(const Text& path) override;
    Text SetAside(const Text& path) override;
    void Rename(const Text& from, const Text& to) override;
    void DeleteAtRestart(const Text& path) override;
    Dependencies ReadDependencies(const Text& path) override;
    std::vector<Text> KnownDlls() override;
    bool FindsAssembly(const Text& identity) override;
    std::optional<TypeLibrary> ReadTypeLibrary(const Text& path) override;
    std::optional<ClassServer> MachineServer(const Text& clsid) override;
    std::vector<UserServer> UserServers(const Text& clsid) override;
    bool SameFile(const Text& a, const Text& b) override;

  private:
    HWND owner_;
    // The listing's next admitted name from `found` on, or the end of the listing.
    Text Admit(WIN32_FIND_DATAW& found);
    // Ends the listing after FindFirstFileW/FindNextFileW failed: the empty text, or a Failure.
    Text EndListing();

    FileHandle runClaim_;  // held until the program ends
    FileHandle log_;
    Text logPath_;
    FindHandle listing_;
    Text listingPattern_;        // the bare-name wildcard of the listing in progress
    DWORD listingExcluded_ = 0;  // the attributes that keep a name out of the listing
};

}  // namespace orvandi
