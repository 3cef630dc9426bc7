// The binary resource file (.res) that the resource compiler writes and
// windres turns into an object file. The release builder writes it itself,
// so that every item's type and name stay strings whatever they spell
// ("RCDATA", "ICON", "BEGIN" are keywords to a resource script, not here).
#pragma once
#include <cstdint>
#include <string>

namespace tavix {

// A resource type or name: a number, or a string (stored in UTF-16; the
// loader matches strings in upper case, so names are given in upper case).
struct ResId {
    std::uint16_t number = 0;
    std::string name;  // ASCII; used when not empty

    static ResId Number(std::uint16_t n) { return ResId{n, std::string()}; }
    static ResId Name(std::string s) { return ResId{0, std::move(s)}; }
};

// Little-endian 16- and 32-bit numbers appended to `out`, as resource files
// hold them.
void Put16(std::string& out, unsigned v);
void Put32(std::string& out, std::uint32_t v);

// The entry with no data that opens every .res file.
std::string ResFileStart();

// The header of one resource of `dataSize` bytes; the data follows it, then
// ResPadding(dataSize) zero bytes. The memory flags default to those the
// resource compiler gives data (moveable, pure, discardable), which Windows
// since NT ignores.
std::string ResEntryHeader(const ResId& type, const ResId& name, std::uint16_t language, std::uint32_t dataSize,
                           std::uint16_t memoryFlags = 0x1030);

inline std::size_t ResPadding(std::uint64_t dataSize) { return static_cast<std::size_t>((4 - dataSize % 4) % 4); }

} // namespace tavix
