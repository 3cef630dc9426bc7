#include "pe_image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "le_bytes.h"

namespace tavix {
namespace {

// Offsets in the headers.
constexpr std::uint32_t kPeOffsetField = 0x3C;
constexpr std::uint32_t kCoffHeader = 4, kCoffSize = 20, kSectionHeader = 40;
// In the optional header, the same for PE32 and PE32+.
constexpr std::uint32_t kInitializedData = 8, kSectionAlignment = 32, kFileAlignment = 36, kImageSize = 56,
                        kHeadersSize = 60, kCheckSum = 64;
// Data directory entries.
constexpr unsigned kResourceDirectory = 2, kSecurityDirectory = 4, kRelocationDirectory = 5;
constexpr std::uint32_t kMaxHeaders = 1u << 16;
constexpr unsigned kMachineI386 = 0x14C, kMachineAmd64 = 0x8664;
constexpr std::uint32_t kResourceCharacteristics = 0x40000040;  // initialized data, read only

std::uint64_t Align(std::uint64_t n, std::uint64_t to) { return (n + to - 1) / to * to; }
bool PowerOfTwo(std::uint32_t n) { return n && !(n & (n - 1)); }

std::uint32_t DirectoryCountField(bool pe32plus) { return pe32plus ? 108 : 92; }
std::uint32_t DirectoryField(bool pe32plus, unsigned index) { return (pe32plus ? 112 : 96) + 8 * index; }

std::string Number(std::uint64_t n) { return std::to_string(n); }

struct Directory {
    std::uint32_t rva = 0, size = 0;
};

// The data directory entry `index` of the headers; empty when it has none.
Directory DirectoryOf(const ProgramImage& p, unsigned index) {
    const std::uint32_t count = Get32(p.headers, p.optionalHeader + DirectoryCountField(p.pe32plus));
    if (index >= count) return Directory{};
    const std::uint32_t at = p.optionalHeader + DirectoryField(p.pe32plus, index);
    return Directory{Get32(p.headers, at), Get32(p.headers, at + 4)};
}

// Where a section ends in memory; past 4 GB for a damaged one.
std::uint64_t VirtualEnd(const PeSection& s) {
    return static_cast<std::uint64_t>(s.virtualAddress) + std::max(s.virtualSize, s.rawSize);
}

// Reads the resource directory of the section `s` of `p`.
class ResourceReader {
public:
    ResourceReader(ProgramImage& p, const PeSection& s, const ReadAtFn& read) : p_(p), s_(s), read_(read) {}

    std::string Read() {
        std::vector<std::pair<ResId, std::uint32_t>> types, names, languages;
        if (!Table(0, types)) return problem_;
        for (const auto& [type, typeTable] : types) {
            if (!(typeTable & kSub)) return Damaged("a type leads to data, not to its names");
            if (!Table(typeTable & ~kSub, names)) return problem_;
            for (const auto& [name, nameTable] : names) {
                if (!(nameTable & kSub)) return Damaged("a name leads to data, not to its languages");
                if (!Table(nameTable & ~kSub, languages)) return problem_;
                for (const auto& [language, dataEntry] : languages) {
                    if ((dataEntry & kSub) || language.IsName()) return Damaged("a language is not a number");
                    unsigned char e[16];
                    if (!At(dataEntry, e, sizeof e)) return problem_;
                    std::string entry(reinterpret_cast<char*>(e), sizeof e);
                    ProgramResource r;
                    r.entry.type = type;
                    r.entry.name = name;
                    r.entry.language = language.number;
                    r.entry.size = Get32(entry, 4);
                    r.entry.codePage = Get32(entry, 8);
                    const std::uint32_t rva = Get32(entry, 0);
                    if (!FileOffset(rva, r.entry.size, r.fileOffset))
                        return Damaged("the data of resource " + type.Text() + "/" + name.Text() +
                                       " lies outside the file's sections");
                    p_.resources.push_back(r);
                }
            }
        }
        return std::string();
    }

private:
    static constexpr std::uint32_t kSub = 0x80000000u;

    std::string Damaged(const std::string& why) {
        if (problem_.empty()) problem_ = "has a damaged resource directory (" + why + ")";
        return problem_;
    }

    // Bytes of the section at `offset`.
    bool At(std::uint32_t offset, void* out, std::size_t size) {
        if (offset > s_.rawSize || size > s_.rawSize - offset || offset % 2) {
            Damaged("an offset leads outside the section");
            return false;
        }
        if (!read_(s_.rawPointer + static_cast<std::uint64_t>(offset), out, size)) {
            problem_ = "cannot be read";
            return false;
        }
        return true;
    }

    // The entries of the table at `offset`: identifier and the offset field.
    bool Table(std::uint32_t offset, std::vector<std::pair<ResId, std::uint32_t>>& out) {
        out.clear();
        if (++tables_ > kMaxTables) {
            Damaged("too many tables");
            return false;
        }
        unsigned char h[16];
        if (!At(offset, h, sizeof h)) return false;
        std::string header(reinterpret_cast<char*>(h), sizeof h);
        const std::size_t count = Get16(header, 12) + Get16(header, 14);
        // Tables may lead to each other many times over; what they name together is bounded.
        entries_ += count;
        if (entries_ > kMaxEntries) {
            Damaged("too many entries");
            return false;
        }
        std::string entries(count * 8, '\0');
        if (count && !At(offset + 16, &entries[0], entries.size())) return false;
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint32_t id = Get32(entries, 8 * i);
            ResId rid = ResId::Number(static_cast<std::uint16_t>(id));
            if (id & kSub) {
                unsigned char len[2];
                if (!At(id & ~kSub, len, 2)) return false;
                const std::size_t n = len[0] | len[1] << 8;
                std::string text(2 * n, '\0');
                if (n && !At((id & ~kSub) + 2, &text[0], text.size())) return false;
                rid.name.resize(n);
                for (std::size_t k = 0; k < n; ++k) rid.name[k] = static_cast<char16_t>(Get16(text, 2 * k));
                if (rid.name.empty()) {
                    Damaged("an empty name");
                    return false;
                }
            } else if (id > 0xFFFF) {
                Damaged("an identifier larger than 65535");
                return false;
            }
            out.emplace_back(rid, Get32(entries, 8 * i + 4));
        }
        return true;
    }

    bool FileOffset(std::uint32_t rva, std::uint32_t size, std::uint64_t& out) const {
        for (const PeSection& s : p_.sections) {
            if (rva >= s.virtualAddress && rva - s.virtualAddress <= s.rawSize &&
                size <= s.rawSize - (rva - s.virtualAddress)) {
                out = s.rawPointer + static_cast<std::uint64_t>(rva - s.virtualAddress);
                return true;
            }
        }
        return false;
    }

    static constexpr int kMaxTables = 1 << 16;
    static constexpr std::size_t kMaxEntries = 1 << 16;
    ProgramImage& p_;
    const PeSection& s_;
    const ReadAtFn& read_;
    std::string problem_;
    int tables_ = 0;
    std::size_t entries_ = 0;
};

// Reads the headers and the resources. `setup`: the file is a setup the
// writer made, which may be signed (its certificate table follows the last
// section) and is read, not rebuilt.
std::string ReadImage(std::uint64_t fileSize, const ReadAtFn& read, bool allow64, bool setup, ProgramImage& p) {
    p = ProgramImage{};
    p.fileSize = fileSize;
    const std::string truncated = "is truncated (" + Number(fileSize) + " bytes): ";
    std::string& h = p.headers;
    h.assign(static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, 64)), '\0');
    if (!h.empty() && !read(0, &h[0], h.size())) return "cannot be read";
    if (h.compare(0, 4, "\x7F" "ELF") == 0) return "is not a Windows program: it is an ELF file (a Linux program)";
    if (h.compare(0, 2, "MZ") != 0) return "is not a Windows program: it does not begin with \"MZ\"";
    if (fileSize < 64) return truncated + "it ends inside the MS-DOS header";

    const std::uint32_t pe = Get32(h, kPeOffsetField);
    if (pe > kMaxHeaders) return "is not a Windows program of 32 or 64 bits: it has no PE header";
    if (pe + 24ull > fileSize) return truncated + "it ends before its PE header";
    h.resize(pe + 24);
    if (!read(0, &h[0], h.size())) return "cannot be read";
    if (h.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
        return "is not a Windows program of 32 or 64 bits: it has no PE header (an MS-DOS program?)";
    const std::uint32_t coff = pe + kCoffHeader;
    const unsigned machine = Get16(h, coff), sectionCount = Get16(h, coff + 2);
    const unsigned optionalSize = Get16(h, coff + 16), characteristics = Get16(h, coff + 18);
    p.optionalHeader = coff + kCoffSize;
    p.sectionTable = p.optionalHeader + optionalSize;
    if (p.optionalHeader + 2ull > fileSize) return truncated + "it ends inside its PE header";
    h.resize(p.optionalHeader + 2);
    if (!read(0, &h[0], h.size())) return "cannot be read";
    const unsigned magic = Get16(h, p.optionalHeader);
    if (magic != 0x10B && magic != 0x20B)
        return "is not a program: its optional header is not that of PE32 or PE32+ (magic " + Number(magic) + ")";
    p.pe32plus = magic == 0x20B;
    if (p.pe32plus && !allow64)
        return "is a 64-bit program (PE32+); the setup is the 32-bit program TavixSetup.exe of the kit "
               "(--allow-64bit makes a 64-bit setup, for tests)";
    if (machine != (p.pe32plus ? kMachineAmd64 : kMachineI386))
        return "is a program for another processor (machine 0x" + [&] {
            char hex[8];
            std::snprintf(hex, sizeof hex, "%04X", machine);
            return std::string(hex);
        }() + ")";
    if (characteristics & 0x2000) return "is a DLL, not a program";
    if (!(characteristics & 0x0002)) return "is not an executable image";
    if (optionalSize < DirectoryField(p.pe32plus, 0) ||
        p.sectionTable + static_cast<std::uint64_t>(sectionCount) * kSectionHeader > kMaxHeaders)
        return "has damaged headers (the optional header or the section table)";
    if (p.sectionTable + static_cast<std::uint64_t>(sectionCount) * kSectionHeader > fileSize)
        return truncated + "it ends inside its section table";
    h.resize(p.sectionTable + sectionCount * kSectionHeader);
    if (!read(0, &h[0], h.size())) return "cannot be read";

    const std::uint32_t headersSize = Get32(h, p.optionalHeader + kHeadersSize);
    p.sectionAlignment = Get32(h, p.optionalHeader + kSectionAlignment);
    p.fileAlignment = Get32(h, p.optionalHeader + kFileAlignment);
    const std::uint32_t directories = Get32(h, p.optionalHeader + DirectoryCountField(p.pe32plus));
    if (!PowerOfTwo(p.fileAlignment) || p.fileAlignment < 512 || p.fileAlignment > 65536 ||
        !PowerOfTwo(p.sectionAlignment) || p.sectionAlignment < p.fileAlignment)
        return "has damaged headers (file alignment " + Number(p.fileAlignment) + ", section alignment " +
               Number(p.sectionAlignment) + ")";
    if (directories <= kResourceDirectory || directories > 16 ||
        DirectoryField(p.pe32plus, directories) > optionalSize || headersSize < h.size() ||
        headersSize > kMaxHeaders || headersSize % p.fileAlignment)
        return "has damaged headers (the data directory or the size of the headers)";
    if (headersSize > fileSize) return truncated + "it ends inside its headers";
    h.resize(headersSize);
    if (!read(0, &h[0], h.size())) return "cannot be read";

    // The sections: aligned, in ascending order, each wholly in the file.
    std::uint64_t rawEnd = headersSize;
    for (unsigned i = 0; i < sectionCount; ++i) {
        const std::uint32_t at = p.sectionTable + i * kSectionHeader;
        PeSection s;
        s.name = std::string(h.data() + at, 8).c_str();
        s.virtualSize = Get32(h, at + 8);
        s.virtualAddress = Get32(h, at + 12);
        s.rawSize = Get32(h, at + 16);
        s.rawPointer = Get32(h, at + 20);
        s.characteristics = Get32(h, at + 36);
        if (s.rawSize == 0) s.rawPointer = 0;
        if (s.virtualAddress % p.sectionAlignment || (s.rawSize && s.rawPointer < headersSize) ||
            Align(VirtualEnd(s), p.sectionAlignment) > 0xFFFFFFFFull ||
            s.rawPointer % p.fileAlignment || s.rawSize % p.fileAlignment ||
            (!p.sections.empty() && s.virtualAddress < VirtualEnd(p.sections.back())) ||
            (s.rawSize && s.rawPointer < rawEnd))
            return "has a damaged section table (section \"" + s.name + "\" is not aligned or overlaps another)";
        if (s.rawSize && s.rawPointer + static_cast<std::uint64_t>(s.rawSize) > fileSize)
            return truncated + "its section \"" + s.name + "\" ends at byte " +
                   Number(s.rawPointer + static_cast<std::uint64_t>(s.rawSize));
        if (s.rawSize) rawEnd = s.rawPointer + static_cast<std::uint64_t>(s.rawSize);
        p.sections.push_back(s);
    }
    if (p.sections.empty()) return "has no sections";

    if (!setup && DirectoryOf(p, kSecurityDirectory).size)
        return "is signed (it carries a certificate table): a signature covers the program's own bytes and "
               "would no longer match; give the unsigned program and sign the setup made from it";
    if (!setup && fileSize > rawEnd)
        return "has " + Number(fileSize - rawEnd) +
               " bytes after its last section (symbols or appended data), which the writer cannot carry over";

    // The resources fill a section of their own; only the relocations may follow it.
    const Directory resources = DirectoryOf(p, kResourceDirectory);
    const Directory relocations = DirectoryOf(p, kRelocationDirectory);
    if (resources.rva || resources.size) {
        for (std::size_t i = 0; i < p.sections.size(); ++i)
            if (p.sections[i].virtualAddress == resources.rva) p.resourceSection = static_cast<int>(i);
        if (p.resourceSection < 0) return "has its resources at a place that does not begin a section";
        const PeSection& rs = p.sections[p.resourceSection];
        if (resources.size > std::max(rs.virtualSize, rs.rawSize))
            return "has a damaged data directory (the resources are larger than their section)";
        for (std::size_t i = p.resourceSection + 1; i < p.sections.size(); ++i) {
            const PeSection& s = p.sections[i];
            if (!(relocations.size && relocations.rva == s.virtualAddress &&
                  relocations.size <= std::max(s.virtualSize, s.rawSize)))
                return "has the section \"" + s.name +
                       "\" after its resources, which the writer cannot move (only the relocations may follow them)";
        }
        for (unsigned d = 0; d < std::min(directories, 16u); ++d) {
            const Directory e = DirectoryOf(p, d);
            if (d == kResourceDirectory || d == kSecurityDirectory || d == kRelocationDirectory || !e.size) continue;
            if (e.rva >= rs.virtualAddress)
                return "has data of its own (data directory entry " + Number(d) +
                       ") in or after its resources, which the writer cannot move";
        }
        ResourceReader reader(p, rs, read);
        std::string problem = reader.Read();
        if (!problem.empty()) return problem;
    } else if (p.sectionTable + (p.sections.size() + 1) * kSectionHeader > std::min<std::uint64_t>(
                   headersSize, p.sections.front().rawSize ? p.sections.front().rawPointer : headersSize)) {
        return "has no room in its headers for the section of the resources";
    }
    return std::string();
}

} // namespace

std::string ReadProgram(std::uint64_t fileSize, const ReadAtFn& read, bool allow64, ProgramImage& out) {
    return ReadImage(fileSize, read, allow64, false, out);
}

std::string ReadSetupImage(std::uint64_t fileSize, const ReadAtFn& read, ProgramImage& out) {
    return ReadImage(fileSize, read, true, true, out);
}

std::uint32_t ResourceRva(const ProgramImage& p) {
    if (p.resourceSection >= 0) return p.sections[p.resourceSection].virtualAddress;
    return static_cast<std::uint32_t>(Align(VirtualEnd(p.sections.back()), p.sectionAlignment));
}

std::string PlanImage(const ProgramImage& p, std::uint32_t resourceSize, ImagePlan& plan) {
    plan = ImagePlan{};
    std::string& h = plan.headers;
    h = p.headers;
    const std::uint32_t opt = p.optionalHeader;
    const bool added = p.resourceSection < 0;
    const std::size_t index = added ? p.sections.size() : static_cast<std::size_t>(p.resourceSection);
    std::uint64_t rawEnd = h.size();
    for (const PeSection& s : p.sections)
        if (s.rawSize) rawEnd = s.rawPointer + static_cast<std::uint64_t>(s.rawSize);
    plan.keep = added ? rawEnd : p.sections[index].rawPointer;
    if (!added && p.sections[index].rawSize == 0) {
        // A resource section with nothing in the file: it starts where the data of the sections before it ends.
        plan.keep = h.size();
        for (std::size_t i = 0; i < index; ++i)
            if (p.sections[i].rawSize) plan.keep = p.sections[i].rawPointer + std::uint64_t{p.sections[i].rawSize};
    }
    const std::uint64_t raw = Align(resourceSize, p.fileAlignment);

    std::vector<PeSection> sections(p.sections.begin(), p.sections.begin() + index);
    PeSection rs;
    rs.name = ".rsrc";
    rs.virtualSize = resourceSize;
    rs.virtualAddress = ResourceRva(p);
    rs.rawSize = static_cast<std::uint32_t>(raw);
    rs.rawPointer = static_cast<std::uint32_t>(plan.keep);
    rs.characteristics = kResourceCharacteristics;
    sections.push_back(rs);
    std::uint64_t va = Align(static_cast<std::uint64_t>(rs.virtualAddress) + resourceSize, p.sectionAlignment);
    std::uint64_t at = plan.keep + raw;
    const Directory relocations = DirectoryOf(p, kRelocationDirectory);
    for (std::size_t i = index + (added ? 0 : 1); i < p.sections.size(); ++i) {
        PeSection s = p.sections[i];
        if (relocations.size && relocations.rva == s.virtualAddress)
            Set32(h, opt + DirectoryField(p.pe32plus, kRelocationDirectory), static_cast<std::uint32_t>(va));
        if (s.rawSize) plan.moved.push_back({s.rawPointer, s.rawSize});
        s.virtualAddress = static_cast<std::uint32_t>(va);
        s.rawPointer = s.rawSize ? static_cast<std::uint32_t>(at) : 0;
        va = Align(va + std::max(s.virtualSize, s.rawSize), p.sectionAlignment);
        at += s.rawSize;
        sections.push_back(s);
    }
    const std::uint64_t imageSize = Align(VirtualEnd(sections.back()), p.sectionAlignment);
    if (va > 0xFFFFFFFFull || imageSize > 0xFFFFFFFFull || at > 0xFFFFFFFFull)
        return "the setup would be 4 GB or larger";
    plan.resourceRawSize = static_cast<std::uint32_t>(raw);
    plan.fileSize = at;

    // The section table, a header more when the program had no resources.
    Set16(h, p.optionalHeader - kCoffSize + 2, static_cast<unsigned>(sections.size()));
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const std::uint32_t o = p.sectionTable + static_cast<std::uint32_t>(i * kSectionHeader);
        const PeSection& s = sections[i];
        if (i >= index) {
            std::memset(&h[o], 0, 8);
            std::memcpy(&h[o], s.name.data(), std::min<std::size_t>(s.name.size(), 8));
            Set32(h, o + 8, s.virtualSize);
            Set32(h, o + 12, s.virtualAddress);
            Set32(h, o + 16, s.rawSize);
            Set32(h, o + 20, s.rawPointer);
        }
        if (i == index) {
            for (std::uint32_t k = 24; k < 36; ++k) h[o + k] = '\0';  // no relocations or line numbers
            Set32(h, o + 36, s.characteristics);
        }
    }
    const std::uint32_t oldRaw = added ? 0 : p.sections[index].rawSize;
    Set32(h, opt + kInitializedData,
          static_cast<std::uint32_t>(Get32(h, opt + kInitializedData) - oldRaw + plan.resourceRawSize));
    Set32(h, opt + kImageSize, static_cast<std::uint32_t>(imageSize));
    Set32(h, opt + kCheckSum, 0);
    Set32(h, opt + DirectoryField(p.pe32plus, kResourceDirectory), rs.virtualAddress);
    Set32(h, opt + DirectoryField(p.pe32plus, kResourceDirectory) + 4, resourceSize);
    plan.checksumOffset = opt + kCheckSum;
    return std::string();
}

void PeChecksum::Add(const void* data, std::size_t size) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    if (odd_ && size) {
        sum_ += static_cast<std::uint32_t>(*p++) << 8;
        --size;
        odd_ = false;
    }
    // Four bytes at a time: a 32-bit word is its two 16-bit halves modulo 0xFFFF.
    std::uint64_t sum = 0;
    for (; size >= 4; size -= 4, p += 4) sum += static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16) |
                                               static_cast<std::uint32_t>(p[3]) << 24;
    if (size >= 2) {
        sum += static_cast<std::uint32_t>(p[0] | p[1] << 8);
        p += 2;
        size -= 2;
    }
    if (size) {
        sum += *p;
        odd_ = true;
    }
    sum_ += (sum & 0xFFFFFFFF) + (sum >> 32);
    sum_ = (sum_ & 0xFFFFFFFF) + (sum_ >> 32);
}

std::uint32_t PeChecksum::Finish(std::uint64_t fileSize) const {
    std::uint64_t s = sum_;
    while (s >> 16) s = (s & 0xFFFF) + (s >> 16);
    return static_cast<std::uint32_t>(s + fileSize);
}

} // namespace tavix
