#include <windows.h>
#include <ntsecapi.h>

#include <algorithm>
#include <cstdint>

#include "crc32.h"
#include "errors.h"
#include "gbk.h"
#include "payload.h"
#include "system_error.h"
#include "temporary_names.h"
#include "wide_text.h"

namespace tavix {
namespace {

// The checksum table of the running executable, read once; null when the
// executable carries none.
const ChecksumTable* OwnChecksums() {
    static ChecksumTable table;
    static int state = 0;  // 0: not read yet, 1: present, 2: absent
    if (state == 0) {
        state = 2;
        HMODULE self = GetModuleHandleW(nullptr);
        HRSRC res = FindResourceW(self, MAKEINTRESOURCEW(kChecksumTableId), MAKEINTRESOURCEW(kChecksumTableType));
        HGLOBAL loaded = res ? LoadResource(self, res) : nullptr;
        const char* text = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
        if (text) {
            table = ParseChecksumTable(std::string_view(text, SizeofResource(self, res)));
            state = 1;
        }
    }
    return state == 1 ? &table : nullptr;
}

SetupError WriteError(const std::string& path, DWORD code) {
    return SetupError("Write error on \"" + path + "\". " + SystemErrorText(code), ErrorKind::WriteFailed);
}

// Writes the item's bytes to `file` a megabyte at a time, computing their
// CRC-32 on the way (when something was recorded to compare it with).
// Returns 0, or the system's error code; a write that takes fewer bytes than
// it was given has run out of space.
DWORD WriteChecked(HANDLE file, const PayloadItem& item, std::uint32_t& crc) {
    constexpr std::size_t kChunk = 1u << 20;
    const char* p = static_cast<const char*>(item.data);
    crc = 0;
    for (std::size_t left = item.size; left > 0;) {
        const DWORD n = static_cast<DWORD>(std::min(left, kChunk));
        if (item.recorded) crc = Crc32(crc, p, n);
        DWORD written = 0;
        if (!WriteFile(file, p, n, &written, nullptr)) return GetLastError();
        if (written != n) return ERROR_DISK_FULL;
        p += n;
        left -= n;
    }
    return 0;
}

// Whether the bytes just written are those the builder recorded.
bool AsRecorded(const PayloadItem& item, std::uint32_t crc) {
    if (!item.recorded) return true;
    return item.expected && item.expected->size == item.size && item.expected->crc32 == crc;
}

// Removes the file, link or empty folder at `path` itself: the system's
// deletion of a name removes a link, never what it leads to. A read-only
// file (not a link) loses that attribute first.
void RemoveEntry(const std::wstring& path) {
    const DWORD a = GetFileAttributesW(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return;
    if (a & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveDirectoryW(path.c_str());
        return;
    }
    if (DeleteFileW(path.c_str())) return;
    if ((a & FILE_ATTRIBUTE_READONLY) && !(a & FILE_ATTRIBUTE_REPARSE_POINT) &&
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL))
        DeleteFileW(path.c_str());
}

// The folder part of `path` with its backslash; empty when it has none.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = GbkFindLast(path, '\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

PayloadItem FindPayload(const std::string& type, const std::string& name) {
    PayloadItem item = FindPayloadIn(GetModuleHandleW(nullptr), type, name);
    if (const ChecksumTable* table = OwnChecksums()) {
        item.recorded = true;
        item.expected = table->Find(type, name);
    }
    return item;
}

PayloadItem FindPayloadIn(void* module, const std::string& type, const std::string& name) {
    // Names and types are ASCII; the loader compares them without regard to case.
    HMODULE self = static_cast<HMODULE>(module);
    HRSRC res = FindResourceA(self, name.c_str(), type.c_str());
    if (!res) throw ResourceNotFound(name);
    HGLOBAL loaded = LoadResource(self, res);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) throw ResourceNotFound(name);
    PayloadItem item;
    item.data = data;
    item.size = SizeofResource(self, res);
    item.name = name;
    return item;
}

bool MatchesRecord(const PayloadItem& item) { return AsRecorded(item, Crc32(0, item.data, item.size)); }

std::string DamagedItemText(const std::string& name) {
    return "安装程序已损坏：“" + name + "”的数据与记录的校验值不符。请重新获取安装程序。";
}

void WritePayload(const PayloadItem& item, const std::string& path) {
    // A new file beside the target, under a name of its own that nobody can
    // know before (64 bits of the system's random generator), so that no
    // name can be taken or prepared for it.
    const std::wstring folder = W(FolderOf(path));
    std::wstring temp;
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < 8 && file == INVALID_HANDLE_VALUE && error == ERROR_FILE_EXISTS; ++attempt) {
        std::uint64_t random = 0;
        if (!RtlGenRandom(&random, sizeof random)) {
            error = ERROR_GEN_FAILURE;
            break;
        }
        temp = folder + W(TemporaryItemName(random));
        file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (file == INVALID_HANDLE_VALUE) error = GetLastError() == ERROR_ALREADY_EXISTS ? ERROR_FILE_EXISTS : GetLastError();
    }
    if (file == INVALID_HANDLE_VALUE) throw CannotCreateFile(path, SystemErrorText(error));

    std::uint32_t crc = 0;
    error = WriteChecked(file, item, crc);
    // On the disk before it takes the target's place: after a power cut the
    // target is the earlier file or the whole new one, never an empty one.
    if (!error && !FlushFileBuffers(file)) error = GetLastError();
    if (!CloseHandle(file) && !error) error = GetLastError();
    if (error) {
        DeleteFileW(temp.c_str());
        throw WriteError(path, error);
    }
    if (!AsRecorded(item, crc)) {
        DeleteFileW(temp.c_str());
        throw SetupError(DamagedItemText(item.name), ErrorKind::MissingItem);
    }
    if (!MoveFileExW(temp.c_str(), W(path).c_str(), MOVEFILE_REPLACE_EXISTING)) {
        error = GetLastError();
        DeleteFileW(temp.c_str());
        throw CannotCreateFile(path, SystemErrorText(error));
    }
}

std::vector<std::string> RemoveLeftoverItemFiles(const std::string& folder) {
    std::vector<std::string> removed;
    const std::wstring dir = W(folder);
    if (dir.size() < 3 || dir.back() != L'\\') return removed;
    // Each level below the drive's root, the folder itself the last.
    for (std::size_t end = dir.find(L'\\', 3); end != std::wstring::npos; end = dir.find(L'\\', end + 1)) {
        const DWORD a = GetFileAttributesW(dir.substr(0, end).c_str());
        if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY) || (a & FILE_ATTRIBUTE_REPARSE_POINT))
            return removed;
    }
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW((dir + L"~tx*.tmp").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                     nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return removed;
    do {
        // The pattern also matches short names; the rule reads the name itself.
        const std::string name = G(found.cFileName);
        if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
            !IsTemporaryItemName(name))
            continue;
        if (DeleteFileW((dir + found.cFileName).c_str())) removed.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return removed;
}

void* WriteHeldFile(const PayloadItem& item, const std::string& path) {
    const std::wstring wide = W(path);
    RemoveEntry(wide);
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw CannotCreateFile(path, SystemErrorText(GetLastError()));
    std::uint32_t crc = 0;
    const DWORD error = WriteChecked(file, item, crc);
    if (error || !AsRecorded(item, crc)) {
        CloseHandle(file);
        DeleteFileW(wide.c_str());
        if (error) throw WriteError(path, error);
        throw SetupError(DamagedItemText(item.name), ErrorKind::MissingItem);
    }
    return file;
}

std::string ReadHeldFile(void* handle) {
    std::string text;
    LARGE_INTEGER size = {}, start = {};
    if (!handle || !GetFileSizeEx(handle, &size) || size.QuadPart >= 0x10000000 ||
        !SetFilePointerEx(handle, start, nullptr, FILE_BEGIN))
        throw SetupError("Stream read error");
    text.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD got = 0;
    if (!text.empty() && (!ReadFile(handle, &text[0], static_cast<DWORD>(text.size()), &got, nullptr) ||
                          got != text.size()))
        throw SetupError("Stream read error");
    return text;
}

} // namespace tavix
