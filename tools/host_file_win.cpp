#include <windows.h>

#include "host_file.h"
#include "host_text.h"

namespace tavix {
namespace {

std::wstring Wide(const std::string& utf8) {
    std::u16string w = Utf8ToUtf16(utf8);
    return std::wstring(w.begin(), w.end());
}

std::string Narrow(const std::wstring& wide) { return Utf16ToUtf8(std::u16string(wide.begin(), wide.end())); }

HANDLE AsHandle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

// The temporary output file, removed when Ctrl+C or closing the console
// ends the program. The handler runs on a thread of its own while the file
// is open: it is opened with FILE_SHARE_DELETE, so the deletion takes
// effect when the process ends.
CRITICAL_SECTION gPendingLock;
std::wstring* gPendingOutput = nullptr;

BOOL WINAPI RemovePendingOutput(DWORD) {
    EnterCriticalSection(&gPendingLock);
    if (gPendingOutput) DeleteFileW(gPendingOutput->c_str());
    LeaveCriticalSection(&gPendingLock);
    return FALSE;  // the default handler ends the process
}

void WatchForInterruption(const std::wstring& temp) {
    static bool ready = [] {
        InitializeCriticalSection(&gPendingLock);
        return SetConsoleCtrlHandler(RemovePendingOutput, TRUE) != 0;
    }();
    (void)ready;
    EnterCriticalSection(&gPendingLock);
    delete gPendingOutput;
    gPendingOutput = new std::wstring(temp);
    LeaveCriticalSection(&gPendingLock);
}

void StopWatching() {
    if (!gPendingOutput) return;
    EnterCriticalSection(&gPendingLock);
    delete gPendingOutput;
    gPendingOutput = nullptr;
    LeaveCriticalSection(&gPendingLock);
}

bool WriteAll(HANDLE h, const char* p, std::size_t size, OVERLAPPED* at) {
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
        DWORD n = 0;
        if (!WriteFile(h, p, chunk, &n, at)) return false;
        if (n == 0) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        p += n;
        size -= n;
        if (at) {
            ULONGLONG next = (static_cast<ULONGLONG>(at->OffsetHigh) << 32 | at->Offset) + n;
            at->Offset = static_cast<DWORD>(next);
            at->OffsetHigh = static_cast<DWORD>(next >> 32);
        }
    }
    return true;
}

// Exactly `size` bytes at `offset`; false when the file ends before or a read fails.
bool ReadAll(HANDLE h, std::uint64_t offset, char* p, std::size_t size) {
    while (size > 0) {
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD n = 0;
        const DWORD chunk = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
        if (!ReadFile(h, p, chunk, &n, &at) || n == 0) return false;
        p += n;
        size -= n;
        offset += n;
    }
    return true;
}

} // namespace

std::wstring ApiPath(const std::string& path) {
    std::wstring wide = Wide(path);
    if (wide.compare(0, 4, L"\\\\?\\") == 0) return wide;
    DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0) return wide;
    std::wstring full(n, L'\0');
    n = GetFullPathNameW(wide.c_str(), n, &full[0], nullptr);
    if (n == 0 || n >= full.size()) return wide;
    full.resize(n);
    if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::string LastErrorText() {
    const DWORD code = GetLastError();
    wchar_t* text = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring reason = n ? std::wstring(text, n) : std::wstring();
    if (text) LocalFree(text);
    while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r' || reason.back() == L' ' ||
                               reason.back() == L'.'))
        reason.pop_back();
    if (reason.empty()) return "error " + std::to_string(code);
    return Narrow(reason) + " (error " + std::to_string(code) + ")";
}

InputFile::~InputFile() {
    if (handle_ != -1) CloseHandle(AsHandle(handle_));
}

bool InputFile::Open(const std::string& path) {
    HANDLE h = CreateFileW(ApiPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h, &size)) {
        DWORD e = GetLastError();
        CloseHandle(h);
        SetLastError(e);
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(h);
    size_ = static_cast<std::uint64_t>(size.QuadPart);
    return true;
}

bool InputFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) {
    return ReadAll(AsHandle(handle_), offset, static_cast<char*>(buffer), size);
}

long long InputFile::Read(void* buffer, std::size_t size) {
    DWORD n = 0;
    const DWORD chunk = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
    if (!ReadFile(AsHandle(handle_), buffer, chunk, &n, nullptr)) return -1;
    return n;
}

ScratchFile::~ScratchFile() {
    if (handle_ != -1) CloseHandle(AsHandle(handle_));
}

bool ScratchFile::Create(const std::string& path) {
    const std::string name = path + ".scratch-" + std::to_string(GetCurrentProcessId());
    HANDLE h = CreateFileW(ApiPath(name).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    handle_ = reinterpret_cast<std::intptr_t>(h);
    return true;
}

bool ScratchFile::Write(const void* data, std::size_t size) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(size_);
    at.OffsetHigh = static_cast<DWORD>(size_ >> 32);
    if (!WriteAll(AsHandle(handle_), static_cast<const char*>(data), size, &at)) return false;
    size_ += size;
    return true;
}

bool ScratchFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) {
    return ReadAll(AsHandle(handle_), offset, static_cast<char*>(buffer), size);
}

bool OutputFile::Create(const std::string& path, bool) {
    path_ = path;
    std::string temp = path + ".writing-" + std::to_string(GetCurrentProcessId());
    HANDLE h = CreateFileW(ApiPath(temp).c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    handle_ = reinterpret_cast<std::intptr_t>(h);
    temp_ = temp;
    WatchForInterruption(ApiPath(temp_));
    return true;
}

bool OutputFile::Write(const void* data, std::size_t size) {
    return WriteAll(AsHandle(handle_), static_cast<const char*>(data), size, nullptr);
}

bool OutputFile::WriteAt(std::uint64_t offset, const void* data, std::size_t size) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return WriteAll(AsHandle(handle_), static_cast<const char*>(data), size, &at);
}

bool OutputFile::Commit() {
    HANDLE h = AsHandle(handle_);
    handle_ = -1;
    const std::wstring temp = ApiPath(temp_);
    if (!CloseHandle(h) || !MoveFileExW(temp.c_str(), ApiPath(path_).c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DWORD e = GetLastError();
        DeleteFileW(temp.c_str());
        StopWatching();
        temp_.clear();
        SetLastError(e);
        return false;
    }
    StopWatching();
    temp_.clear();
    return true;
}

void OutputFile::Discard() {
    if (handle_ != -1) CloseHandle(AsHandle(handle_));
    handle_ = -1;
    if (!temp_.empty()) {
        DWORD e = GetLastError();
        DeleteFileW(ApiPath(temp_).c_str());
        StopWatching();
        SetLastError(e);
    }
    temp_.clear();
}

bool FolderExists(const std::string& path) {
    DWORD a = GetFileAttributesW(ApiPath(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos) return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : ".";
    if (slash == 0 || (slash == 2 && path[1] == ':')) return path.substr(0, slash + 1);
    return path.substr(0, slash);
}

bool SameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION ia, ib;
    auto info = [](const std::string& p, BY_HANDLE_FILE_INFORMATION& out) {
        HANDLE h = CreateFileW(ApiPath(p).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        bool ok = GetFileInformationByHandle(h, &out);
        CloseHandle(h);
        return ok;
    };
    return info(a, ia) && info(b, ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

void PrintLine(std::FILE* stream, const std::string& text) {
    std::fflush(stream);
    HANDLE h = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (h == INVALID_HANDLE_VALUE || h == nullptr) return;
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(h, &mode)) {
        const std::wstring line = Wide(text) + L"\r\n";
        WriteConsoleW(h, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    } else {
        // Redirected: UTF-8 bytes, one LF a line, as on Linux.
        const std::string line = text + "\n";
        WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
}

} // namespace tavix
