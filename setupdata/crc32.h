// CRC-32 as zlib, PNG and ZIP compute it (reflected polynomial 0xEDB88320,
// all ones in and out): Python's zlib.crc32 gives the same numbers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tavix {

// Continues `crc` (0 for none yet) over `size` bytes at `data`, so that
// Crc32(Crc32(0, a), b) is the CRC of a followed by b. On x86 processors with
// carry-less multiplication (PCLMULQDQ, every one since about 2010) it folds
// 64 bytes a step, at about the speed of a memory copy; elsewhere it takes
// eight bytes a step from tables.
std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size);

inline std::uint32_t Crc32(std::string_view bytes, std::uint32_t crc = 0) {
    return Crc32(crc, bytes.data(), bytes.size());
}

// The table method alone, as Crc32 runs on processors without carry-less
// multiplication (the tests hold both ways to the same results).
std::uint32_t Crc32ByTables(std::uint32_t crc, const void* data, std::size_t size);

// Whether Crc32 folds with carry-less multiplication on this processor.
bool Crc32Folds();

} // namespace tavix
