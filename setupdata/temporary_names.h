// The names of the temporary files an item is written into beside its
// target before it is moved over it.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace tavix {

// "~tx" + the 64 bits of `random` as 16 upper-case hex digits + ".tmp".
std::string TemporaryItemName(std::uint64_t random);

// True for a name that a temporary item file has or had: "~tx", 4 to 16 hex
// digits (earlier releases wrote four), ".tmp"; letter case ignored.
bool IsTemporaryItemName(std::string_view name);

} // namespace tavix
