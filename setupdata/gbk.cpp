#include "gbk.h"

namespace tavix {

std::size_t GbkFindLast(std::string_view s, char ch) {
    std::size_t found = std::string_view::npos;
    for (std::size_t i = 0; i < s.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (IsGbkLead(c) && i + 1 < s.size()) {
            ++i;  // the next byte is part of this character, never a separator
            continue;
        }
        if (s[i] == ch) found = i;
    }
    return found;
}

std::size_t GbkFirstInvalid(std::string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) continue;
        if (c == 0x80) continue;  // the euro sign of code page 936
        if (!IsGbkLead(c)) return i;
        if (i + 1 >= s.size() || !IsGbkTrail(static_cast<unsigned char>(s[i + 1]))) return i;
        ++i;
    }
    return std::string_view::npos;
}

std::size_t GbkClampLength(std::string_view s, std::size_t max) {
    if (s.size() <= max) return s.size();
    std::size_t i = 0;
    while (i < max) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t step = (IsGbkLead(c) && i + 1 < s.size()) ? 2 : 1;
        if (i + step > max) break;
        i += step;
    }
    return i;
}

bool GbkEndsWith(std::string_view s, std::string_view tail) {
    if (tail.size() > s.size() || s.substr(s.size() - tail.size()) != tail) return false;
    const std::size_t start = s.size() - tail.size();
    std::size_t i = 0;
    while (i < start) i += (IsGbkLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
    return i == start;
}

static char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (IsGbkLead(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
            // a double-byte character compares exactly, its trail byte is no letter
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
            ++i;
            continue;
        }
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

std::string AsciiUpper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

} // namespace tavix
