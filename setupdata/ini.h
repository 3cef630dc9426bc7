// Lookup of one value in an INI document held as GBK bytes.
#pragma once
#include <string>
#include <string_view>

#include "file_bytes.h"

namespace tavix {

// Longest value a lookup returns; longer values are cut.
constexpr std::size_t kIniValueMax = 2047;

// The value of `key` in `section` of the document `text`, read the way the
// platform's private-profile functions read a file: the first section of that
// name is searched, the first key of that name in it counts, names compare
// without regard to ASCII case, blanks around names and values are dropped and
// one pair of matching quotes around a value is removed. Empty when the
// section or key is absent. Never longer than kIniValueMax bytes, and never
// cut inside a double-byte character.
std::string IniLookup(std::string_view text, std::string_view section, std::string_view key);

// IniLookup over the file at `path` (GBK). The file is read afresh on every
// call; a missing or unreadable file yields the empty string.
inline std::string ReadIniFile(const std::string& path, std::string_view section, std::string_view key) {
    std::string text;
    return LoadFileBytes(path, text) ? IniLookup(text, section, key) : std::string();
}

} // namespace tavix
