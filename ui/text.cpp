#include "text.h"

#include <windows.h>

namespace ui {

std::wstring W(const std::string& gbk) {
    if (gbk.empty()) return std::wstring();
    int n = MultiByteToWideChar(kGbkCodePage, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(kGbkCodePage, 0, gbk.data(), static_cast<int>(gbk.size()), &out[0], n);
    return out;
}

std::string G(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    int n = WideCharToMultiByte(kGbkCodePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(kGbkCodePage, 0, wide.data(), static_cast<int>(wide.size()), &out[0], n, nullptr,
                        nullptr);
    return out;
}

} // namespace ui
