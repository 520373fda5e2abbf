// The PE reader on controls built in memory: a whole one, then each with one fault.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/pe_image.h"
#include "core/tests/sample_image.h"

namespace orvandi {

using Names = std::optional<std::vector<std::string>>;

struct Memory : ByteSource {
    std::string bytes;
    explicit Memory(std::string bytes) : bytes(std::move(bytes)) {}
    std::uint64_t Size() override { return bytes.size(); }
    bool ReadAt(std::uint64_t offset, void* buffer, std::uint32_t size) override {
        if (offset > bytes.size() || size > bytes.size() - offset) return false;
        std::memcpy(buffer, bytes.data() + offset, size);
        return true;
    }
};

// A third section header.
void AddSection(std::string& d, std::uint32_t address, std::uint32_t rawSize, std::uint32_t rawAt) {
    Put(d, 0x46, 3, 2);
    Put(d, 0x194, address);
    Put(d, 0x198, rawSize);
    Put(d, 0x19C, rawAt);
}

// The import table moved to a third section at the file's end: `count` descriptors of KERNEL32.
void ManyImports(std::string& d, std::uint32_t count) {
    AddSection(d, 0x10000, (count + 1) * 20, static_cast<std::uint32_t>(d.size()));
    Put(d, 0xC0, 0x10000);
    for (std::uint32_t i = 0; i < count; ++i) d += d.substr(0x200, 20);
    d.append(20, '\0');
}

struct Facts {
    bool whole;
    std::optional<std::uint64_t> version;
    std::optional<std::string> manifest;
    Names imports, delayed;
};

// The names as plain strings (they are ASCII), the resource's bytes as a string: short to compare.
Names Narrow(const std::optional<std::vector<Text>>& names) {
    if (!names) return std::nullopt;
    std::vector<std::string> narrow;
    for (const Text& name : *names) narrow.emplace_back(name.begin(), name.end());
    return narrow;
}

Facts Read(std::string bytes) {
    Memory source(std::move(bytes));
    PeImage image(source);
    const std::optional<Bytes> manifest = image.Resource(24, 2);
    return {image.IsWholeI386Dll(), image.FileVersion(),
            manifest ? std::optional<std::string>(std::in_place, manifest->begin(), manifest->end())
                     : std::nullopt,
            Narrow(image.ImportedDlls()), Narrow(image.DelayLoadedDlls())};
}

using Patch = void (*)(std::string&);

// Each row's fault made in a whole control, then what is read from it checked against the row.
template <typename Rows, typename Check>
void ForEachFault(const Rows& rows, Check check) {
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::string image = Control();
        row.patch(image);
        check(row, Read(image));
    }
}
const Names kImports = std::vector<std::string>{"KERNEL32.dll", "OLEAUT32.dll"};
const Names kDelayed = std::vector<std::string>{"COMDLG32.dll", "MSVBVM60.DLL"};
const Names kNoDlls = std::vector<std::string>{};

TEST(PeImage, WholeI386DllOnly) {
    const struct {
        const char* what;
        Patch patch;
        bool whole;
    } rows[] = {
        // clang-format off
        {"a whole DLL", [](std::string&) {}, true},
        {"no MZ", [](std::string& d) { Put(d, 0, "ZM"); }, false},
        {"the PE header past the end", [](std::string& d) { Put(d, 0x3c, 0xFFFFFFF0); }, false},
        {"no PE signature", [](std::string& d) { Put(d, 0x40, "NE"); }, false},
        {"x86-64", [](std::string& d) { Put(d, 0x44, 0x8664, 2); }, false},
        {"an executable, no DLL", [](std::string& d) { Put(d, 0x56, 0x0102, 2); }, false},
        {"PE32+", [](std::string& d) { Put(d, 0x58, 0x20b, 2); }, false},
        {"the last section a byte longer than the file", [](std::string& d) { Put(d, 0x170, 0x201); }, false},
        // A cut file: see EveryCutReadsTheWholeFactsOrNone.
        {"a section's data ending past 4 GiB", [](std::string& d) { Put(d, 0x174, 0xFFFFFF00); }, false},
        // clang-format on
    };
    ForEachFault(rows,
                 [](const auto& row, const Facts& facts) { EXPECT_EQ(facts.whole, row.whole); });
}

TEST(PeImage, VersionAndManifest) {
    const std::string kManifest = "<assembly/>";
    const struct {
        const char* what;
        Patch patch;
        std::optional<std::uint64_t> version;
        std::optional<std::string> manifest;
    } rows[] = {
        // clang-format off
        {"both", [](std::string&) {}, 0x0002000100030004, kManifest},
        {"no fixed-info signature", [](std::string& d) { Put(d, 0x6C8, 0xFEEF04BC); }, {}, kManifest},
        {"a version too short for its fixed info", [](std::string& d) { Put(d, 0x684, 91); }, {}, kManifest},
        {"no resource directory", [](std::string& d) { Put(d, 0xC8, 0); }, {}, {}},
        {"2 data directories", [](std::string& d) { Put(d, 0xB4, 2); }, {}, {}},
        {"no manifest by that id", [](std::string& d) { Put(d, 0x660, 3); }, 0x0002000100030004, {}},
        {"a language entry leading to a directory", [](std::string& d) { Put(d, 0x67C, 0x80000090); }, 0x0002000100030004, {}},
        {"a type entry leading to data", [](std::string& d) { Put(d, 0x614, 0x20); }, {}, kManifest},
        {"a type entry pointing outside the file", [](std::string& d) { Put(d, 0x614, 0xFFFFFFF0); }, {}, kManifest},
        {"more root entries than the section holds", [](std::string& d) { Put(d, 0x60E, 0xFFFF, 2); }, {}, {}},
        {"data up to the section's end", [](std::string& d) { Put(d, 0x694, 0x100); }, 0x0002000100030004, kManifest + std::string(245, '\0')},
        {"data a byte past the section's end", [](std::string& d) { Put(d, 0x694, 0x101); }, 0x0002000100030004, {}},
        {"data in the zero-filled tail", [](std::string& d) { Put(d, 0x690, 0x2200); }, 0x0002000100030004, {}},
        {"data at the top of the address space", [](std::string& d) { Put(d, 0x690, 0xFFFFFFF0); }, 0x0002000100030004, {}},
        {".rsrc right after the raw data of .rdata", [](std::string& d) { Put(d, 0x16C, 0x1400); Put(d, 0xC8, 0x1400); Put(d, 0x680, 0x14A0); Put(d, 0x690, 0x1500); }, 0x0002000100030004, kManifest},
        {"a named type before the numbered", [](std::string& d) { Put(d, 0x60C, 1, 2); Put(d, 0x60E, 1, 2); Put(d, 0x610, 0x80000100); }, {}, kManifest},
        {"data in a section past 4 GiB", [](std::string& d) { AddSection(d, 0x3000, 0x200, 0xFFFFFF00); Put(d, 0x690, 0x3100); }, 0x0002000100030004, {}},
        {"data of 16 MiB and a byte", [](std::string& d) { AddSection(d, 0x3000, 0x1000001, 0x800); d.resize(0x1000801); Put(d, 0x690, 0x3000); Put(d, 0x694, 0x1000001); }, 0x0002000100030004, {}},
        {"data in the headers", [](std::string& d) { Put(d, 0x690, 0x40); Put(d, 0x694, 4); }, 0x0002000100030004, std::string("PE\0\0", 4)},
        {"data across SizeOfHeaders", [](std::string& d) { Put(d, 0x690, 0x40); Put(d, 0x694, 4); Put(d, 0x94, 0x43); }, 0x0002000100030004, {}},
        // clang-format on
    };
    ForEachFault(rows, [](const auto& row, const Facts& facts) {
        EXPECT_EQ(facts.version, row.version);
        EXPECT_EQ(facts.manifest, row.manifest);
    });
}

TEST(PeImage, ImportedAndDelayLoadedDlls) {
    const std::string k255(255, 'A');
    const struct {
        const char* what;
        Patch patch;
        Names imports, delayed;
    } rows[] = {
        // clang-format off
        {"both tables", [](std::string&) {}, kImports, kDelayed},
        {"neither table", [](std::string& d) { Put(d, 0xC0, 0); Put(d, 0x120, 0); }, kNoDlls, kNoDlls},
        {"13 data directories", [](std::string& d) { Put(d, 0xB4, 13); }, kImports, kNoDlls},
        {"the section table after a longer optional header", [](std::string& d) { Put(d, 0x54, 0xF0, 2); Put(d, 0x148, d.substr(0x138, 80)); }, kImports, kDelayed},
        {"a descriptor without an address table ends the imports", [](std::string& d) { Put(d, 0x224, 0); }, std::vector<std::string>{"KERNEL32.dll"}, kDelayed},
        {"a name of 255 characters", [](std::string& d) { Put(d, 0x20C, 0x1200); Put(d, 0x400, std::string(255, 'A')); }, std::vector<std::string>{k255, "OLEAUT32.dll"}, kDelayed},
        {"a name of 256 characters", [](std::string& d) { Put(d, 0x20C, 0x1200); Put(d, 0x400, std::string(256, 'A')); }, {}, kDelayed},
        {"a name ending with the section", [](std::string& d) { Put(d, 0x20C, 0x13F8); Put(d, 0x5F8, "AAAAAAAA"); }, {}, kDelayed},
        {"a name outside the file", [](std::string& d) { Put(d, 0x20C, 0x5000); }, {}, kDelayed},
        {"a name in the zero-filled tail", [](std::string& d) { Put(d, 0x20C, 0x1400); }, {}, kDelayed},
        {"a name at the top of the address space", [](std::string& d) { Put(d, 0x20C, 0xFFFFFFFF); }, {}, kDelayed},
        {"a descriptor across the section's end", [](std::string& d) { Put(d, 0xC0, 0x13F0); }, {}, kDelayed},
        {"descriptors to the section's end, none ending the table", [](std::string& d) { Put(d, 0x5D8, d.substr(0x200, 40)); Put(d, 0xC0, 0x13D8); }, {}, kDelayed},
        {"imports at the top of the address space", [](std::string& d) { Put(d, 0xC0, 0xFFFFFFF0); }, {}, kDelayed},
        {"an old linker's address below an image base near 4 GiB", [](std::string& d) { Put(d, 0x74, 0xFFFFF000); Put(d, 0x264, 0x130); }, kImports, {}},
        {"a delay-load descriptor across the section's end", [](std::string& d) { Put(d, 0x120, 0x13F0); }, kImports, {}},
        {"4096 DLLs", [](std::string& d) { ManyImports(d, 4096); }, std::vector<std::string>(4096, "KERNEL32.dll"), kDelayed},
        {"4097 DLLs", [](std::string& d) { ManyImports(d, 4097); }, {}, kDelayed},
        // clang-format on
    };
    ForEachFault(rows, [](const auto& row, const Facts& facts) {
        EXPECT_EQ(facts.imports, row.imports);
        EXPECT_EQ(facts.delayed, row.delayed);
    });
}

// A control cut anywhere is no whole DLL, and each fact reads as in the whole control once the
// bytes it comes from are in, and not at all before.
TEST(PeImage, EveryCutReadsTheWholeFactsOrNone) {
    const std::string control = Control();
    const Facts whole = Read(control);
    for (std::size_t size = 0; size < control.size(); ++size) {
        SCOPED_TRACE(size);
        const Facts cut = Read(control.substr(0, size));
        EXPECT_FALSE(cut.whole);
        EXPECT_EQ(cut.version, size >= 0x6FC ? whole.version : std::nullopt);
        EXPECT_EQ(cut.manifest, size >= 0x70B ? whole.manifest : std::nullopt);
        EXPECT_EQ(cut.imports, size >= 0x31D ? whole.imports : std::nullopt);
        EXPECT_EQ(cut.delayed, size >= 0x33D ? whole.delayed : std::nullopt);
    }
}

}  // namespace orvandi
