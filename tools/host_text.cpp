#include "host_text.h"

#include <iconv.h>
#include <sys/stat.h>

#include <vector>

namespace tavix {

std::string GbkToUtf8(const std::string& gbk) {
    iconv_t cd = iconv_open("UTF-8", "GBK");
    if (cd == reinterpret_cast<iconv_t>(-1)) return gbk;
    std::string out;
    std::vector<char> buf(gbk.size() * 2 + 16);
    char* in = const_cast<char*>(gbk.data());
    size_t inLeft = gbk.size();
    while (inLeft > 0) {
        char* o = buf.data();
        size_t oLeft = buf.size();
        size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buf.data(), buf.size() - oLeft);
        if (r == static_cast<size_t>(-1) && inLeft > 0 && (o == buf.data() || errno != E2BIG)) {
            out += '?';  // skip one byte that does not convert
            ++in;
            --inLeft;
        }
    }
    iconv_close(cd);
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

} // namespace tavix
