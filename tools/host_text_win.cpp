#include <windows.h>

#include <algorithm>

#include "host_file.h"
#include "host_text.h"

namespace tavix {
namespace {

// A file or folder opened for its attributes only, links followed.
struct OpenedPath {
    HANDLE handle;
    explicit OpenedPath(const std::string& path)
        : handle(CreateFileW(ApiPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)) {}
    ~OpenedPath() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
    bool Ok() const { return handle != INVALID_HANDLE_VALUE; }
};

// Where an opened path leads in the end, links and junctions resolved, as
// "C:\..." (or "\\server\..."); empty when the system does not say.
std::wstring FinalPath(HANDLE h) {
    std::wstring path(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(h, &path[0], static_cast<DWORD>(path.size()), 0);
    if (n >= path.size()) {
        path.resize(n + 1);
        n = GetFinalPathNameByHandleW(h, &path[0], static_cast<DWORD>(path.size()), 0);
    }
    if (n == 0 || n >= path.size()) return std::wstring();
    path.resize(n);
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) return L"\\" + path.substr(7);
    if (path.compare(0, 4, L"\\\\?\\") == 0) return path.substr(4);
    return path;
}

bool SameIgnoringCase(const std::wstring& a, std::size_t aLength, const std::wstring& b) {
    return aLength <= a.size() &&
           CompareStringOrdinal(a.data(), static_cast<int>(aLength), b.data(), static_cast<int>(b.size()), TRUE) ==
               CSTR_EQUAL;
}

// Whether `path` (a final path) is `root` or below it.
bool IsBelow(const std::wstring& path, std::wstring root) {
    if (!root.empty() && root.back() == L'\\') root.pop_back();
    return SameIgnoringCase(path, root.size(), root) && (path.size() == root.size() || path[root.size()] == L'\\');
}

// `dir` + "\\" + `name`, with one separator between them.
std::string Joined(const std::string& dir, const std::string& name) {
    return dir.empty() || dir.back() == '\\' || dir.back() == '/' ? dir + name : dir + "\\" + name;
}

void ListFolder(const std::string& dir, std::vector<std::string>& files) {
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileExW(ApiPath(Joined(dir, "*")).c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                nullptr, 0);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::string path = Joined(dir, Utf16ToUtf8(std::u16string(name.begin(), name.end())));
        const bool link = found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!link) ListFolder(path, files);  // a linked folder is not walked
        } else if (!link || IsRegularFile(path)) {
            files.push_back(path);
        }
    } while (FindNextFileW(h, &found));
    FindClose(h);
}

} // namespace

bool DecodeGbkPair(unsigned char lead, unsigned char trail, char16_t& out) {
    const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    wchar_t wide[2];
    if (MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, in, 2, wide, 2) != 1) return false;
    out = static_cast<char16_t>(wide[0]);
    return true;
}

std::string ReleaseHostPath(const std::string& releaseDir, const std::string& targetPath) {
    return Joined(releaseDir, GbkToUtf8(targetPath));
}

std::string HostFileKey(const std::string& hostPath) {
    std::u16string wide = Utf8ToUtf16(hostPath);
    std::wstring key(wide.begin(), wide.end());
    if (!key.empty())
        LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, key.data(), static_cast<int>(key.size()), &key[0],
                      static_cast<int>(key.size()), nullptr, nullptr, 0);
    std::replace(key.begin(), key.end(), L'/', L'\\');
    return Utf16ToUtf8(std::u16string(key.begin(), key.end()));
}

bool IsRegularFile(const std::string& hostPath) {
    OpenedPath p(hostPath);
    BY_HANDLE_FILE_INFORMATION info;
    return p.Ok() && GetFileType(p.handle) == FILE_TYPE_DISK && GetFileInformationByHandle(p.handle, &info) &&
           !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

FileFacts InspectReleaseFile(const std::string& releaseDir, const std::string& hostPath) {
    FileFacts facts;
    OpenedPath file(hostPath), root(releaseDir);
    if (!file.Ok() || !root.Ok()) return facts;  // missing, or a link that leads nowhere
    const std::wstring real = FinalPath(file.handle), top = FinalPath(root.handle);
    if (real.empty() || top.empty()) return facts;
    if (!IsBelow(real, top) || real.size() == top.size()) {
        facts.kind = FileKind::kLinkOutside;
        facts.linkTarget = Utf16ToUtf8(std::u16string(real.begin(), real.end()));
        return facts;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(file.handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.handle, &info)) {
        facts.kind = FileKind::kOther;
        return facts;
    }
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        facts.kind = FileKind::kFolder;
        return facts;
    }
    facts.kind = FileKind::kRegular;
    facts.size = static_cast<std::uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    return facts;
}

std::vector<std::string> ListReleaseFiles(const std::string& releaseDir) {
    std::vector<std::string> files;
    ListFolder(releaseDir, files);
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace tavix
