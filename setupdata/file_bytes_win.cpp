#include <windows.h>

#include "file_bytes.h"
#include "wide_text.h"

namespace tavix {

bool LoadFileBytes(const std::string& path, std::string& out, std::size_t maxBytes, bool* tooLarge) {
    if (tooLarge) *tooLarge = false;
    HANDLE h = CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(h, &size) != FALSE;
    if (ok && static_cast<std::uint64_t>(size.QuadPart) > maxBytes) {
        if (tooLarge) *tooLarge = true;
        ok = false;
    }
    if (ok) {
        out.assign(static_cast<std::size_t>(size.QuadPart), '\0');
        DWORD got = 0;
        ok = out.empty() || (ReadFile(h, &out[0], static_cast<DWORD>(out.size()), &got, nullptr) &&
                             got == out.size());
    }
    CloseHandle(h);
    return ok;
}

} // namespace tavix
