#include "host_text.h"

namespace tavix {
namespace {

constexpr char32_t kNone = 0xFFFFFFFF;

// Walks GBK text character by character as code page 936 reads it: ASCII,
// 0x80 (the euro sign), and double-byte codes; a byte that starts no
// character is skipped and `bad` called for it.
template <typename Char, typename Bad>
void DecodeGbk(const std::string& gbk, Char&& character, Bad&& bad) {
    for (std::size_t i = 0; i < gbk.size();) {
        const unsigned char b = static_cast<unsigned char>(gbk[i]);
        char16_t c = 0;
        if (b < 0x80) {
            character(b);
            ++i;
        } else if (b == 0x80) {
            character(0x20AC);
            ++i;
        } else if (i + 1 < gbk.size() && DecodeGbkPair(b, static_cast<unsigned char>(gbk[i + 1]), c)) {
            character(c);
            i += 2;
        } else {
            bad();
            ++i;
        }
    }
}

void PutUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The code point of the UTF-8 sequence at `i` (advanced past it), or kNone
// for a byte that starts none (advanced by one).
char32_t NextUtf8(std::string_view s, std::size_t& i) {
    const unsigned char b = static_cast<unsigned char>(s[i++]);
    if (b < 0x80) return b;
    int more = b >= 0xF0 && b <= 0xF4 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : -1;
    if (more < 0 || i + more > s.size()) return kNone;
    char32_t c = b & (0x3F >> more);
    for (int k = 0; k < more; ++k) {
        const unsigned char t = static_cast<unsigned char>(s[i + k]);
        if ((t & 0xC0) != 0x80) return kNone;
        c = c << 6 | (t & 0x3F);
    }
    const char32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (c < least[more] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) return kNone;
    i += more;
    return c;
}

} // namespace

std::string GbkToUtf8(const std::string& gbk) {
    std::string out;
    DecodeGbk(gbk, [&](char32_t c) { PutUtf8(out, c); }, [&] { out += '?'; });
    return out;
}

std::u16string GbkToUtf16(const std::string& gbk) {
    std::u16string out;
    DecodeGbk(gbk, [&](char32_t c) { out += static_cast<char16_t>(c); }, [&] { out += u'\xFFFD'; });
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD;
        PutUtf8(out, c);
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = NextUtf8(text, i);
        if (c == kNone) c = 0xFFFD;
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

ReleaseFolder HostReleaseFolder(const std::string& releaseDir) {
    ReleaseFolder folder;
    folder.hostPath = [releaseDir](const std::string& target) { return ReleaseHostPath(releaseDir, target); };
    folder.inspect = [releaseDir](const std::string& file) { return InspectReleaseFile(releaseDir, file); };
    folder.listFiles = [releaseDir] { return ListReleaseFiles(releaseDir); };
    folder.fileKey = HostFileKey;
    return folder;
}

} // namespace tavix
