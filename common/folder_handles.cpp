#include "common/folder_handles.h"

#include <winternl.h>

#include <vector>

namespace tavix {
namespace {

constexpr NTSTATUS kNameNotFound = static_cast<NTSTATUS>(0xC0000034);  // STATUS_OBJECT_NAME_NOT_FOUND
constexpr NTSTATUS kPathNotFound = static_cast<NTSTATUS>(0xC000003A);  // STATUS_OBJECT_PATH_NOT_FOUND
constexpr NTSTATUS kNotADirectory = static_cast<NTSTATUS>(0xC0000103); // STATUS_NOT_A_DIRECTORY

// A folder that others hold for a moment (a virus scanner, a file manager)
// is tried again this often, 50 ms apart.
constexpr int kSharingRetries = 40;

std::wstring WithoutTrailingBackslash(std::wstring path) {
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

std::wstring LastLevel(const std::wstring& path) {
    const std::size_t cut = path.find_last_of(L'\\');
    return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

FolderOpening Refused(HeldFolder& out, FolderOpening why) {
    out.Close();
    return why;
}

// Whether the path's attributes mark it as a link (a long path is given
// with the prefix that lifts the length limit).
bool MarkedAsLink(const std::wstring& path) {
    const bool dosPath = path.size() >= 3 && path[1] == L':' && path[2] == L'\\';
    const DWORD a = GetFileAttributesW((dosPath ? L"\\\\?\\" + path : path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

} // namespace

void HeldFolder::Close() {
    if (handle) CloseHandle(handle);
    handle = nullptr;
    finalPath.clear();
}

std::wstring FinalPathOf(HANDLE h) {
    for (DWORD kind : {VOLUME_NAME_DOS, VOLUME_NAME_GUID}) {
        std::vector<wchar_t> buf(1024);
        DWORD n = GetFinalPathNameByHandleW(h, buf.data(), static_cast<DWORD>(buf.size()), FILE_NAME_NORMALIZED | kind);
        if (n >= buf.size()) {
            buf.resize(n + 1);
            n = GetFinalPathNameByHandleW(h, buf.data(), static_cast<DWORD>(buf.size()), FILE_NAME_NORMALIZED | kind);
        }
        if (n == 0 || n >= buf.size()) continue;
        std::wstring path(buf.data(), n);
        if (kind == VOLUME_NAME_DOS) {
            if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0)
                path.erase(2, 6);
            else if (path.compare(0, 4, L"\\\\?\\") == 0)
                path.erase(0, 4);
        }
        return WithoutTrailingBackslash(path);
    }
    return std::wstring();
}

bool SameWidePath(const std::wstring& a, const std::wstring& b) {
    return !a.empty() && CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring UsualPath(const std::wstring& path) {
    std::wstring p = path;
    if (p.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        p.erase(2, 6);
    else if (p.compare(0, 4, L"\\\\?\\") == 0)
        p.erase(0, 4);
    std::vector<wchar_t> buf(1024);
    DWORD n = GetLongPathNameW(p.c_str(), buf.data(), static_cast<DWORD>(buf.size()));
    if (n >= buf.size()) {
        buf.resize(n + 1);
        n = GetLongPathNameW(p.c_str(), buf.data(), static_cast<DWORD>(buf.size()));
    }
    return n > 0 && n < buf.size() ? std::wstring(buf.data(), n) : p;
}

bool IsPlainEntry(HANDLE h, const std::wstring& expectedPath, bool directory, EntryInfo* info) {
    // Two small queries: they cost far less under Wine than GetFileInformationByHandle.
    EntryInfo e;
    if (!GetFileInformationByHandleEx(h, FileBasicInfo, &e.basic, sizeof e.basic) ||
        !GetFileInformationByHandleEx(h, FileStandardInfo, &e.standard, sizeof e.standard))
        return false;
    if (info) *info = e;
    if (e.basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return false;
    if (!!e.standard.Directory != directory) return false;
    if (!directory && e.standard.NumberOfLinks > 1) return false;
    return SameWidePath(FinalPathOf(h), expectedPath);
}

FolderOpening OpenTopFolder(const std::wstring& path, FolderAccess how, HeldFolder& out, DWORD& error) {
    out.Close();
    error = ERROR_SUCCESS;
    const std::wstring p = WithoutTrailingBackslash(UsualPath(path));
    for (int attempt = 0;; ++attempt) {
        out.handle = CreateFileW(p.c_str(), how.access | SYNCHRONIZE, how.share, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (out.handle != INVALID_HANDLE_VALUE) break;
        out.handle = nullptr;
        error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return FolderOpening::Missing;
        if (error != ERROR_SHARING_VIOLATION || attempt == kSharingRetries) return FolderOpening::Failed;
        Sleep(50);
    }
    EntryInfo e;
    if (!GetFileInformationByHandleEx(out.handle, FileBasicInfo, &e.basic, sizeof e.basic) ||
        !GetFileInformationByHandleEx(out.handle, FileStandardInfo, &e.standard, sizeof e.standard)) {
        error = GetLastError();
        return Refused(out, FolderOpening::Failed);
    }
    if (e.basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return Refused(out, FolderOpening::Link);
    if (!e.standard.Directory) return Refused(out, FolderOpening::NotAFolder);
    // A link shows its mark on the handle opened at it; only Wine shows a
    // Unix symbolic link to a folder as that folder, and marks its path.
    if (MarkedAsLink(p)) return Refused(out, FolderOpening::Link);
    out.finalPath = FinalPathOf(out.handle);
    return FolderOpening::Opened;
}

std::wstring WhereItsParentHoldsIt(const std::wstring& path) {
    const std::wstring p = WithoutTrailingBackslash(UsualPath(path));
    const std::size_t cut = p.find_last_of(L'\\');
    if (cut == std::wstring::npos || cut + 1 >= p.size()) return p;
    const std::wstring parentPath = cut == 2 ? p.substr(0, 3) : p.substr(0, cut);
    HANDLE parent = CreateFileW(parentPath.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (parent == INVALID_HANDLE_VALUE) return std::wstring();
    const std::wstring where = FinalPathOf(parent);
    CloseHandle(parent);
    return where.empty() ? where : where + L"\\" + LastLevel(p);
}

LONG OpenChildFile(const HeldFolder& parent, const std::wstring& name, ACCESS_MASK access, ULONG share,
                   ULONG options, HANDLE& out, bool create, bool createNew) {
    UNICODE_STRING us;
    us.Buffer = const_cast<wchar_t*>(name.c_str());
    us.Length = us.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    OBJECT_ATTRIBUTES oa;
    InitializeObjectAttributes(&oa, &us, OBJ_CASE_INSENSITIVE, parent.handle, nullptr);
    IO_STATUS_BLOCK io = {};
    out = nullptr;
    NTSTATUS status = NtCreateFile(&out, access | SYNCHRONIZE, &oa, &io, nullptr, 0, share,
                                   createNew ? FILE_CREATE : create ? FILE_OPEN_IF : FILE_OPEN,
                                   options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (status < 0) out = nullptr;
    return status;
}

FolderOpening OpenChildFolder(const HeldFolder& parent, const std::wstring& name, FolderAccess how, bool create,
                              HeldFolder& out, DWORD& error) {
    out.Close();
    error = ERROR_SUCCESS;
    const NTSTATUS status = OpenChildFile(parent, name, how.access, how.share,
                                          FILE_DIRECTORY_FILE | FILE_OPEN_FOR_BACKUP_INTENT, out.handle, create);
    if (status == kNameNotFound || status == kPathNotFound) return FolderOpening::Missing;
    if (status == kNotADirectory) return FolderOpening::NotAFolder;
    if (status < 0) {
        error = RtlNtStatusToDosError(status);
        return FolderOpening::Failed;
    }
    FILE_BASIC_INFO basic;
    FILE_STANDARD_INFO standard;
    if (!GetFileInformationByHandleEx(out.handle, FileBasicInfo, &basic, sizeof basic) ||
        !GetFileInformationByHandleEx(out.handle, FileStandardInfo, &standard, sizeof standard)) {
        error = GetLastError();
        return Refused(out, FolderOpening::Failed);
    }
    if ((basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !standard.Directory ||
        MarkedAsLink(parent.finalPath + L"\\" + name))
        return Refused(out, FolderOpening::Link);
    out.finalPath = FinalPathOf(out.handle);
    return FolderOpening::Opened;
}

} // namespace tavix
