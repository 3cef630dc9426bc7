#include "uninstall/folder_tree.h"

#include <winternl.h>

#include "setupdata/crc32.h"
#include "setupdata/gbk.h"
#include "setupdata/path_rules.h"
#include "setupdata/system_error.h"
#include "setupdata/wide_text.h"

namespace uninstall {
namespace {

constexpr NTSTATUS kNameNotFound = static_cast<NTSTATUS>(0xC0000034);  // STATUS_OBJECT_NAME_NOT_FOUND
constexpr NTSTATUS kPathNotFound = static_cast<NTSTATUS>(0xC000003A);  // STATUS_OBJECT_PATH_NOT_FOUND
constexpr NTSTATUS kIsADirectory = static_cast<NTSTATUS>(0xC00000BA);  // STATUS_FILE_IS_A_DIRECTORY
constexpr NTSTATUS kNotADirectory = static_cast<NTSTATUS>(0xC0000103); // STATUS_NOT_A_DIRECTORY

// What a folder below the installation folder may be opened for: listing,
// its attributes, its removal. Others may read and write in it but neither
// rename nor remove it while it is held.
constexpr ACCESS_MASK kFolderAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | DELETE | SYNCHRONIZE;
constexpr ULONG kFolderShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Opens `name`, one level, below the folder `parent` without following a
// link at it.
NTSTATUS OpenBelow(HANDLE parent, const std::wstring& name, ACCESS_MASK access, ULONG share, ULONG options,
                   HANDLE& out) {
    UNICODE_STRING us;
    us.Buffer = const_cast<wchar_t*>(name.c_str());
    us.Length = us.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    OBJECT_ATTRIBUTES oa;
    InitializeObjectAttributes(&oa, &us, OBJ_CASE_INSENSITIVE, parent, nullptr);
    IO_STATUS_BLOCK io = {};
    out = nullptr;
    NTSTATUS status = NtCreateFile(&out, access | SYNCHRONIZE, &oa, &io, nullptr, 0, share, FILE_OPEN,
                                   options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (status < 0) out = nullptr;
    return status;
}

std::string StatusText(NTSTATUS status) { return tavix::SystemErrorText(RtlNtStatusToDosError(status)); }

// Where the handle really leads, as "C:\...", links resolved.
std::wstring FinalPath(HANDLE h) {
    wchar_t buf[1024];
    DWORD n = GetFinalPathNameByHandleW(h, buf, 1024, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0 || n >= 1024) return std::wstring();
    std::wstring path(buf, n);
    if (path.compare(0, 4, L"\\\\?\\") == 0) path.erase(0, 4);
    while (path.size() > 3 && path.back() == L'\\') path.pop_back();
    return path;
}

bool SameWide(const std::wstring& a, const std::wstring& b) {
    return !a.empty() && CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The handle is what its parent holds under `name`: no link, no second name,
// and no other place than the path it was opened by. (The two small queries
// cost far less under Wine than GetFileInformationByHandle.)
bool PlainEntry(HANDLE h, const std::wstring& expectedPath, bool directory) {
    FILE_BASIC_INFO basic;
    FILE_STANDARD_INFO standard;
    if (!GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic) ||
        !GetFileInformationByHandleEx(h, FileStandardInfo, &standard, sizeof standard))
        return false;
    if (basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return false;
    if (!!standard.Directory != directory) return false;
    if (!directory && standard.NumberOfLinks > 1) return false;
    return SameWide(FinalPath(h), expectedPath);
}

// Whether the open folder holds nothing but "." and "..". (A folder is only
// marked for deletion when empty: Wine marks a full one too and leaves it
// pending, unreadable to others, until its handle closes.)
bool EmptyFolder(HANDLE h) {
    alignas(8) char buf[4096];
    if (!GetFileInformationByHandleEx(h, FileFullDirectoryRestartInfo, buf, sizeof buf))
        return GetLastError() == ERROR_NO_MORE_FILES;
    for (const char* p = buf;;) {
        const auto* e = reinterpret_cast<const FILE_FULL_DIR_INFO*>(p);
        const std::wstring name(e->FileName, e->FileNameLength / sizeof(wchar_t));
        if (name != L"." && name != L"..") return false;
        if (!e->NextEntryOffset) break;
        p += e->NextEntryOffset;
    }
    // Only the two dot entries came in the first block; anything after them?
    return !GetFileInformationByHandleEx(h, FileFullDirectoryInfo, buf, sizeof buf) &&
           GetLastError() == ERROR_NO_MORE_FILES;
}

bool MarkForDeletion(HANDLE h) {
    FILE_DISPOSITION_INFO info = {TRUE};
    return SetFileInformationByHandle(h, FileDispositionInfo, &info, sizeof info);
}

std::string ParentOf(const std::string& path) {
    const std::size_t cut = tavix::GbkFindLast(path, '\\');
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string NameOf(const std::string& path) {
    const std::size_t cut = tavix::GbkFindLast(path, '\\');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

} // namespace

bool IsPlainFileAt(HANDLE file, const std::wstring& path) {
    wchar_t longPath[1024];
    DWORD n = GetLongPathNameW(path.c_str(), longPath, 1024);
    return PlainEntry(file, n > 0 && n < 1024 ? std::wstring(longPath, n) : path, false);
}

struct FolderTree::Held {
    enum State { Open, Missing, NotAFolder } state = Missing;
    HANDLE handle = nullptr;
    std::wstring finalPath;
    ~Held() {
        if (handle) CloseHandle(handle);
    }
};

FolderTree::FolderTree() = default;
FolderTree::~FolderTree() { Close(); }

void FolderTree::Close() {
    // Deepest first: a folder's key begins with its parent's, so it sorts after it.
    while (!folders_.empty()) folders_.erase(std::prev(folders_.end()));
}

FolderTree::Opening FolderTree::Open(const std::string& folder, std::string& why) {
    Close();
    std::wstring path = tavix::W(folder);
    while (path.size() > 3 && path.back() == L'\\') path.pop_back();
    auto held = std::make_unique<Held>();
    for (int attempt = 0;; ++attempt) {
        held->handle = CreateFileW(path.c_str(), kFolderAccess, kFolderShare, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (held->handle != INVALID_HANDLE_VALUE) break;
        const DWORD error = GetLastError();
        held->handle = nullptr;
        if (error != ERROR_SHARING_VIOLATION || attempt == 40) {
            why = tavix::SystemErrorText(error);
            return Opening::Unreadable;
        }
        Sleep(50);
    }
    wchar_t longPath[1024];
    DWORD n = GetLongPathNameW(path.c_str(), longPath, 1024);
    const std::wstring expected = n > 0 && n < 1024 ? std::wstring(longPath, n) : path;
    if (!PlainEntry(held->handle, expected, true)) return Opening::Link;
    held->finalPath = FinalPath(held->handle);
    held->state = Held::Open;
    folders_[std::string()] = std::move(held);
    return Opening::Opened;
}

FolderTree::Held* FolderTree::Folder(const std::string& path) {
    const std::string key = tavix::TargetCollisionKey(path);
    auto found = folders_.find(key);
    if (found != folders_.end()) return found->second.get();
    auto held = std::make_unique<Held>();
    Held* parent = path.empty() ? nullptr : Folder(ParentOf(path));
    if (parent && parent->state == Held::Open) {
        const std::wstring name = tavix::W(NameOf(path));
        NTSTATUS status = OpenBelow(parent->handle, name, kFolderAccess, kFolderShare,
                                    FILE_DIRECTORY_FILE | FILE_OPEN_FOR_BACKUP_INTENT, held->handle);
        if (status >= 0) {
            const std::wstring expected = parent->finalPath + L"\\" + name;
            held->state = PlainEntry(held->handle, expected, true) ? Held::Open : Held::NotAFolder;
            held->finalPath = expected;
        } else {
            held->state = status == kNameNotFound || status == kPathNotFound ? Held::Missing : Held::NotAFolder;
        }
    } else if (parent) {
        held->state = parent->state;
    }
    Held* out = held.get();
    folders_[key] = std::move(held);
    return out;
}

FolderTree::Outcome FolderTree::OpenFile(const std::string& path, HANDLE& file, std::string& why, ULONG share) {
    file = nullptr;
    if (tavix::CheckTargetPath(path)) {
        why = "the path is not one below the folder";
        return Outcome::NotOurs;
    }
    Held* parent = Folder(ParentOf(path));
    if (!parent || parent->state == Held::Missing) return Outcome::Missing;
    if (parent->state != Held::Open) return Outcome::NotOurs;
    const std::wstring name = tavix::W(NameOf(path));
    NTSTATUS status = OpenBelow(parent->handle, name, FILE_READ_DATA | FILE_READ_ATTRIBUTES | DELETE, share,
                                FILE_NON_DIRECTORY_FILE | FILE_SEQUENTIAL_ONLY, file);
    if (status == kNameNotFound || status == kPathNotFound) return Outcome::Missing;
    if (status == kIsADirectory || status == kNotADirectory) return Outcome::NotOurs;
    if (status < 0) {
        why = StatusText(status);
        return Outcome::Failed;
    }
    if (!PlainEntry(file, parent->finalPath + L"\\" + name, false)) {
        CloseHandle(file);
        file = nullptr;
        return Outcome::NotOurs;
    }
    return Outcome::Removed;
}

FolderTree::Outcome FolderTree::RemoveIfUnchanged(const std::string& path,
                                                  const std::vector<tavix::RecordedFile>& accepted,
                                                  std::string& why) {
    HANDLE file = nullptr;
    Outcome opened = OpenFile(path, file, why);
    if (opened != Outcome::Removed) return opened;
    struct CloseAtEnd {
        HANDLE h;
        ~CloseAtEnd() { CloseHandle(h); }
    } closeAtEnd{file};
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file, &size)) {
        why = tavix::SystemErrorText(GetLastError());
        return Outcome::Failed;
    }
    bool sizeFits = false;
    for (const tavix::RecordedFile& a : accepted) sizeFits = sizeFits || a.size == static_cast<std::uint64_t>(size.QuadPart);
    if (!sizeFits) return Outcome::Changed;
    // The file's CRC-32, read a megabyte at a time through the one handle.
    static std::vector<char> buffer(1u << 20);
    std::uint32_t crc = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
            why = tavix::SystemErrorText(GetLastError());
            return Outcome::Failed;
        }
        if (got == 0) break;
        crc = tavix::Crc32(crc, buffer.data(), got);
    }
    bool same = false;
    for (const tavix::RecordedFile& a : accepted)
        same = same || (a.size == static_cast<std::uint64_t>(size.QuadPart) && a.crc32 == crc);
    if (!same) return Outcome::Changed;
    if (!MarkForDeletion(file)) {
        why = tavix::SystemErrorText(GetLastError());
        return Outcome::Failed;
    }
    return Outcome::Removed;
}

FolderTree::Outcome FolderTree::RemoveOwnFile(const std::string& path, std::string& why) {
    HANDLE file = nullptr;
    Outcome opened = OpenFile(path, file, why);
    if (opened != Outcome::Removed) return opened;
    const bool marked = MarkForDeletion(file);
    if (!marked) why = tavix::SystemErrorText(GetLastError());
    CloseHandle(file);
    return marked ? Outcome::Removed : Outcome::Failed;
}

bool FolderTree::RemoveFolderIfEmpty(const std::string& path) {
    const std::string key = tavix::TargetCollisionKey(path);
    Held* held = Folder(path);
    if (!held || held->state == Held::Missing) return true;
    if (held->state != Held::Open || !EmptyFolder(held->handle) || !MarkForDeletion(held->handle)) return false;
    folders_.erase(key);  // closing the handle removes the folder
    return true;
}

} // namespace uninstall
