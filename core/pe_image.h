// Reading a control file (a PE image) without loading it: whether 32-bit regsvr32 can load it, its
// version, a resource, the DLLs it imports. The program runs as administrator or SYSTEM, so every
// control it reads is hostile: each read is bounded by the file, no loop runs longer than a fixed
// count, and a malformed file gives false or nothing, never a crash.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/text.h"

namespace orvandi {

using Bytes = std::vector<char>;

// Where a PE file's bytes come from: a file opened once by the platform, or bytes in memory.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Size() = 0;
    // Reads exactly `size` bytes at `offset`; false when the file ends before them, or when the
    // read fails (the source keeps why, for its owner to tell: PeImage only sees that nothing
    // came).
    virtual bool ReadAt(std::uint64_t offset, void* buffer, std::uint32_t size) = 0;
};

class PeImage {
  public:
    // Reads and checks the headers once.
    explicit PeImage(ByteSource& source);

    // A PE32 image for i386 marked as a DLL, with the raw data of every section inside the file
    // (a cut-off download is not whole).
    bool IsWholeI386Dll() const { return whole_; }
    // The fixed file version of the version resource: dwFileVersionMS << 32 | dwFileVersionLS.
    std::optional<std::uint64_t> FileVersion();
    // The bytes of a resource by numeric type and numeric name, first language (the manifest:
    // type 24, id 2). Nothing when it is absent, any part of it points outside the file, or it is
    // larger than 16 MiB (no control carries such a resource; its bytes would be held in memory).
    std::optional<Bytes> Resource(std::uint16_t type, std::uint16_t id);
    // The DLL names of the import directory and of the delay-load directory, in table order;
    // empty without that directory. Nothing when the table is refused: a part of it outside the
    // file's data, a name without its NUL within 256 bytes, more than 4096 DLLs.
    std::optional<std::vector<Text>> ImportedDlls();
    std::optional<std::vector<Text>> DelayLoadedDlls();

  private:
    struct Section {
        std::uint32_t address, rawSize, rawAt;  // VirtualAddress, SizeOfRawData, PointerToRawData
    };
    struct Place {
        std::uint64_t offset, size;  // in the file: where an RVA lands, the bytes readable there
    };

    std::optional<Bytes> ReadFile(std::uint64_t offset, std::uint64_t size);
    std::optional<Place> Locate(std::uint64_t rva) const;
    std::optional<Bytes> Read(std::uint64_t rva, std::uint64_t size);
    std::optional<Text> Name(std::uint64_t rva);
    std::optional<std::uint32_t> Entry(std::uint64_t at, std::optional<std::uint16_t> id);
    std::optional<std::vector<Text>> DllNames(int directory, bool delayed);

    ByteSource& source_;
    std::uint64_t size_;
    bool pe32_ = false;   // the headers read as PE32: the directories and sections below are valid
    bool whole_ = false;  // see IsWholeI386Dll
    std::uint32_t imageBase_ = 0, headersSize_ = 0;
    std::uint32_t directories_[16] = {};  // the RVA of each data directory; 0 when absent
    std::vector<Section> sections_;
};

}  // namespace orvandi
