// Whole-file reads and writes with GBK path names.
#pragma once
#include <string>

namespace tavix {

// Reads the whole file into `out`. False when it cannot be opened or read.
bool LoadFileBytes(const std::string& path, std::string& out);

} // namespace tavix
