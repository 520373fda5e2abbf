// The operating-system operations the program's logic relies on. Everything the core does to the
// system goes through one of these; each raises a Failure when it cannot do its work.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/failure.h"
#include "core/text.h"

namespace orvandi {

// Pointer codes for SetPointer.
inline constexpr int kPointerArrow = 1;
inline constexpr int kPointerHourglass = 11;

// Window style for Launch: minimized, taking the focus.
inline constexpr int kWindowMinimizedFocus = 2;

// Attribute value for ListFirst that admits plain files only.
inline constexpr int kListPlainFiles = 0;

// What decides whether a control file may replace the copy in the system folder. A version is the
// fixed file version of the file's version resource, most significant word first.
struct CopyFacts {
    bool sourceIsControl = false;  // a whole 32-bit (i386) Windows DLL
    std::optional<std::uint64_t> sourceVersion;
    std::optional<std::uint64_t> destinationVersion;
    bool sameBytes = false;  // the destination holds exactly the source's bytes
    bool destinationExists = false;
};

// How a copy ended that did not fail on its way.
struct CopyResult {
    bool wasReadOnly = false;  // the file it replaced was read-only
    // Why the file there refused to give its name to the new copy (the copy's last step): a
    // program holds it, say. The file there is then as it was.
    std::optional<Failure> refused;
};

// A control file opened once, and kept open with read sharing only until it is released: nobody
// can change it between the checks that decide its copy and the copy itself.
class SourceFile {
  public:
    virtual ~SourceFile() = default;
    // Reads the facts about this file and the destination it would be copied to. A destination
    // that is missing or cannot be read has no version and differs.
    virtual CopyFacts Inspect(const Text& destination) = 0;
    // Writes this file's data over destination, replacing an existing file, a read-only one too:
    // the destination is then either the old file or the whole new one. Raises a Failure when
    // this file cannot be read or the new copy cannot be written beside the destination; answers
    // why when only the destination's own refusal stopped it.
    virtual CopyResult CopyTo(const Text& destination) = 0;
};

class Platform {
  public:
    virtual ~Platform() = default;

    // The folder holding the running executable, without a trailing separator.
    virtual Text ApplicationFolder() = 0;
    // Starts a new listing of the names matching a folder-and-wildcard pattern and returns the
    // first bare name; ListNext returns the next one. The empty text ends the listing (also when
    // the folder does not exist).
    virtual Text ListFirst(const Text& pattern, int attributes) = 0;
    virtual Text ListNext() = 0;
    // Ends the listing in progress, if any.
    virtual void ListClose() = 0;
    // The variable's value, or the empty text when it is not set.
    virtual Text GetEnvironment(const Text& name) = 0;
    // Opens a control file to inspect and copy; raises a Failure when it cannot be opened.
    virtual std::unique_ptr<SourceFile> OpenSource(const Text& path) = 0;
    // Starts the program named by the command line's first word, with the rest as its arguments,
    // and returns at once with a task number. The program is looked for in the system folder
    // only.
    virtual std::int32_t Launch(const Text& commandLine, int windowStyle) = 0;
    // The system's own text for an error number.
    virtual Text ErrorText(std::int32_t number) = 0;
    // A modal message box with an OK button, no icon and the application title as caption.
    virtual void ShowMessage(const Text& text) = 0;
    // Sets the mouse pointer shown over the main window.
    virtual void SetPointer(int pointer) = 0;
};

// How a program that was waited for ended.
enum class Ending {
    kExited,          // by itself, in time
    kEndedAtTimeout,  // still running when the time was up, and ended then with all it started
    kWouldNotEnd,     // still running when the time was up, and still running after being ended
    kNotPlaced,       // not run: Windows refused the job placement asked for
};

struct Finished {
    Ending ending = Ending::kExited;
    std::uint32_t exitCode = 0;
};

// The mark of an unattended run in progress on this computer.
enum class RunMark {
    kTaken,       // this run holds it now
    kAnotherRun,  // another unattended run of this program holds it
    kRefused,     // this run may not make it: it is not an administrator's
};

// Where RunAndWait puts the program it starts: in a job of its own (inside the job this program
// runs in, if any), in a job of its own broken away from that one, or in no job at all.
enum class JobPlacement { kOwnJob, kBreakaway, kAlone };

// A registry value as it is stored: its type (REG_SZ 1, REG_BINARY 3, REG_DWORD 4, ...) and its
// bytes.
struct StoredValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};

// The file registered for the machine as a class's in-process server.
struct ClassServer {
    Text file;  // empty: none
    // Windows Installer advertises the class too (a value named "InprocServer32" beside the
    // file): using it may make Windows Installer repair its product.
    bool advertised = false;
};

class UnattendedPlatform;
// What the run does when the program is about to end by a fault of its own (an access violation,
// an escaped exception): writes what it can and answers the exit code to end with. `what` says
// which fault, in the system's words.
using FatalHandler = int (*)(UnattendedPlatform& platform, const Text& what);

struct LocalTime {
    int year, month, day, hour, minute, second;
};

// A program that holds a file open.
struct Holder {
    Text name;
    std::uint32_t processId;
};

// What a control file needs to load: the DLLs it imports, those it loads only when it uses them
// (delay-loaded), and its own manifest, which may name side-by-side assemblies. Nothing in a list
// whose table could not be read.
struct Dependencies {
    std::optional<std::vector<Text>> imports, delayed;
    Text manifest;  // empty: none
};

// A class that a control's type library describes.
struct CoClass {
    Text clsid;  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
    Text name;
    bool creatable;
};

struct TypeLibrary {
    Text libid;
    std::uint16_t major, minor;
    std::vector<CoClass> classes;
};

// A user whose own registration of a class, which overrides the machine's for that user, names
// a file.
struct UserServer {
    Text sid;
    Text file;
};

// What a run without a window needs besides: regsvr32 waited for, a log, one such run at a time,
// and what shared controls need: their counts, this program's record, a control in use replaced.
class UnattendedPlatform : public Platform {
  public:
    // Whether this process can show a window to anyone: false in session 0 or on a window
    // station that is not visible (a service's, a scheduled task's).
    virtual bool CanShowWindow() = 0;
    // From now until the program ends, a fault that would end it (a structured exception nobody
    // handles, terminate, abort) calls `handler` and ends the program with the code it answers.
    virtual void CatchFatal(FatalHandler handler) = 0;
    // Starts the program named by the command line's first word, as Launch does but hidden, in a
    // job as `placement` says, and waits for it up to `timeoutMs`. One still running then is
    // ended, with everything it started when it is in a job; so it is when this program ends
    // before it. kAlone is never refused.
    virtual Finished RunAndWait(const Text& commandLine, std::uint32_t timeoutMs,
                                JobPlacement placement) = 0;
    virtual bool FileExists(const Text& path) = 0;
    // Marks an unattended run as in progress on this computer, seen from every session, until the
    // program ends, even by a crash. Only administrators and SYSTEM can make the mark, and
    // nothing else can hold it.
    virtual RunMark ClaimRun() = 0;
    // Opens a log file to append to (created when missing). Raises a Failure for anything but a
    // plain file with one name: a folder, a link of any kind. WriteLog appends a text to it.
    virtual void OpenLog(const Text& path) = 0;
    virtual void WriteLog(const Text& text) = 0;
    // When the log holds more than `limit` bytes, renames it "<its name>.1" (over a plain file of
    // that name) and starts a new one; where it cannot be renamed, it stays as it is.
    virtual void RotateLog(std::uint64_t limit) = 0;
    virtual LocalTime Now() = 0;
    // Writes a text where the program was started from: on its standard output when that is a
    // file or a pipe, in UTF-8, or else on the console of the program that started it. False
    // when there is neither.
    virtual bool WriteOutput(const Text& text) = 0;
    // Whether a character is a letter, of any alphabet.
    virtual bool IsLetter(char16_t c) = 0;
    // Whether two file names are one name to Windows, which ignores letter case in file names
    // and registry names alike (accented letters and other alphabets too).
    virtual bool SameName(const Text& a, const Text& b) = 0;

    // This program's record of the controls a package installed on this PC, one text value per
    // control named by its file name (the version installed), under the package's own key: the
    // unnamed package (an empty name) has the key that every unnamed run shares. Nothing when
    // there is none. A named package's key goes with its last value.
    virtual std::optional<Text> ReadRecord(const Text& package, const Text& name) = 0;
    virtual void WriteRecord(const Text& package, const Text& name, const Text& text) = 0;
    virtual void RemoveRecord(const Text& package, const Text& name) = 0;
    // The names of a package's values, in no order.
    virtual std::vector<Text> RecordNames(const Text& package) = 0;
    // The count of programs sharing a file, as installers keep it, by the file's path as it was
    // written, as it is stored; nothing when there is none.
    virtual std::optional<StoredValue> ReadSharedCount(const Text& path) = 0;
    virtual void WriteSharedCount(const Text& path, const StoredValue& count) = 0;
    virtual void RemoveSharedCount(const Text& path) = 0;
    // The programs that hold a file open, as far as Windows tells; nothing when it cannot.
    virtual std::optional<std::vector<Holder>> Holders(const Text& path) = 0;
    // Renames a file aside, in its own folder, under a new name that says what it is; answers
    // the new path.
    virtual Text SetAside(const Text& path) = 0;
    virtual void Rename(const Text& from, const Text& to) = 0;
    // Has Windows delete the file at the next restart.
    virtual void DeleteAtRestart(const Text& path) = 0;

    // What a control file imports, read without loading it.
    virtual Dependencies ReadDependencies(const Text& path) = 0;
    // The DLLs Windows always takes from its own copies (KnownDLLs).
    virtual std::vector<Text> KnownDlls() = 0;
    // Whether Windows finds the side-by-side assembly of this identity: its attributes as they
    // stand in a manifest (name="..." version="..." ...).
    virtual bool FindsAssembly(const Text& identity) = 0;
    // The type library a control carries, read without registering anything; nothing when it
    // has none.
    virtual std::optional<TypeLibrary> ReadTypeLibrary(const Text& path) = 0;
    // The file registered for the machine as a class's in-process server (32-bit view), its
    // variables expanded; nothing when the class has no such key.
    virtual std::optional<ClassServer> MachineServer(const Text& clsid) = 0;
    // Each loaded user profile that registers the class for itself, its variables expanded.
    virtual std::vector<UserServer> UserServers(const Text& clsid) = 0;
    // Whether two paths name one file (one volume, one file index): short names and the 32-bit
    // view of the system folder are the same file. Opens both: never for a path a user wrote.
    virtual bool SameFile(const Text& a, const Text& b) = 0;
};

}  // namespace orvandi
