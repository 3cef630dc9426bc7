#include "common/silent_log.h"

#include <cstdio>
#include <vector>

#include "common/folder_handles.h"

#include "setupdata/system_error.h"
#include "setupdata/wide_text.h"

namespace tavix {

SilentLog::~SilentLog() { Close(); }

void SilentLog::Close() {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
}

bool SilentLog::Open(const std::wstring& given) {
    // The path as given, made full; then its folder, reached as the system
    // reaches it, must be that path's folder and its file that file.
    std::vector<wchar_t> buf(32768);
    const DWORD n = GetFullPathNameW(given.c_str(), static_cast<DWORD>(buf.size()), buf.data(), nullptr);
    if (n == 0 || n >= buf.size()) return false;
    const std::wstring full(buf.data(), n);
    const std::size_t cut = full.find_last_of(L'\\');
    if (cut == std::wstring::npos || cut + 1 == full.size()) return false;
    const std::wstring folderPath = full.substr(0, cut + 1), name = full.substr(cut + 1);
    HANDLE folder = CreateFileW(folderPath.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                nullptr);
    if (folder == INVALID_HANDLE_VALUE) return false;
    HeldFolder held;
    held.handle = folder;
    held.finalPath = FinalPathOf(folder);
    std::wstring expectedFolder = UsualPath(folderPath);
    while (!expectedFolder.empty() && expectedFolder.back() == L'\\') expectedFolder.pop_back();
    if (!SameWidePath(held.finalPath, expectedFolder)) return false;
    // The file, below the held folder: opened when it is there, else made
    // new (never through a name that is there already).
    constexpr ACCESS_MASK access = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES;
    constexpr ULONG options = FILE_NON_DIRECTORY_FILE;
    HANDLE file = nullptr;
    LONG status = 0;
    for (int attempt = 0; attempt < 4 && !file; ++attempt) {
        status = OpenChildFile(held, name, access, FILE_SHARE_READ, options, file);
        if (status == static_cast<LONG>(0xC0000034))  // STATUS_OBJECT_NAME_NOT_FOUND
            status = OpenChildFile(held, name, access, FILE_SHARE_READ, options, file, true, true);
        if (status < 0) file = nullptr;
        if (status < 0 && status != static_cast<LONG>(0xC0000035)) break;  // but STATUS_OBJECT_NAME_COLLISION
    }
    if (!file) return false;
    if (!IsPlainEntry(file, UsualPath(full), false)) {
        CloseHandle(file);
        return false;
    }
    file_ = file;
    return true;
}

bool SilentLog::End(const std::string& gbk) {
    Line(gbk);
    if (file_ != INVALID_HANDLE_VALUE && !failed_ && !FlushFileBuffers(file_)) failed_ = true;
    Close();
    return !failed_;
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
