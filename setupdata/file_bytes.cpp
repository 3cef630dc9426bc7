#include "file_bytes.h"

#include <cstdio>

namespace tavix {

bool LoadFileBytes(const std::string& path, std::string& out, std::size_t maxBytes, bool* tooLarge) {
    if (tooLarge) *tooLarge = false;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    out.clear();
    char buf[65536];
    std::size_t n;
    bool ok = true;
    while (ok && (n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        if (n > maxBytes - out.size()) {
            if (tooLarge) *tooLarge = true;
            out.clear();
            ok = false;
        } else {
            out.append(buf, n);
        }
    }
    ok = ok && !std::ferror(f);
    std::fclose(f);
    return ok;
}

} // namespace tavix
