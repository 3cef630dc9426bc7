#include "ini.h"

#include <vector>

#include "gbk.h"

namespace tavix {
namespace {

bool IsBlank(unsigned char c) { return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x1A; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && IsBlank(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

// Removes one pair of matching single or double quotes around a value.
std::string_view StripQuotes(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

} // namespace

std::string IniLookup(std::string_view text, std::string_view section, std::string_view key) {
    section = Trim(section);
    key = Trim(key);
    // Lines end at CR or LF. Lines before the first section header belong to
    // a nameless section.
    bool seen_section = false;  // the wanted section has been entered once
    bool in_section = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t nl = text.find_first_of("\r\n", pos);
        std::size_t end = (nl == std::string_view::npos) ? text.size() : nl;
        std::string_view line = Trim(text.substr(pos, end - pos));
        pos = (nl == std::string_view::npos) ? text.size() : nl + 1;
        if (line.empty()) continue;

        if (line.front() == '[') {
            std::size_t close = GbkFindLast(line, ']');
            if (close != std::string_view::npos) {
                if (in_section) return std::string();  // only the first such section counts
                in_section = !seen_section && EqualsIgnoreAsciiCase(Trim(line.substr(1, close - 1)), section);
                seen_section = seen_section || in_section;
                continue;
            }
            // a "[" line without "]" is an ordinary line of the current section
        }
        if (!in_section) continue;

        std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            // a line without "=" is a key without a value: it hides later keys of its name
            if (EqualsIgnoreAsciiCase(line, key)) return std::string();
            continue;
        }
        if (!EqualsIgnoreAsciiCase(Trim(line.substr(0, eq)), key)) continue;
        std::string_view value = StripQuotes(Trim(line.substr(eq + 1)));
        return std::string(value.substr(0, GbkClampLength(value, kIniValueMax)));
    }
    return std::string();
}

} // namespace tavix
