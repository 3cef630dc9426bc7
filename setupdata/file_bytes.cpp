#include "file_bytes.h"

#ifdef _WIN32
#include <windows.h>
#include <vector>
#else
#include <cstdio>
#endif

namespace tavix {

#ifdef _WIN32
bool LoadFileBytes(const std::string& path, std::string& out) {
    int n = MultiByteToWideChar(936, 0, path.c_str(), -1, nullptr, 0);
    if (n <= 0) return false;
    std::vector<wchar_t> wide(n);
    MultiByteToWideChar(936, 0, path.c_str(), -1, wide.data(), n);
    HANDLE h = CreateFileW(wide.data(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(h, &size) && size.QuadPart < 0x40000000;
    if (ok) {
        out.assign(static_cast<std::size_t>(size.QuadPart), '\0');
        DWORD got = 0;
        ok = out.empty() || (ReadFile(h, &out[0], static_cast<DWORD>(out.size()), &got, nullptr) &&
                             got == out.size());
    }
    CloseHandle(h);
    return ok;
}
#else
bool LoadFileBytes(const std::string& path, std::string& out) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    out.clear();
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}
#endif

} // namespace tavix
