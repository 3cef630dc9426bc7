#include "uninstall/folder_tree.h"

#include <winternl.h>

#include <algorithm>

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
constexpr NTSTATUS kNameCollision = static_cast<NTSTATUS>(0xC0000035); // STATUS_OBJECT_NAME_COLLISION

// What a folder below the installation folder may be opened for: listing,
// its attributes, its removal. Others may read and write in it but neither
// rename nor remove it while it is held.
constexpr tavix::FolderAccess kFolderAccess = {FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | DELETE,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE};

std::string StatusText(NTSTATUS status) { return tavix::SystemErrorText(RtlNtStatusToDosError(status)); }

// Calls `each` with the name of every entry of the open folder but "." and
// "..", until it returns false; false when the folder cannot be listed.
template <typename Each>
bool ForEachEntry(HANDLE h, Each each) {
    alignas(8) char buf[4096];
    for (FILE_INFO_BY_HANDLE_CLASS kind = FileFullDirectoryRestartInfo;; kind = FileFullDirectoryInfo) {
        if (!GetFileInformationByHandleEx(h, kind, buf, sizeof buf)) return GetLastError() == ERROR_NO_MORE_FILES;
        for (const char* p = buf;;) {
            const auto* e = reinterpret_cast<const FILE_FULL_DIR_INFO*>(p);
            const std::wstring name(e->FileName, e->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L".." && !each(name)) return true;
            if (!e->NextEntryOffset) break;
            p += e->NextEntryOffset;
        }
    }
}

// Whether the open folder holds nothing but "." and "..". (A folder is only
// marked for deletion when empty: Wine marks a full one too and leaves it
// pending, unreadable to others, until its handle closes.)
bool EmptyFolder(HANDLE h) {
    bool empty = true;
    return ForEachEntry(h, [&](const std::wstring&) { return empty = false; }) && empty;
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

// Whether the open file still shows what the setup saw of one of `accepted`
// when it had written it: its size and both its times.
bool AsTheSetupLeftIt(const tavix::EntryInfo& info, const std::vector<tavix::RecordedFile>& accepted) {
    const tavix::FileTimes now = {static_cast<std::uint64_t>(info.basic.LastWriteTime.QuadPart),
                                  static_cast<std::uint64_t>(info.basic.ChangeTime.QuadPart)};
    for (const tavix::RecordedFile& a : accepted)
        if (a.seen && a.size == static_cast<std::uint64_t>(info.standard.EndOfFile.QuadPart) && a.times == now)
            return true;
    return false;
}

} // namespace

bool IsPlainFileAt(HANDLE file, const std::wstring& path) {
    const std::wstring where = tavix::WhereItsParentHoldsIt(path);
    return !where.empty() && tavix::IsPlainEntry(file, where, false);
}

struct FolderTree::Held {
    enum State { Open, Missing, NotAFolder } state = Missing;
    tavix::HeldFolder folder;
};

FolderTree::FolderTree() = default;
FolderTree::~FolderTree() { Close(); }

void FolderTree::Close() {
    // Deepest first: a folder's key begins with its parent's, so it sorts after it.
    while (!folders_.empty()) folders_.erase(std::prev(folders_.end()));
}

FolderTree::Opening FolderTree::Open(const std::string& folder, std::string& why) {
    Close();
    auto held = std::make_unique<Held>();
    DWORD error = ERROR_SUCCESS;
    switch (tavix::OpenTopFolder(tavix::W(folder), kFolderAccess, held->folder, error)) {
    case tavix::FolderOpening::Opened: break;
    case tavix::FolderOpening::Link: return Opening::Link;
    case tavix::FolderOpening::NotAFolder: error = ERROR_DIRECTORY; [[fallthrough]];
    default: why = tavix::SystemErrorText(error); return Opening::Unreadable;
    }
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
        DWORD error = ERROR_SUCCESS;
        switch (tavix::OpenChildFolder(parent->folder, tavix::W(NameOf(path)), kFolderAccess, false, held->folder,
                                       error)) {
        case tavix::FolderOpening::Opened: held->state = Held::Open; break;
        case tavix::FolderOpening::Missing: held->state = Held::Missing; break;
        default: held->state = Held::NotAFolder; break;
        }
    } else if (parent) {
        held->state = parent->state;
    }
    Held* out = held.get();
    folders_[key] = std::move(held);
    return out;
}

FolderTree::Outcome FolderTree::OpenFile(const std::string& path, HANDLE& file, std::string& why,
                                         tavix::EntryInfo* info) {
    file = nullptr;
    if (tavix::CheckTargetPath(path)) {
        why = "the path is not one below the folder";
        return Outcome::NotOurs;
    }
    Held* parent = Folder(ParentOf(path));
    if (!parent || parent->state == Held::Missing) return Outcome::Missing;
    if (parent->state != Held::Open) return Outcome::NotOurs;
    const std::wstring name = tavix::W(NameOf(path));
    // Others may read the file but neither change, rename nor remove it
    // while it is checked and removed through this handle.
    NTSTATUS status = tavix::OpenChildFile(parent->folder, name, FILE_READ_DATA | FILE_READ_ATTRIBUTES | DELETE,
                                           FILE_SHARE_READ, FILE_NON_DIRECTORY_FILE | FILE_SEQUENTIAL_ONLY, file);
    if (status == kNameNotFound || status == kPathNotFound) return Outcome::Missing;
    if (status == kIsADirectory || status == kNotADirectory) return Outcome::NotOurs;
    if (status < 0) {
        why = StatusText(status);
        return Outcome::Failed;
    }
    if (!tavix::IsPlainEntry(file, parent->folder.finalPath + L"\\" + name, false, info)) {
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
    tavix::EntryInfo info;
    Outcome opened = OpenFile(path, file, why, &info);
    if (opened != Outcome::Removed) return opened;
    struct CloseAtEnd {
        HANDLE h;
        ~CloseAtEnd() { CloseHandle(h); }
    } closeAtEnd{file};
    const std::uint64_t size = static_cast<std::uint64_t>(info.standard.EndOfFile.QuadPart);
    if (!AsTheSetupLeftIt(info, accepted)) {
        bool sizeFits = false;
        for (const tavix::RecordedFile& a : accepted) sizeFits = sizeFits || a.size == size;
        if (!sizeFits) return Outcome::Changed;
        // The times leave a doubt: the file's CRC-32, read a megabyte at a
        // time through the one handle.
        ++filesRead_;
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
        for (const tavix::RecordedFile& a : accepted) same = same || (a.size == size && a.crc32 == crc);
        if (!same) return Outcome::Changed;
    }
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
    if (held->state != Held::Open || !EmptyFolder(held->folder.handle) || !MarkForDeletion(held->folder.handle))
        return false;
    folders_.erase(key);  // closing the handle removes the folder
    return true;
}

bool FolderTree::ReplaceFile(const std::string& name, const std::string& bytes, std::string& why) {
    Held* root = Folder(std::string());
    if (!root || root->state != Held::Open) {
        why = tavix::SystemErrorText(ERROR_PATH_NOT_FOUND);
        return false;
    }
    const std::wstring target = tavix::W(name);
    HANDLE file = nullptr;
    NTSTATUS status = 0;
    for (int n = 0; n < 100; ++n) {
        status = tavix::OpenChildFile(root->folder, target + L".~" + std::to_wstring(n),
                                      GENERIC_WRITE | DELETE, 0, FILE_NON_DIRECTORY_FILE, file, true, true);
        if (status != kNameCollision) break;
    }
    if (status < 0) {
        why = StatusText(status);
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size() && FlushFileBuffers(file);
    if (!ok) why = tavix::SystemErrorText(GetLastError());
    if (ok) {
        // Renamed within the held folder, by a name relative to it: a link
        // or file of that name is replaced, never followed.
        std::vector<char> info(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
        auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(info.data());
        rename->ReplaceIfExists = TRUE;
        rename->RootDirectory = root->folder.handle;
        rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
        std::copy(target.begin(), target.end(), rename->FileName);
        IO_STATUS_BLOCK io = {};
        status = NtSetInformationFile(file, &io, rename, static_cast<ULONG>(info.size()), FileRenameInformation);
        ok = status >= 0;
        if (!ok) why = StatusText(status);
    }
    if (!ok) MarkForDeletion(file);
    CloseHandle(file);
    return ok;
}

bool FolderTree::HoldsOtherThan(const std::string& path, const std::string& except) {
    Held* held = Folder(path);
    if (!held || held->state == Held::Missing) return false;
    if (held->state != Held::Open) return true;
    bool other = false;
    const bool listed = ForEachEntry(held->folder.handle, [&](const std::wstring& name) {
        other = !tavix::EqualsIgnoreAsciiCase(tavix::G(name), except);
        return !other;
    });
    return other || !listed;
}

} // namespace uninstall
