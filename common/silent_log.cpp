#include "common/silent_log.h"

#include <cstdio>

#include "setupdata/system_error.h"
#include "setupdata/wide_text.h"

namespace tavix {

SilentLog::~SilentLog() { Close(); }

void SilentLog::Close() {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
}

bool SilentLog::Open(const std::string& path) {
    HANDLE file = CreateFileW(W(path).c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE, FILE_SHARE_READ,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) || info.nNumberOfLinks > 1) {
        CloseHandle(file);
        return false;
    }
    file_ = file;
    return true;
}

void SilentLog::Line(const std::string& gbk) {
    if (file_ == INVALID_HANDLE_VALUE || failed_) return;
    if (Write(gbk)) return;
    failed_ = true;
    Write("the log cannot be written from here on: " + SystemErrorText(GetLastError()));
}

bool SilentLog::Write(const std::string& gbk) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char stamp[40];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond, t.wMilliseconds);
    const std::string line = stamp + Utf8(W(gbk)) + "\r\n";
    DWORD written = 0;
    if (!WriteFile(file_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) return false;
    if (written == line.size()) return true;
    SetLastError(ERROR_DISK_FULL);
    return false;
}

void LimitDllSearch() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryW(L"");
}

} // namespace tavix
