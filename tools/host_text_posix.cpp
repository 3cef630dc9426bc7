#include "host_text.h"

#include <iconv.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace tavix {
namespace {

// Double-byte codes that glibc's GBK leaves out and code page 936 maps into
// the Private Use Area from U+E766 on, one after another in code order: the
// codes of GB 18030's additions that GBK had reserved.
struct CodeRange {
    unsigned first, last;
};
constexpr CodeRange kReservedCodes[] = {
    {0xA2AB, 0xA2B0}, {0xA2E3, 0xA2E4}, {0xA2EF, 0xA2F0}, {0xA2FD, 0xA2FE}, {0xA4F4, 0xA4FE}, {0xA5F7, 0xA5FE},
    {0xA6B9, 0xA6C0}, {0xA6D9, 0xA6DF}, {0xA6EC, 0xA6ED}, {0xA6F3, 0xA6F3}, {0xA6F6, 0xA6FE}, {0xA7C2, 0xA7D0},
    {0xA7F2, 0xA7FE}, {0xA896, 0xA8A0}, {0xA8BC, 0xA8BC}, {0xA8BF, 0xA8BF}, {0xA8C1, 0xA8C4}, {0xA8EA, 0xA8FE},
    {0xA958, 0xA958}, {0xA95B, 0xA95B}, {0xA95D, 0xA95F}, {0xA989, 0xA995}, {0xA997, 0xA9A3}, {0xA9F0, 0xA9FE},
    {0xD7FA, 0xD7FE}, {0xFE50, 0xFE7E}, {0xFE80, 0xFEA0},
};

// Code page 936's Private Use Area character of a code glibc does not map:
// the three user-defined areas, then the reserved codes above.
bool PrivateUseCharacter(unsigned lead, unsigned trail, char16_t& out) {
    if (lead >= 0xAA && lead <= 0xAF && trail >= 0xA1) {
        out = static_cast<char16_t>(0xE000 + (lead - 0xAA) * 94 + (trail - 0xA1));
        return true;
    }
    if (lead >= 0xF8 && trail >= 0xA1) {
        out = static_cast<char16_t>(0xE234 + (lead - 0xF8) * 94 + (trail - 0xA1));
        return true;
    }
    if (lead >= 0xA1 && lead <= 0xA7 && trail <= 0xA0) {
        out = static_cast<char16_t>(0xE4C6 + (lead - 0xA1) * 96 + (trail - 0x40) - (trail > 0x7F));
        return true;
    }
    const unsigned code = lead << 8 | trail;
    unsigned before = 0;
    for (const CodeRange& r : kReservedCodes) {
        if (code >= r.first && code <= r.last) {
            out = static_cast<char16_t>(0xE766 + before + (code - r.first));
            return true;
        }
        before += r.last - r.first + 1;
    }
    return false;
}

} // namespace

bool DecodeGbkPair(unsigned char lead, unsigned char trail, char16_t& out) {
    if (lead < 0x81 || lead > 0xFE || trail < 0x40 || trail > 0xFE || trail == 0x7F) return false;
    static const iconv_t cd = iconv_open("UTF-16LE", "GBK");
    if (cd != reinterpret_cast<iconv_t>(-1)) {
        char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        unsigned char wide[4];
        char* src = in;
        char* dst = reinterpret_cast<char*>(wide);
        std::size_t inLeft = 2, outLeft = sizeof wide;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &src, &inLeft, &dst, &outLeft) != static_cast<std::size_t>(-1) && inLeft == 0 &&
            outLeft == 2) {
            out = static_cast<char16_t>(wide[0] | wide[1] << 8);
            return true;
        }
    }
    return PrivateUseCharacter(lead, trail, out);
}

std::string ReleaseHostPath(const std::string& releaseDir, const std::string& targetPath) {
    std::string rel = GbkToUtf8(targetPath);
    for (char& c : rel)
        if (c == '\\') c = '/';  // UTF-8 has no other 0x5C byte
    return releaseDir + "/" + rel;
}

std::string HostFileKey(const std::string& hostPath) { return hostPath; }

bool IsRegularFile(const std::string& hostPath) {
    struct stat st;
    return stat(hostPath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

FileFacts InspectReleaseFile(const std::string& releaseDir, const std::string& hostPath) {
    namespace fs = std::filesystem;
    FileFacts facts;
    std::error_code ec;
    fs::path real = fs::canonical(hostPath, ec);
    if (ec) return facts;  // missing, or a link that leads nowhere
    fs::path root = fs::canonical(releaseDir, ec);
    if (ec) return facts;
    auto rel = real.lexically_relative(root);
    if (rel.empty() || *rel.begin() == "..") {
        facts.kind = FileKind::kLinkOutside;
        facts.linkTarget = real.string();
        return facts;
    }
    struct stat st;
    if (stat(real.c_str(), &st) != 0) return facts;
    if (S_ISDIR(st.st_mode)) facts.kind = FileKind::kFolder;
    else if (S_ISREG(st.st_mode)) facts.kind = FileKind::kRegular;
    else facts.kind = FileKind::kOther;
    facts.size = static_cast<std::uint64_t>(st.st_size);
    return facts;
}

std::vector<std::string> ListReleaseFiles(const std::string& releaseDir) {
    namespace fs = std::filesystem;
    std::vector<std::string> files;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(releaseDir, ec), end; !ec && it != end; it.increment(ec)) {
        if (IsRegularFile(it->path().string()))
            files.push_back(releaseDir + "/" + it->path().lexically_relative(releaseDir).generic_string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace tavix
