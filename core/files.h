// Files and folders: the controls in the OCX folder and their copies in the system folder, what a
// control file carries, the mark of a run in progress, and folders only administrators may change.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/result.h"
#include "core/text.h"

namespace orvandi {

// Attribute value for ListFirst that admits plain files only.
inline constexpr int kListPlainFiles = 0;

// What decides whether a file may replace the one at its destination. A version is the fixed
// file version of the file's version resource, most significant word first.
struct CopyFacts {
    bool sourceIsControl = false;  // a whole 32-bit (i386) Windows DLL
    std::optional<std::uint64_t> sourceVersion;
    std::optional<std::uint64_t> destinationVersion;
    bool sameBytes = false;  // the destination holds exactly the source's bytes
    bool destinationExists = false;
    // The destination is owned by TrustedInstaller: Windows protects it, and nobody else may
    // replace or rename it.
    bool destinationProtected = false;
};

// How a copy ended that did not fail on its way.
struct CopyResult {
    bool wasReadOnly = false;  // the file it replaced was read-only
    // Why the file there refused to give its name to the new copy (the copy's last step): a
    // program holds it, say. The file there is then as it was.
    std::optional<Failure> refused;
};

// A file opened once, and kept open with read sharing only until it is released: nobody can
// change it between the checks that decide its copy and the copy itself.
class SourceFile {
  public:
    virtual ~SourceFile() = default;
    // Reads the facts about this file and the destination it would be copied to. A destination
    // that is missing or cannot be read has no version and differs.
    virtual Result<CopyFacts> Inspect(const Text& destination) = 0;
    // Writes this file's data over destination, replacing an existing file, a read-only one too:
    // the destination is then either the old file or the whole new one. Fails when this file
    // cannot be read or the new copy cannot be written beside the destination; answers why when
    // only the destination's own refusal stopped it.
    virtual Result<CopyResult> CopyTo(const Text& destination) = 0;
};

// The mark of an unattended run in progress on this computer.
enum class RunMark {
    kTaken,       // this run holds it now
    kAnotherRun,  // another run holds it, or another program holds its file: try again later
    kRefused,     // this run may not make it: it is not an administrator's
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
    bool creatable = false;
};

struct TypeLibrary {
    Text libid;
    std::uint16_t major = 0, minor = 0;
    std::vector<CoClass> classes;
};

class Files {
  public:
    virtual ~Files() = default;

    // Starts a new listing of the names matching a folder-and-wildcard pattern and answers the
    // first bare name; ListNext answers the next one. The empty text ends the listing (also when
    // the folder does not exist).
    virtual Result<Text> ListFirst(const Text& pattern, int attributes) = 0;
    virtual Result<Text> ListNext() = 0;
    // Ends the listing in progress, if any.
    virtual void ListClose() = 0;
    // Opens a file to inspect and copy.
    virtual Result<std::unique_ptr<SourceFile>> OpenSource(const Text& path) = 0;
    virtual bool FileExists(const Text& path) = 0;
    // A file's version (nothing: it has none); fails when it cannot be opened.
    virtual Result<std::optional<std::uint64_t>> ReadVersion(const Text& path) = 0;
    // Renames a file aside, in its own folder, under a new name that says what it is; answers
    // the new path.
    virtual Result<Text> SetAside(const Text& path) = 0;
    virtual Status Rename(const Text& from, const Text& to) = 0;
    // Has Windows delete the file at the next restart.
    virtual Status DeleteAtRestart(const Text& path) = 0;
    // Whether two paths name one file (one volume, one file index): short names and the 32-bit
    // view of the system folder are the same file. Opens both: never for a path a user wrote.
    virtual bool SameFile(const Text& a, const Text& b) = 0;
    // What a control file imports, read without loading it.
    virtual Dependencies ReadDependencies(const Text& path) = 0;
    // The type library a control carries, read without registering anything; nothing when it
    // has none.
    virtual std::optional<TypeLibrary> ReadTypeLibrary(const Text& path) = 0;
    // Whether Windows finds the side-by-side assembly of this identity: its attributes as they
    // stand in a manifest (name="..." version="..." ...).
    virtual bool FindsAssembly(const Text& identity) = 0;
    // Marks an unattended run as in progress on this computer, seen from every session, until the
    // program ends, even by a crash. Only administrators and SYSTEM can make the mark, and
    // nothing another program holds can keep the next run from taking it.
    virtual Result<RunMark> ClaimRun() = 0;
    // Makes the folder (its parent must exist) unless it is there, and gives it to the
    // Administrators: only they and SYSTEM may change it or what it holds; others may read.
    virtual Status MakeAdministratorsFolder(const Text& path) = 0;
};

}  // namespace orvandi
