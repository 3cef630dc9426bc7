// The resource section of a Windows program: a directory of types, names and
// languages that the loader searches, then the resources' bytes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tavix {

// A resource type or name: a number, or a string in UTF-16 (the loader
// compares strings in upper case, so names are given in upper case).
struct ResId {
    std::uint16_t number = 0;
    std::u16string name;  // used when not empty

    static ResId Number(std::uint16_t n) { return ResId{n, std::u16string()}; }
    static ResId Name(std::u16string s) { return ResId{0, std::move(s)}; }
    static ResId Ascii(const std::string& s) { return Name(std::u16string(s.begin(), s.end())); }
    bool IsName() const { return !name.empty(); }
    // "#16", or the name (UTF-8), for messages.
    std::string Text() const;
};

bool operator==(const ResId& a, const ResId& b);
// The loader's order within a directory: names first, by their UTF-16 code
// units, then numbers in ascending order.
bool operator<(const ResId& a, const ResId& b);

struct ResourceEntry {
    ResId type, name;
    std::uint16_t language = 0;
    std::uint32_t size = 0;
    std::uint32_t codePage = 0;
};

struct ResourceLayout {
    // The directory tables, the data entries and the strings: the first bytes
    // of the section. The data follows, each entry's at its offset.
    std::string directory;
    std::vector<std::uint32_t> dataOffsets;  // one per entry, in the order given, from the section's start
    std::uint32_t size = 0;                  // directory and data, without padding to the file alignment
};

// Lays out a resource section whose first byte lies at `rva` in the image:
// the directory of `entries` in the loader's order, then the data of each
// entry in the order given, each at an 8-byte boundary. Returns why it
// cannot (two entries of one type, name and language; more than 4 GB), or
// empty.
std::string LayOutResources(const std::vector<ResourceEntry>& entries, std::uint32_t rva, ResourceLayout& out);

} // namespace tavix
