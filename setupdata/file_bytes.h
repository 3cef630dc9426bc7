// Whole-file reads and writes with GBK path names.
#pragma once
#include <cstddef>
#include <string>

namespace tavix {

// The most a whole-file read takes in unless told otherwise.
inline constexpr std::size_t kWholeFileMax = 0x40000000;

// Reads the whole file into `out`. False when it cannot be opened or read,
// or when it holds more than `maxBytes` (then `tooLarge`, when given, is set
// and nothing is read).
bool LoadFileBytes(const std::string& path, std::string& out, std::size_t maxBytes = kWholeFileMax,
                   bool* tooLarge = nullptr);

} // namespace tavix
