#include <windows.h>
#include <ntsecapi.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "crc32.h"
#include "errors.h"
#include "gbk.h"
#include "payload.h"
#include "block_reader.h"
#include "payload_blocks.h"
#include "system_error.h"
#include "temporary_names.h"
#include "wide_text.h"

namespace tavix {
namespace {

// The checksum table of a module; false when it carries none.
bool ReadChecksums(HMODULE module, ChecksumTable& table) {
    HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(kChecksumTableId), MAKEINTRESOURCEW(kChecksumTableType));
    HGLOBAL loaded = res ? LoadResource(module, res) : nullptr;
    const char* text = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (!text) return false;
    table = ParseChecksumTable(std::string_view(text, SizeofResource(module, res)));
    return true;
}

// The checksum table of the running executable, read once; null when the
// executable carries none.
const ChecksumTable* OwnChecksums() {
    static ChecksumTable table;
    static const bool present = ReadChecksums(GetModuleHandleW(nullptr), table);
    return present ? &table : nullptr;
}

SetupError Damaged(const std::string& name) { return SetupError(DamagedItemText(name), ErrorKind::MissingItem); }

// The item of `type` and `name` in `module`, whose checksum table is `table`.
PayloadItem Lookup(HMODULE module, const ChecksumTable* table, const std::string& type, const std::string& name) {
    if (!table) throw SetupError(MissingTableText(), ErrorKind::MissingItem);
    const ItemChecksum* entry = table->Find(type, name);
    PayloadItem item;
    item.name = name;
    item.recorded = true;
    item.expected = entry;
    if (entry && entry->block) {
        HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(entry->block), MAKEINTRESOURCEW(kChecksumTableType));
        HGLOBAL loaded = res ? LoadResource(module, res) : nullptr;
        const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
        BlockHeader header;
        if (!data || !ParseBlockHeader(data, SizeofResource(module, res), header) ||
            !FrameSizeAgrees(data + kBlockHeaderSize, static_cast<std::size_t>(header.frameSize), header.decodedSize) ||
            entry->offset > header.decodedSize || entry->size > header.decodedSize - entry->offset)
            throw Damaged(name);
        item.data = data + kBlockHeaderSize;
        item.frameSize = static_cast<std::size_t>(header.frameSize);
        item.block = entry->block;
        item.blockSize = header.decodedSize;
        item.offset = entry->offset;
        item.size = entry->size;
        return item;
    }
    // Names and types are ASCII; the loader compares them without regard to case.
    HRSRC res = FindResourceA(module, name.c_str(), type.c_str());
    if (!res) throw ResourceNotFound(name);
    HGLOBAL loaded = LoadResource(module, res);
    item.data = loaded ? LockResource(loaded) : nullptr;
    if (!item.data) throw ResourceNotFound(name);
    item.size = SizeofResource(module, res);
    return item;
}

// The reader of the block being written: the items of a block are asked
// for in manifest order, so each one continues where the one before it
// ended. An item asked for out of turn starts its block's frame anew.
BlockReader& Reader() {
    static BlockReader reader;
    return reader;
}

// The item's bytes in pieces of at most `chunk` bytes, decoded where they
// are compressed, each handed to `take` with its length; stops when `take`
// returns false. Returns false when the item's block is damaged.
template <class Take>
bool EachPiece(const PayloadItem& item, std::size_t chunk, Take take) {
    if (!item.block) {
        const char* p = static_cast<const char*>(item.data);
        for (std::size_t left = item.size; left > 0;) {
            const std::size_t n = std::min(left, chunk);
            if (!take(p, n)) return true;
            p += n;
            left -= n;
        }
        return true;
    }
    BlockReader& reader = Reader();
    if (!reader.SeekTo(item.data, item.frameSize, item.blockSize, item.offset)) return false;
    for (std::size_t left = item.size; left > 0;) {
        std::size_t got = 0;
        const char* p = reader.Next(std::min(left, chunk), got);
        if (!p) return false;
        if (!take(p, got)) return true;
        left -= got;
    }
    return true;
}

SetupError WriteError(const std::string& path, DWORD code) {
    return SetupError("Write error on \"" + path + "\". " + SystemErrorText(code), ErrorKind::WriteFailed);
}

// Writes the item's bytes to `file` a megabyte at a time, computing their
// CRC-32 on the way (when something was recorded to compare it with). Returns 0, or the system's error code; a write that
// takes fewer bytes than it was given has run out of space. `damaged` is set
// when the item's block cannot be decoded.
DWORD WriteChecked(HANDLE file, const PayloadItem& item, std::uint32_t& crc, bool& damaged) {
    constexpr std::size_t kChunk = 1u << 20;
    crc = 0;
    DWORD error = 0;
    damaged = !EachPiece(item, kChunk, [&](const char* p, std::size_t n) {
        if (item.recorded) crc = Crc32(crc, p, n);
        DWORD written = 0;
        if (!WriteFile(file, p, static_cast<DWORD>(n), &written, nullptr)) error = GetLastError();
        else if (written != n) error = ERROR_DISK_FULL;
        return error == 0;
    });
    return error;
}

// Whether the bytes just written are those the builder recorded.
bool AsRecorded(const PayloadItem& item, std::uint32_t crc) {
    if (!item.recorded) return true;
    return item.expected && item.expected->size == item.size && item.expected->crc32 == crc;
}

// Writes the item into `file`, made for it under `name`, and closes it;
// first puts it on the disk when `flush`. A file not written whole, or whose
// bytes are not those recorded, is deleted and the cause thrown.
void WriteAndClose(HANDLE file, const PayloadItem& item, const std::wstring& name, const std::string& path,
                   bool flush) {
    std::uint32_t crc = 0;
    bool damaged = false;
    DWORD error = WriteChecked(file, item, crc, damaged);
    if (!error && !damaged && flush && !FlushFileBuffers(file)) error = GetLastError();
    if (!CloseHandle(file) && !error) error = GetLastError();
    if (error || damaged || !AsRecorded(item, crc)) {
        DeleteFileW(name.c_str());
        if (error) throw WriteError(path, error);
        throw Damaged(item.name);
    }
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
    return Lookup(GetModuleHandleW(nullptr), OwnChecksums(), type, name);
}

PayloadItem FindPayloadIn(void* module, const std::string& type, const std::string& name) {
    auto table = std::make_shared<ChecksumTable>();
    const bool present = ReadChecksums(static_cast<HMODULE>(module), *table);
    PayloadItem item = Lookup(static_cast<HMODULE>(module), present ? table.get() : nullptr, type, name);
    item.table = std::move(table);
    return item;
}

std::string ReadPayload(const PayloadItem& item) {
    std::string bytes;
    bytes.reserve(item.size);
    const bool whole = EachPiece(item, 1u << 20, [&](const char* p, std::size_t n) {
        bytes.append(p, n);
        return true;
    });
    if (!whole || !AsRecorded(item, Crc32(bytes))) throw Damaged(item.name);
    return bytes;
}

std::string DamagedItemText(const std::string& name) {
    return "安装程序已损坏：“" + name + "”的数据与记录的校验值不符。请重新获取安装程序。";
}

std::string MissingTableText() { return "安装程序已损坏：缺少各文件的校验值记录。请重新获取安装程序。"; }

void WritePayload(const PayloadItem& item, const std::string& path) {
    // Where the name is free, the file is made under it and written in place:
    // a power cut can then cost only this new file, and the file costs no
    // more calls than a copy's.
    const std::wstring target = W(path);
    HANDLE direct = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (direct != INVALID_HANDLE_VALUE) {
        WriteAndClose(direct, item, target, path, false);
        return;
    }
    // A name that is taken (by an earlier file, or by anything else) is
    // replaced only by a whole new file, made beside the target under a name
    // of its own that nobody can know before (64 bits of the system's random
    // generator), so that no name can be taken or prepared for it.
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

    // A file that replaces an earlier one is on the disk before it takes its
    // place: after a power cut the target is the earlier file or the whole
    // new one, never an empty one. A new name loses nothing it had.
    WriteAndClose(file, item, temp, path, GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES);
    if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
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
    bool damaged = false;
    const DWORD error = WriteChecked(file, item, crc, damaged);
    if (error || damaged || !AsRecorded(item, crc)) {
        CloseHandle(file);
        DeleteFileW(wide.c_str());
        if (error) throw WriteError(path, error);
        throw Damaged(item.name);
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
