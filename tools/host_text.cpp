#include "host_text.h"

#include <errno.h>
#include <iconv.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace tavix {
namespace {

// Converts with glibc's iconv; each input byte that does not convert is
// skipped and `replacement` (already in the target encoding) written instead.
std::string Convert(const char* to, const char* from, const std::string& in, const std::string& replacement) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return in;
    std::string out;
    std::vector<char> buf(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.data());
    size_t left = in.size();
    while (left > 0) {
        char* o = buf.data();
        size_t oLeft = buf.size();
        size_t r = iconv(cd, &src, &left, &o, &oLeft);
        out.append(buf.data(), buf.size() - oLeft);
        if (r == static_cast<size_t>(-1) && left > 0 && errno != E2BIG) {
            out += replacement;
            ++src;
            --left;
        }
    }
    iconv_close(cd);
    return out;
}

} // namespace

std::string GbkToUtf8(const std::string& gbk) { return Convert("UTF-8", "GBK", gbk, "?"); }

std::u16string GbkToUtf16(const std::string& gbk) {
    std::string bytes = Convert("UTF-16LE", "GBK", gbk, std::string("\xFD\xFF", 2));
    std::u16string out(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    return out;
}

std::string ReleaseHostPath(const std::string& releaseDir, const std::string& targetPath) {
    std::string rel = GbkToUtf8(targetPath);
    for (char& c : rel)
        if (c == '\\') c = '/';  // UTF-8 has no other 0x5C byte
    return releaseDir + "/" + rel;
}

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
