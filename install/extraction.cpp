#include "extraction.h"

#include "setupdata/gbk.h"

namespace tavix {
namespace {

bool OnlyDotsAndBlanks(std::string_view level) {
    for (char c : level)
        if (c != '.' && c != ' ') return false;
    return true;
}

} // namespace

bool IsTargetInsideFolder(std::string_view path) {
    if (path.empty()) return true;
    if (path.front() == '\\' || path.front() == '/') return false;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size()) {
            unsigned char c = static_cast<unsigned char>(path[i]);
            if (IsGbkLead(c) && i + 1 < path.size()) {
                ++i;  // a double-byte character: its trail byte is no separator
                continue;
            }
            if (c == ':') return false;
            if (c != '\\' && c != '/') continue;
        }
        std::string_view level = path.substr(start, i - start);
        if (!level.empty() && OnlyDotsAndBlanks(level)) return false;
        start = i + 1;
    }
    return true;
}

} // namespace tavix
