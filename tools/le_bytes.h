// Little-endian numbers, as Windows' file formats hold them.
#pragma once
#include <cstdint>
#include <string>

namespace tavix {

// Appends `v` to `out` in 2 or 4 bytes.
inline void Put16(std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// Reads and writes the number at `at` of a byte buffer the caller has
// checked to be long enough.
inline unsigned Get16(const std::string& d, std::size_t at) {
    return static_cast<unsigned char>(d[at]) | static_cast<unsigned>(static_cast<unsigned char>(d[at + 1])) << 8;
}
inline std::uint32_t Get32(const std::string& d, std::size_t at) {
    return Get16(d, at) | static_cast<std::uint32_t>(Get16(d, at + 2)) << 16;
}
inline void Set16(std::string& d, std::size_t at, unsigned v) {
    d[at] = static_cast<char>(v & 0xFF);
    d[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
inline void Set32(std::string& d, std::size_t at, std::uint32_t v) {
    Set16(d, at, v & 0xFFFF);
    Set16(d, at + 2, v >> 16);
}

} // namespace tavix
