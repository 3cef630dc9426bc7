// Folders below an installation folder, opened as the setup and the
// uninstaller open them: the installation folder by its path (links above
// it are the administrator's own and are followed, a link at the folder
// itself is not), every folder below it one level at a time from its
// parent's handle, never through a link (a junction, a symbolic link, a
// mount point). A folder held open this way cannot be renamed, removed or
// replaced while the handle lives, so a path through held folders leads
// where the checks said it does.
#pragma once
#include <windows.h>

#include <string>

namespace tavix {

enum class FolderOpening {
    Opened,
    Missing,     // nothing of that name (or a folder above it is missing)
    Link,        // a link to another place, or a folder that leads elsewhere
    NotAFolder,  // a file of that name
    Failed,      // could not be opened or made; `error` says why
};

// An open folder and where its handle really leads.
struct HeldFolder {
    HeldFolder() = default;
    HeldFolder(const HeldFolder&) = delete;
    HeldFolder& operator=(const HeldFolder&) = delete;
    ~HeldFolder() { Close(); }
    void Close();

    HANDLE handle = nullptr;
    std::wstring finalPath;  // as "C:\...", no trailing backslash
};

// How a folder is held: what it is opened for, and what others may do
// meanwhile (never rename or remove it).
struct FolderAccess {
    ACCESS_MASK access;
    ULONG share;
};
// Listing and attributes; others may read and write in it.
inline constexpr FolderAccess kHoldFolder = {FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | FILE_TRAVERSE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE};

// Opens the folder at the full path `path` as a plain folder: not a link
// itself (links above it are followed: a drive mapped to a folder by SUBST,
// a volume mounted in a folder). Retries a folder that others hold for a
// moment for up to two seconds. `error` is the system's error of a failure.
FolderOpening OpenTopFolder(const std::wstring& path, FolderAccess how, HeldFolder& out, DWORD& error);

// Opens `name` (one level) below the held folder `parent` without following
// a link at it; with `create`, makes it first when it is missing (it takes
// its rights from `parent`).
FolderOpening OpenChildFolder(const HeldFolder& parent, const std::wstring& name, FolderAccess how, bool create,
                              HeldFolder& out, DWORD& error);

// Opens `name` below `parent` without following a link at it, for `access`
// with `share` and the NT create `options`: with `create`, made when
// missing; with `createNew` too, only made (an existing one is a name
// collision). Returns the NTSTATUS.
LONG OpenChildFile(const HeldFolder& parent, const std::wstring& name, ACCESS_MASK access, ULONG share,
                   ULONG options, HANDLE& out, bool create = false, bool createNew = false);

// Where the handle really leads, as "C:\..." (or "\\?\Volume{...}\..." on a
// volume without a drive letter), links resolved; empty when unknown.
std::wstring FinalPathOf(HANDLE h);

// Where the file at the full path `path` is, by where its parent leads
// (links above it, a drive mapped to a folder by SUBST, a volume mounted in
// a folder resolved) and its own name; empty when the parent cannot be
// opened. A file whose handle leads elsewhere is a link, marked as one or
// not (Wine shows a Unix symbolic link to a file as that file).
std::wstring WhereItsParentHoldsIt(const std::wstring& path);

// What an open entry is: a plain folder or file (no link, a file of one
// name only) that leads to `expectedPath` and nowhere else.
struct EntryInfo {
    FILE_BASIC_INFO basic;
    FILE_STANDARD_INFO standard;
};
bool IsPlainEntry(HANDLE h, const std::wstring& expectedPath, bool directory, EntryInfo* info = nullptr);

// A path as Windows' usual form spells it: without the "\\?\" prefix that
// lifts the length limit ("\\?\UNC\server\..." as "\\server\..."), and
// in its long form where the path exists.
std::wstring UsualPath(const std::wstring& path);

bool SameWidePath(const std::wstring& a, const std::wstring& b);

} // namespace tavix
