#include "core/pe_image.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

namespace orvandi {
namespace {

// Data directories.
constexpr int kImports = 1, kResources = 2, kDelayLoads = 13;

constexpr std::uint32_t kMostDlls = 4096;             // in one import table
constexpr std::uint64_t kLongestName = 256;           // of a DLL name, its NUL included
constexpr std::uint32_t kLargestResource = 16 << 20;  // no control carries a larger one
constexpr std::uint32_t kSubdirectory = 0x80000000;   // in a resource entry's offset
constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BD;

// Little-endian numbers in bytes read from the file.
std::uint32_t U16(const Bytes& bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
}
std::uint32_t U32(const Bytes& bytes, std::size_t at) {
    return U16(bytes, at) | U16(bytes, at + 2) << 16;
}

}  // namespace

PeImage::PeImage(ByteSource& source) : source_(source), size_(source.Size()) {
    const auto dos = ReadFile(0, 64);  // IMAGE_DOS_HEADER
    if (!dos || std::memcmp(dos->data(), "MZ", 2) != 0) return;
    // The signature, IMAGE_FILE_HEADER and a PE32 optional header with its 16 data directories.
    const std::uint64_t at = U32(*dos, 0x3c);
    const auto nt = ReadFile(at, 248);
    if (!nt || std::memcmp(nt->data(), "PE\0\0", 4) != 0 || U16(*nt, 24) != 0x10b) return;
    // The section headers follow the optional header, whatever size it gives itself.
    const auto table = ReadFile(at + 24 + U16(*nt, 20), U16(*nt, 6) * 40);
    if (!table) return;
    pe32_ = true;
    imageBase_ = U32(*nt, 52);
    headersSize_ = U32(*nt, 84);
    const std::uint32_t directories = std::min<std::uint32_t>(U32(*nt, 116), 16);
    for (std::uint32_t i = 0; i < directories; ++i) directories_[i] = U32(*nt, 120 + 8 * i);
    // i386, IMAGE_FILE_DLL.
    whole_ = U16(*nt, 4) == 0x14c && (U16(*nt, 22) & 0x2000) != 0;
    for (std::size_t i = 0; i < table->size(); i += 40) {
        const Section section{U32(*table, i + 12), U32(*table, i + 16), U32(*table, i + 20)};
        whole_ = whole_ && std::uint64_t{section.rawAt} + section.rawSize <= size_;
        sections_.push_back(section);
    }
}

std::optional<std::uint64_t> PeImage::FileVersion() {
    // VS_VERSIONINFO: three WORDs and the key L"VS_VERSION_INFO", then VS_FIXEDFILEINFO (52 bytes:
    // dwSignature, dwStrucVersion, dwFileVersionMS, dwFileVersionLS, ...) on the next 32-bit
    // boundary.
    constexpr std::size_t kFixedAt = 40;
    const auto version = Resource(16, 1);  // RT_VERSION, VS_VERSION_INFO
    if (!version || version->size() < kFixedAt + 52 ||
        U32(*version, kFixedAt) != kFixedInfoSignature) {
        return std::nullopt;
    }
    return std::uint64_t{U32(*version, kFixedAt + 8)} << 32 | U32(*version, kFixedAt + 12);
}

std::optional<Bytes> PeImage::Resource(std::uint16_t type, std::uint16_t id) {
    const std::uint64_t root = directories_[kResources];
    if (root == 0) return std::nullopt;
    // Three levels, each entry's offset counted from the root: type and name lead to a directory,
    // the language to the data's entry.
    const std::optional<std::uint16_t> path[] = {type, id, std::nullopt};
    std::uint64_t at = root;
    for (int level = 0; level < 3; ++level) {
        const auto entry = Entry(at, path[level]);
        if (!entry || ((*entry & kSubdirectory) != 0) != (level < 2)) return std::nullopt;
        at = root + (*entry & ~kSubdirectory);
    }
    const auto data = Read(at, 16);  // the data's RVA, its size, code page, reserved
    if (!data || U32(*data, 4) > kLargestResource) return std::nullopt;
    return Read(U32(*data, 0), U32(*data, 4));
}

std::optional<std::vector<Text>> PeImage::ImportedDlls() { return DllNames(kImports, false); }

std::optional<std::vector<Text>> PeImage::DelayLoadedDlls() { return DllNames(kDelayLoads, true); }

std::optional<Bytes> PeImage::ReadFile(std::uint64_t offset, std::uint64_t size) {
    if (offset > size_ || size > size_ - offset) return std::nullopt;
    Bytes bytes(static_cast<std::size_t>(size));
    if (size > 0 && !source_.ReadAt(offset, bytes.data(), static_cast<std::uint32_t>(size))) {
        return std::nullopt;
    }
    return bytes;
}

// Below SizeOfHeaders an RVA is its own offset (the headers); inside a section's raw data it lands
// there. Anything else, a section's zero-filled tail included, is in none of the file's data.
std::optional<PeImage::Place> PeImage::Locate(std::uint64_t rva) const {
    std::uint64_t offset = rva, end = headersSize_;
    for (const Section& section : sections_) {
        if (rva >= section.address && rva - section.address < section.rawSize) {
            offset = section.rawAt + (rva - section.address);
            end = std::uint64_t{section.rawAt} + section.rawSize;
            break;
        }
    }
    end = std::min(end, size_);
    if (offset >= end) return std::nullopt;
    return Place{offset, end - offset};
}

// `size` bytes at an RVA, all in one section's raw data (or the headers) and in the file.
std::optional<Bytes> PeImage::Read(std::uint64_t rva, std::uint64_t size) {
    const auto place = Locate(rva);
    if (!place || size > place->size) return std::nullopt;
    return ReadFile(place->offset, size);
}

// A NUL-terminated name at an RVA, its NUL within kLongestName bytes and the same section. Its
// bytes are ANSI: each becomes the character of the same number.
std::optional<Text> PeImage::Name(std::uint64_t rva) {
    const auto place = Locate(rva);
    const auto bytes =
        place ? ReadFile(place->offset, std::min(place->size, kLongestName)) : std::nullopt;
    const auto end =
        bytes ? std::find(bytes->begin(), bytes->end(), '\0') : Bytes::const_iterator();
    if (!bytes || end == bytes->end()) return std::nullopt;
    Text name;
    for (auto c = bytes->begin(); c != end; ++c) name += static_cast<unsigned char>(*c);
    return name;
}

// In the resource directory at `at` (an RVA), the offset of the entry with the numeric name `id`,
// or of the first entry without an id. A named entry has its top bit set, so no id matches it.
std::optional<std::uint32_t> PeImage::Entry(std::uint64_t at, std::optional<std::uint16_t> id) {
    const auto header = Read(at, 16);  // ..., NumberOfNamedEntries, NumberOfIdEntries
    if (!header) return std::nullopt;
    const auto entries = Read(at + 16, (U16(*header, 12) + U16(*header, 14)) * 8);
    if (!entries || entries->empty()) return std::nullopt;
    for (std::size_t i = 0; i < entries->size(); i += 8) {
        if (!id || U32(*entries, i) == *id) return U32(*entries, i + 4);
    }
    return std::nullopt;
}

// IMAGE_IMPORT_DESCRIPTORs (20 bytes: the name's RVA at 12, the import address table's at 16) or
// ImgDelayDescrs (32 bytes: attributes, the name at 4).
std::optional<std::vector<Text>> PeImage::DllNames(int directory, bool delayed) {
    if (!pe32_) return std::nullopt;
    std::vector<Text> names;
    const std::uint64_t table = directories_[directory];
    if (table == 0) return names;
    const std::uint32_t size = delayed ? 32 : 20;
    for (std::uint32_t i = 0; i <= kMostDlls; ++i) {
        const auto descriptor = Read(table + std::uint64_t{i} * size, size);
        if (!descriptor) return std::nullopt;
        std::uint64_t name = U32(*descriptor, delayed ? 4 : 12);
        // As for the loader, imports end at a descriptor without a name or an address table.
        if (name == 0 || (!delayed && U32(*descriptor, 16) == 0)) return names;
        // Old linkers wrote delay-load descriptors with addresses, not RVAs (attribute bit 0). An
        // address below ImageBase wraps far beyond any RVA, and Name refuses it.
        if (delayed && (U32(*descriptor, 0) & 1) == 0) name -= imageBase_;
        auto text = Name(name);
        if (!text) return std::nullopt;
        names.push_back(std::move(*text));
    }
    return std::nullopt;  // no end after kMostDlls: more DLLs than any control imports
}

}  // namespace orvandi
