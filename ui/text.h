// GBK <-> UTF-16 at the boundary to the platform's wide API.
#pragma once
#include <string>

namespace ui {

constexpr unsigned kGbkCodePage = 936;

std::wstring W(const std::string& gbk);
std::string G(const std::wstring& wide);

} // namespace ui
