// The release writer's image work on programs made here byte by byte: the
// resource directory as the loader searches it, the programs it refuses and
// why, the layout of a setup (32- and 64-bit) read back, and the PE checksum.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tools/le_bytes.h"
#include "tools/pe_image.h"
#include "tools/resource_section.h"

using namespace tavix;

namespace {

// ---------------------------------------------------------------- resources

// Finds an entry in a directory table as the loader does: a binary search of
// the named entries by their UTF-16 units, then of the numbered ones.
std::uint32_t Lookup(const std::string& section, std::uint32_t table, const ResId& id) {
    const unsigned named = Get16(section, table + 12), numbered = Get16(section, table + 14);
    std::size_t lo = id.IsName() ? 0 : named, hi = id.IsName() ? named : named + numbered;
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        const std::uint32_t field = Get32(section, table + 16 + 8 * mid);
        ResId here = ResId::Number(static_cast<std::uint16_t>(field));
        if (field & 0x80000000u) {
            const std::uint32_t at = field & 0x7FFFFFFF;
            here.name.resize(Get16(section, at));
            for (std::size_t k = 0; k < here.name.size(); ++k) here.name[k] = static_cast<char16_t>(Get16(section, at + 2 + 2 * k));
        }
        if (here == id) return Get32(section, table + 16 + 8 * mid + 4);
        if (here < id) lo = mid + 1;
        else hi = mid;
    }
    return 0xFFFFFFFF;
}

TEST(LayOutResources, TheLoaderFindsEveryEntryAndItsData) {
    const std::vector<ResourceEntry> entries = {
        {ResId::Number(24), ResId::Number(1), 0, 1500, 0},         // the application manifest
        {ResId::Ascii("TXTNAME"), ResId::Ascii("FILETXT5"), 2052, 7, 0},
        {ResId::Number(3), ResId::Number(2), 0, 300, 0},
        {ResId::Ascii("EXENAME"), ResId::Ascii("FILEEXE"), 2052, 1, 0},
        {ResId::Number(2), ResId::Ascii("IMAGTOP"), 0, 12, 0},
        {ResId::Number(3), ResId::Number(1), 0, 40, 0},
        {ResId::Ascii("TXTNAME"), ResId::Ascii("FILETXT4"), 2052, 0, 0},
        {ResId::Number(2), ResId::Ascii("IMAGLEFT"), 0, 33, 0},
        {ResId::Ascii("RCDATA"), ResId::Ascii("__LINE__"), 2052, 9, 0},
        {ResId::Number(10), ResId::Number(7001), 2052, 20, 0},
        {ResId::Number(16), ResId::Number(1), 2052, 700, 0},
        {ResId::Number(3), ResId::Number(1), 1033, 41, 0},
    };
    const std::uint32_t rva = 0x67000;
    ResourceLayout layout;
    ASSERT_EQ(LayOutResources(entries, rva, layout), "");

    // Data in the order given, each at an 8-byte boundary after the directory, none overlapping.
    std::uint64_t end = layout.directory.size();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(layout.dataOffsets[i] % 8, 0u) << i;
        EXPECT_GE(layout.dataOffsets[i], end) << i;
        end = layout.dataOffsets[i] + std::uint64_t{entries[i].size};
    }
    EXPECT_EQ(layout.size, end);

    // Each entry is found by type, name and language, and its data entry names its bytes.
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ResourceEntry& e = entries[i];
        std::uint32_t names = Lookup(layout.directory, 0, e.type);
        ASSERT_TRUE(names & 0x80000000u) << e.type.Text();
        std::uint32_t languages = Lookup(layout.directory, names & 0x7FFFFFFF, e.name);
        ASSERT_TRUE(languages & 0x80000000u) << e.name.Text();
        std::uint32_t data = Lookup(layout.directory, languages & 0x7FFFFFFF, ResId::Number(e.language));
        ASSERT_FALSE(data & 0x80000000u) << e.name.Text();
        EXPECT_EQ(Get32(layout.directory, data), rva + layout.dataOffsets[i]) << e.name.Text();
        EXPECT_EQ(Get32(layout.directory, data + 4), e.size) << e.name.Text();
    }
    EXPECT_EQ(Lookup(layout.directory, 0, ResId::Ascii("NONAME")), 0xFFFFFFFF);

    // No time stamp or other state: the same entries give the same bytes.
    ResourceLayout again;
    ASSERT_EQ(LayOutResources(entries, rva, again), "");
    EXPECT_EQ(again.directory, layout.directory);
}

TEST(LayOutResources, RefusesTwoEntriesOfOneTypeNameAndLanguage) {
    ResourceLayout layout;
    EXPECT_EQ(LayOutResources({{ResId::Ascii("EXENAME"), ResId::Ascii("FILEEXE"), 2052, 1, 0},
                               {ResId::Ascii("TXTNAME"), ResId::Ascii("FILEEXE"), 2052, 1, 0},
                               {ResId::Ascii("EXENAME"), ResId::Ascii("FILEEXE"), 2052, 2, 0}},
                              0x1000, layout),
              "two resources of type EXENAME, name FILEEXE and language 2052");
    EXPECT_EQ(LayOutResources({{ResId::Ascii("A"), ResId::Ascii("B"), 2052, 0xF0000000u, 0},
                               {ResId::Ascii("A"), ResId::Ascii("C"), 2052, 0x10000000u, 0}},
                              0x1000, layout),
              "the resources come to more than 4 GB");
}

// ------------------------------------------------------------------ programs

constexpr std::uint32_t kFileAlign = 0x200, kSectionAlign = 0x1000;

std::uint32_t Align(std::uint32_t n, std::uint32_t to) { return (n + to - 1) / to * to; }

struct Section {
    std::string name, bytes;
    std::uint32_t characteristics;
};

// A program as a linker writes one: MS-DOS header, PE header, optional header
// with 16 directory entries, the sections in order. `resources` and
// `relocations` name the sections that the data directory points at (-1: none).
struct Program {
    bool pe32plus = false;
    std::vector<Section> sections;
    int resources = -1, relocations = -1;
    std::uint16_t characteristics = 0x0102;
    std::uint32_t debugRva = 0;  // a debug directory entry at this RVA, when set

    std::vector<std::uint32_t> Rvas() const {
        std::vector<std::uint32_t> out;
        std::uint32_t va = kSectionAlign;
        for (const Section& s : sections) {
            out.push_back(va);
            va += Align(std::max<std::uint32_t>(static_cast<std::uint32_t>(s.bytes.size()), 1), kSectionAlign);
        }
        return out;
    }

    std::string Bytes() const {
        std::string f(0x400, '\0');
        f[0] = 'M';
        f[1] = 'Z';
        Set32(f, 0x3C, 0x80);
        std::memcpy(&f[0x80], "PE\0\0", 4);
        const std::uint32_t optSize = pe32plus ? 240 : 224, opt = 0x98, table = opt + optSize;
        Set16(f, 0x84, pe32plus ? 0x8664 : 0x14C);
        Set16(f, 0x86, static_cast<unsigned>(sections.size()));
        Set16(f, 0x94, optSize);
        Set16(f, 0x96, characteristics);
        Set16(f, opt, pe32plus ? 0x20B : 0x10B);
        Set32(f, opt + 16, 0x1000);  // entry point
        Set32(f, opt + 32, kSectionAlign);
        Set32(f, opt + 36, kFileAlign);
        Set32(f, opt + 60, 0x400);
        const std::uint32_t dirs = pe32plus ? 112 : 96;
        Set32(f, opt + dirs - 4, 16);
        const std::vector<std::uint32_t> rvas = Rvas();
        std::uint32_t raw = 0x400;
        for (std::size_t i = 0; i < sections.size(); ++i) {
            const Section& s = sections[i];
            const std::uint32_t h = table + 40 * static_cast<std::uint32_t>(i), size = static_cast<std::uint32_t>(s.bytes.size());
            std::memcpy(&f[h], s.name.data(), s.name.size());
            Set32(f, h + 8, size);
            Set32(f, h + 12, rvas[i]);
            Set32(f, h + 16, Align(size, kFileAlign));
            Set32(f, h + 20, raw);
            Set32(f, h + 36, s.characteristics);
            raw += Align(size, kFileAlign);
        }
        Set32(f, opt + 56, rvas.back() + Align(static_cast<std::uint32_t>(sections.back().bytes.size()), kSectionAlign));
        if (resources >= 0) {
            Set32(f, opt + dirs + 16, rvas[resources]);
            Set32(f, opt + dirs + 20, static_cast<std::uint32_t>(sections[resources].bytes.size()));
        }
        if (relocations >= 0) {
            Set32(f, opt + dirs + 40, rvas[relocations]);
            Set32(f, opt + dirs + 44, static_cast<std::uint32_t>(sections[relocations].bytes.size()));
        }
        if (debugRva) {
            Set32(f, opt + dirs + 48, debugRva);
            Set32(f, opt + dirs + 52, 28);
        }
        for (const Section& s : sections) {
            f += s.bytes;
            f.resize(Align(static_cast<std::uint32_t>(f.size()), kFileAlign), '\0');
        }
        return f;
    }
};

// The resource section of a program: its icon and a named picture, with
// their bytes.
std::string ProgramResources(std::uint32_t rva) {
    const std::vector<ResourceEntry> entries = {{ResId::Number(3), ResId::Number(1), 0, 5, 0},
                                                {ResId::Number(2), ResId::Ascii("IMAGTOP"), 0, 3, 0}};
    ResourceLayout layout;
    EXPECT_EQ(LayOutResources(entries, rva, layout), "");
    std::string s = layout.directory;
    s.resize(layout.dataOffsets[0]);
    s += "icon!";
    s.resize(layout.dataOffsets[1], '\0');
    s += "top";
    return s;
}

// .text, .rsrc and .reloc, as GNU ld lays out the setup program.
Program SetupProgram(bool pe32plus) {
    Program p;
    p.pe32plus = pe32plus;
    p.sections = {{".text", std::string(0x300, '\xC3'), 0x60000020},
                  {".rsrc", "", 0xC0000040},
                  {".reloc", std::string("\x00\x10\x00\x00\x0C\x00\x00\x00\x04\x30\x00\x00", 12), 0x42000040}};
    p.sections[1].bytes = ProgramResources(p.Rvas()[1]);
    p.resources = 1;
    p.relocations = 2;
    return p;
}

ProgramImage Read(const std::string& file, bool allow64, std::string& problem) {
    ProgramImage image;
    problem = ReadProgram(
        file.size(),
        [&](std::uint64_t at, void* out, std::size_t n) {
            if (at > file.size() || n > file.size() - at) return false;
            std::memcpy(out, file.data() + at, n);
            return true;
        },
        allow64, image);
    return image;
}

std::string Problem(const std::string& file, bool allow64 = false) {
    std::string problem;
    Read(file, allow64, problem);
    return problem;
}

TEST(ReadProgram, RefusesWhatIsNoUsableProgramSayingWhy) {
    const std::string good = SetupProgram(false).Bytes();
    Program signedProgram = SetupProgram(false);
    std::string withSignature = signedProgram.Bytes();
    Set32(withSignature, 0x98 + 96 + 32, static_cast<std::uint32_t>(withSignature.size()));
    Set32(withSignature, 0x98 + 96 + 36, 0x200);
    withSignature += std::string(0x200, 'S');
    Program dll = SetupProgram(false);
    dll.characteristics = 0x2102;
    Program sectionAfter = SetupProgram(false);
    sectionAfter.sections.push_back({".debug", std::string(16, 'd'), 0x42000040});
    Program dataInResources = SetupProgram(false);
    dataInResources.debugRva = dataInResources.Rvas()[1] + 0x100;
    Program loop = SetupProgram(false);
    Set32(loop.sections[1].bytes, 16 + 4, 0x80000000u | 0x7FFF0);  // a type table beyond the section
    std::string dos = good;
    std::memcpy(&dos[0x80], "NE\0\0", 4);
    // .text so large in memory that its end, counted in 32 bits, would fall
    // before the sections after it.
    std::string wrapping = good;
    Set32(wrapping, 0x98 + 224 + 8, 0xFFFFF800u);
    // Tables that lead to one another: each of 200 types to one table of 200
    // names, each to one table of 200 languages, eight million resources.
    Program tangled = SetupProgram(false);
    {
        std::string& rs = tangled.sections[1].bytes;
        const std::uint32_t n = 200, size = 16 + 8 * n, data = 3 * size;
        rs.assign(data + 16, '\0');
        // The types' table leads to the names' table, which leads to the languages' table.
        for (std::uint32_t level = 0; level < 3; ++level) {
            const std::uint32_t at = level * size;
            Set16(rs, at + 14, n);
            for (std::uint32_t i = 0; i < n; ++i) {
                Set32(rs, at + 16 + 8 * i, i + 1);
                Set32(rs, at + 20 + 8 * i, level < 2 ? 0x80000000u | (at + size) : data);
            }
        }
        Set32(rs, data, tangled.Rvas()[1]);
    }
    struct Case {
        const char* what;
        std::string file;
        const char* words;
    };
    const Case cases[] = {
        {"an ELF file", std::string("\x7F" "ELF\x02\x01\x01", 7) + std::string(100, '\0'), "it is an ELF file"},
        {"text", "#!/bin/sh\necho hello\n", "does not begin with \"MZ\""},
        {"empty", "", "does not begin with \"MZ\""},
        {"MZ only", "MZ", "is truncated (2 bytes): it ends inside the MS-DOS header"},
        {"cut in the PE header", good.substr(0, 0x90), "is truncated (144 bytes): it ends before its PE header"},
        {"cut in the section table", good.substr(0, 0x190), "is truncated (400 bytes): it ends inside its section table"},
        {"cut in the headers", good.substr(0, 0x300), "is truncated (768 bytes): it ends inside its headers"},
        {"cut in a section", good.substr(0, 0x500), "is truncated (1280 bytes): its section \".text\" ends at byte 2048"},
        {"cut at a section", good.substr(0, good.size() - 0x200), "its section \".reloc\" ends at byte"},
        {"an MS-DOS program", dos, "has no PE header"},
        {"64 bits", SetupProgram(true).Bytes(), "is a 64-bit program (PE32+)"},
        {"a DLL", dll.Bytes(), "is a DLL, not a program"},
        {"signed", withSignature, "is signed (it carries a certificate table)"},
        {"appended bytes", good + "appended", "has 8 bytes after its last section"},
        {"a section after the resources", sectionAfter.Bytes(), "has the section \".debug\" after its resources"},
        {"data in the resources", dataInResources.Bytes(), "data directory entry 6"},
        {"a damaged resource directory", loop.Bytes(), "has a damaged resource directory"},
        {"a section past 4 GB", wrapping, "has a damaged section table (section \".text\""},
        {"tables that lead to each other", tangled.Bytes(), "has a damaged resource directory (too many entries)"},
    };
    for (const Case& c : cases) {
        const std::string problem = Problem(c.file);
        EXPECT_NE(problem.find(c.words), std::string::npos) << c.what << ": " << problem;
    }
    EXPECT_EQ(Problem(good), "");
    EXPECT_EQ(Problem(SetupProgram(true).Bytes(), true), "");
}

// A setup made and signed is read for what it says of itself, of either word
// size; what is no program is still refused.
TEST(ReadSetupImage, ReadsASignedSetupOfEitherWordSize) {
    std::string withSignature = SetupProgram(false).Bytes();
    Set32(withSignature, 0x98 + 96 + 32, static_cast<std::uint32_t>(withSignature.size()));
    Set32(withSignature, 0x98 + 96 + 36, 0x200);
    withSignature += std::string(0x200, 'S');
    for (const std::string& file : {withSignature, SetupProgram(true).Bytes()}) {
        ProgramImage image;
        const std::string problem = ReadSetupImage(
            file.size(),
            [&](std::uint64_t at, void* out, std::size_t n) {
                if (at > file.size() || n > file.size() - at) return false;
                std::memcpy(out, file.data() + at, n);
                return true;
            },
            image);
        EXPECT_EQ(problem, "");
        ASSERT_EQ(image.resources.size(), 2u);
        EXPECT_EQ(file.substr(image.resources[0].fileOffset, image.resources[0].entry.size), "top");
    }
    ProgramImage image;
    EXPECT_NE(ReadSetupImage(2, [](std::uint64_t, void* out, std::size_t n) {
                  std::memcpy(out, "MZ", n);
                  return n <= 2;
              }, image).find("is truncated"), std::string::npos);
}

// Assembles the setup's file as the writer does, with `resources` as the
// resource section's bytes.
std::string Assemble(const std::string& program, const ImagePlan& plan, const std::string& resources) {
    std::string out = plan.headers + program.substr(plan.headers.size(), plan.keep - plan.headers.size());
    out += resources;
    out.resize(plan.keep + plan.resourceRawSize, '\0');
    for (const ImagePlan::Range& r : plan.moved) out += program.substr(r.from, r.size);
    EXPECT_EQ(out.size(), plan.fileSize);
    return out;
}

// The setup of a program: its resources and two items in a section written
// anew, read back as a program.
class PlanImageTest : public ::testing::TestWithParam<bool> {};

TEST_P(PlanImageTest, ResourcesRebuiltAndTheRelocationsMovedBehindThem) {
    const bool pe32plus = GetParam();
    const std::string program = SetupProgram(pe32plus).Bytes();
    std::string problem;
    const ProgramImage image = Read(program, true, problem);
    ASSERT_EQ(problem, "");
    ASSERT_EQ(image.resources.size(), 2u);

    std::vector<ResourceEntry> entries;
    std::vector<std::string> data;
    for (const ProgramResource& r : image.resources) {
        entries.push_back(r.entry);
        data.push_back(program.substr(r.fileOffset, r.entry.size));
    }
    EXPECT_EQ(data[0], "top");  // the named picture comes first in the loader's order
    EXPECT_EQ(data[1], "icon!");
    entries.push_back({ResId::Ascii("BIGDATA"), ResId::Ascii("BIGDATA01"), 2052, 0x2345, 0});
    data.push_back(std::string(0x2345, 'B'));
    entries.push_back({ResId::Ascii("TXTNAME"), ResId::Ascii("FILETXT5"), 2052, 3, 0});
    data.push_back("log");
    ResourceLayout layout;
    ASSERT_EQ(LayOutResources(entries, ResourceRva(image), layout), "");
    std::string section = layout.directory;
    for (std::size_t i = 0; i < data.size(); ++i) {
        section.resize(layout.dataOffsets[i], '\0');
        section += data[i];
    }
    ImagePlan plan;
    ASSERT_EQ(PlanImage(image, layout.size, plan), "");
    const std::string setup = Assemble(program, plan, section);

    const ProgramImage again = Read(setup, true, problem);
    ASSERT_EQ(problem, "");
    ASSERT_EQ(again.sections.size(), 3u);
    const PeSection &text = again.sections[0], &rsrc = again.sections[1], &reloc = again.sections[2];
    EXPECT_EQ(rsrc.virtualAddress, image.sections[1].virtualAddress);
    EXPECT_EQ(rsrc.virtualSize, layout.size);
    EXPECT_EQ(rsrc.characteristics, 0x40000040u);
    EXPECT_EQ(reloc.virtualAddress, Align(rsrc.virtualAddress + layout.size, kSectionAlign));
    EXPECT_EQ(setup.substr(text.rawPointer, text.rawSize), program.substr(image.sections[0].rawPointer, text.rawSize));
    EXPECT_EQ(setup.substr(reloc.rawPointer, reloc.rawSize),
              program.substr(image.sections[2].rawPointer, image.sections[2].rawSize));

    const std::uint32_t opt = again.optionalHeader, dirs = opt + (pe32plus ? 112 : 96);
    EXPECT_EQ(Get32(setup, dirs + 16), rsrc.virtualAddress);
    EXPECT_EQ(Get32(setup, dirs + 20), layout.size);
    EXPECT_EQ(Get32(setup, dirs + 40), reloc.virtualAddress);
    EXPECT_EQ(Get32(setup, dirs + 44), 12u);
    EXPECT_EQ(Get32(setup, opt + 56), reloc.virtualAddress + kSectionAlign);  // image size
    EXPECT_EQ(Get32(setup, opt + 16), 0x1000u);                               // entry point kept
    EXPECT_EQ(plan.checksumOffset, opt + 64);

    ASSERT_EQ(again.resources.size(), entries.size());
    for (const ProgramResource& r : again.resources) {
        auto it = std::find_if(entries.begin(), entries.end(), [&](const ResourceEntry& e) {
            return e.type == r.entry.type && e.name == r.entry.name && e.language == r.entry.language;
        });
        ASSERT_NE(it, entries.end());
        EXPECT_EQ(setup.substr(r.fileOffset, r.entry.size), data[it - entries.begin()]) << r.entry.name.Text();
    }
}

INSTANTIATE_TEST_SUITE_P(Pe32AndPe32Plus, PlanImageTest, ::testing::Values(false, true));

TEST(PlanImage, AddsASectionToAProgramWithoutResources) {
    Program p;
    p.sections = {{".text", std::string(0x300, '\xC3'), 0x60000020}, {".data", "data", 0xC0000040}};
    const std::string program = p.Bytes();
    std::string problem;
    const ProgramImage image = Read(program, false, problem);
    ASSERT_EQ(problem, "");
    EXPECT_EQ(image.resourceSection, -1);
    EXPECT_EQ(ResourceRva(image), 0x3000u);
    ResourceLayout layout;
    ASSERT_EQ(LayOutResources({{ResId::Ascii("TXTNAME"), ResId::Ascii("FILETXT5"), 2052, 3, 0}}, 0x3000, layout), "");
    ImagePlan plan;
    ASSERT_EQ(PlanImage(image, layout.size, plan), "");
    std::string section = layout.directory;
    section.resize(layout.dataOffsets[0], '\0');
    section += "log";
    const ProgramImage again = Read(Assemble(program, plan, section), false, problem);
    ASSERT_EQ(problem, "");
    ASSERT_EQ(again.sections.size(), 3u);
    EXPECT_EQ(again.sections[2].name, ".rsrc");
    EXPECT_EQ(again.resourceSection, 2);
    ASSERT_EQ(again.resources.size(), 1u);
    EXPECT_EQ(again.resources[0].entry.name.Text(), "FILETXT5");
}

// ------------------------------------------------------------------- checksum

// The checksum as Windows computes it: word by word, folding the carry each time.
std::uint32_t WordByWord(const std::string& file, std::size_t checksumOffset) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < file.size(); i += 2) {
        std::uint32_t word = static_cast<unsigned char>(file[i]);
        if (i + 1 < file.size()) word |= static_cast<unsigned char>(file[i + 1]) << 8;
        if (i >= checksumOffset && i < checksumOffset + 4) word = 0;
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return ((sum & 0xFFFF) + (sum >> 16)) + static_cast<std::uint32_t>(file.size());
}

TEST(PeChecksum, AsWindowsComputesItWhateverThePieces) {
    std::mt19937 random(7);
    for (std::size_t size : {0u, 1u, 2u, 3u, 1001u, 65536u, 200003u}) {
        std::string file(size, '\0');
        for (char& c : file) c = static_cast<char>(random());
        if (size > 100) std::memset(&file[64], 0, 4);  // the CheckSum field, as written before it is known
        PeChecksum whole, pieces;
        whole.Add(file.data(), file.size());
        for (std::size_t at = 0; at < file.size();) {
            std::size_t n = std::min<std::size_t>(random() % 9, file.size() - at);
            pieces.Add(file.data() + at, n);
            at += n;
        }
        EXPECT_EQ(whole.Finish(size), WordByWord(file, 64)) << size;
        EXPECT_EQ(pieces.Finish(size), WordByWord(file, 64)) << size;
    }
    // All ones: the sum wraps to 0xFFFF, never to 0.
    std::string ones(4096, '\xFF');
    PeChecksum s;
    s.Add(ones.data(), ones.size());
    EXPECT_EQ(s.Finish(ones.size()), WordByWord(ones, ones.size()));
}

} // namespace
