// GBK <-> UTF-16 at the boundary to the platform's wide API, and UTF-8 for
// logs. The one conversion pair of the program: code page 936 explicitly, so
// names come out the same on every system locale.
#pragma once
#include <string>
#include <string_view>

namespace tavix {

constexpr unsigned kGbkCodePage = 936;

std::wstring W(std::string_view gbk);
std::string G(std::wstring_view wide);
// UTF-16 as UTF-8 (for the silent installation's log).
std::string Utf8(std::wstring_view wide);

} // namespace tavix
