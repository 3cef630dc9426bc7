#include "temporary_names.h"

#include "gbk.h"

namespace tavix {
namespace {

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

constexpr std::string_view kHead = "~tx", kTail = ".tmp";

} // namespace

std::string TemporaryItemName(std::uint64_t random) {
    std::string name(kHead);
    for (int shift = 60; shift >= 0; shift -= 4) name += "0123456789ABCDEF"[(random >> shift) & 0xF];
    return name + std::string(kTail);
}

bool IsTemporaryItemName(std::string_view name) {
    if (name.size() < kHead.size() + 4 + kTail.size() || name.size() > kHead.size() + 16 + kTail.size()) return false;
    if (!EqualsIgnoreAsciiCase(name.substr(0, kHead.size()), kHead) ||
        !EqualsIgnoreAsciiCase(name.substr(name.size() - kTail.size()), kTail))
        return false;
    for (char c : name.substr(kHead.size(), name.size() - kHead.size() - kTail.size()))
        if (!IsHexDigit(c)) return false;
    return true;
}

} // namespace tavix
