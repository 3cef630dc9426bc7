#include "wide_text.h"

#include <windows.h>

namespace tavix {
namespace {

std::string Narrow(std::wstring_view wide, UINT codePage) {
    if (wide.empty()) return std::string();
    int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), &out[0], n, nullptr, nullptr);
    return out;
}

} // namespace

std::wstring W(std::string_view gbk) {
    if (gbk.empty()) return std::wstring();
    int n = MultiByteToWideChar(kGbkCodePage, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
    std::wstring out(n > 0 ? n : 0, L'\0');
    if (n > 0) MultiByteToWideChar(kGbkCodePage, 0, gbk.data(), static_cast<int>(gbk.size()), &out[0], n);
    return out;
}

std::string G(std::wstring_view wide) { return Narrow(wide, kGbkCodePage); }
std::string Utf8(std::wstring_view wide) { return Narrow(wide, CP_UTF8); }

} // namespace tavix
