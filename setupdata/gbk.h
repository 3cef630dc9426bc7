// Byte-level helpers for GBK (code page 936) text held in std::string.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace tavix {

// A byte that starts a double-byte GBK character.
inline bool IsGbkLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
// A byte that may follow a lead byte.
inline bool IsGbkTrail(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

// Index of the last occurrence of the single-byte character `ch`, skipping the
// second byte of every double-byte character; npos when there is none.
std::size_t GbkFindLast(std::string_view s, char ch);

// Index of the first byte that does not belong to a well-formed GBK sequence,
// or npos when the whole text is well formed.
std::size_t GbkFirstInvalid(std::string_view s);

// Length of the longest prefix of `s` that is at most `max` bytes and does not
// end inside a double-byte character.
std::size_t GbkClampLength(std::string_view s, std::size_t max);

// True when `s` ends with `tail` and `tail` begins at a character of `s`
// (not on the second byte of a double-byte character).
bool GbkEndsWith(std::string_view s, std::string_view tail);

// ASCII-only case-insensitive equality, as resource and INI names compare.
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

// Upper-cases ASCII letters and leaves every other byte alone.
std::string AsciiUpper(std::string_view s);

} // namespace tavix
