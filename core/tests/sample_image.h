// A control built in memory as a linker lays it out, and helpers that write its fields.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

namespace orvandi {

inline void Put(std::string& image, std::size_t at, std::uint32_t value, int bytes = 4) {
    for (int i = 0; i < bytes; ++i) image[at + i] = static_cast<char>(value >> 8 * i);
}
inline void Put(std::string& image, std::size_t at, const std::string& text) {
    image.replace(at, text.size(), text);
}
inline void Put(std::string& image,
                std::initializer_list<std::pair<std::size_t, std::uint32_t>> fields) {
    for (const auto& [at, value] : fields) Put(image, at, value);
}

// A resource directory: id entries, each an id and an offset from the root (top bit: a directory).
inline void Directory(std::string& image, std::size_t at,
                      std::initializer_list<std::pair<std::uint32_t, std::uint32_t>> entries) {
    Put(image, at + 14, static_cast<std::uint32_t>(entries.size()), 2);
    for (const auto& [id, offset] : entries) {
        Put(image, at + 16, id);  // the entries follow the 16-byte header
        Put(image, at + 20, offset);
        at += 8;
    }
}

// A control as a linker lays it out, 0x800 bytes: the headers (0x200), .rdata (RVA 0x1000, file
// 0x200, 0x400 bytes) with the import and delay-load tables and the DLL names, .rsrc (RVA 0x2000,
// file 0x600, 0x200 bytes) with a version resource and a manifest.
inline std::string Control() {
    std::string d(0x800, '\0');
    Put(d, 0, "MZ");
    Put(d, 0x3c, 0x40);
    Put(d, 0x40, "PE");
    Put(d, 0x44, 0x14c, 2);    // i386
    Put(d, 0x46, 2, 2);        // sections
    Put(d, 0x54, 0xE0, 2);     // SizeOfOptionalHeader: the section table at 0x138
    Put(d, 0x56, 0x2102, 2);   // a DLL
    Put(d, 0x58, 0x10b, 2);    // PE32
    Put(d, 0x74, 0x10000000);  // ImageBase
    Put(d, 0x94, 0x200);       // SizeOfHeaders
    Put(d, 0xB4, 16);          // data directories: imports, resources, delay loads
    Put(d, {{0xC0, 0x1000}, {0xC8, 0x2000}, {0x120, 0x1040}});
    for (std::uint32_t i = 0; i < 2; ++i) {
        Put(d, 0x138 + 40 * i, i == 0 ? ".rdata" : ".rsrc");
        Put(d, 0x144 + 40 * i, 0x1000 + 0x1000 * i);
        Put(d, 0x148 + 40 * i, 0x400 - 0x200 * i);
        Put(d, 0x14C + 40 * i, 0x200 + 0x400 * i);
    }
    // Import descriptors, then delay-load ones: with RVAs, and an old linker's with addresses.
    Put(d, {{0x20C, 0x1100}, {0x210, 0x1180}, {0x220, 0x1110}, {0x224, 0x1180}});
    Put(d, {{0x240, 1}, {0x244, 0x1120}, {0x264, 0x10001130}});
    Put(d, 0x300, "KERNEL32.dll");
    Put(d, 0x310, "OLEAUT32.dll");
    Put(d, 0x320, "COMDLG32.dll");
    Put(d, 0x330, "MSVBVM60.DLL");
    // Type 16 > name 1 > language 0x409 > the version; type 24 > 2 > 0x409 > the manifest.
    Directory(d, 0x600, {{16, 0x80000020}, {24, 0x80000050}});
    Directory(d, 0x620, {{1, 0x80000038}});
    Directory(d, 0x638, {{0x409, 0x80}});
    Directory(d, 0x650, {{2, 0x80000068}});
    Directory(d, 0x668, {{0x409, 0x90}});
    // The data entries (RVA, size); at 40 in the version its fixed info: signature, 2.1.3.4.
    Put(d, {{0x680, 0x20A0}, {0x684, 92}, {0x690, 0x2100}, {0x694, 11}});
    Put(d, {{0x6C8, 0xFEEF04BD}, {0x6D0, 0x00020001}, {0x6D4, 0x00030004}});
    Put(d, 0x700, "<assembly/>");
    return d;
}

}  // namespace orvandi
