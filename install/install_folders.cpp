#include "install/install_folders.h"

#include <windows.h>
#include <sddl.h>

#include "common/folder_handles.h"
#include "setupdata/gbk.h"
#include "setupdata/path_rules.h"
#include "setupdata/system_error.h"
#include "setupdata/wide_text.h"

namespace install {
namespace {

bool DirExists(const std::wstring& path) {
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// The byte offsets of the backslashes between the levels of `path` (GBK: a
// trail byte 0x5C is none).
std::vector<std::size_t> LevelEnds(const std::string& path) {
    std::vector<std::size_t> ends;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (tavix::IsGbkLead(static_cast<unsigned char>(path[i])) && i + 1 < path.size())
            ++i;
        else if (path[i] == '\\')
            ends.push_back(i);
    }
    ends.push_back(path.size());
    return ends;
}

constexpr const char* kLinkText = "是指向其他位置的链接";

} // namespace

bool MakeProtectedFolders(const std::string& path, std::vector<std::string>& made) {
    std::wstring dir = tavix::W(path);
    while (dir.size() > 3 && dir.back() == L'\\') dir.pop_back();
    // The missing levels, deepest first; a drive's root is never made.
    std::vector<std::wstring> missing;
    for (std::wstring p = dir; p.size() > 3 && !DirExists(p);) {
        missing.push_back(p);
        const std::size_t cut = p.find_last_of(L'\\');
        if (cut == std::wstring::npos) break;
        p.resize(cut == 2 ? 3 : cut);
    }
    if (missing.empty()) return DirExists(dir);
    // Without the rights a folder is not made at all: it would take those of
    // a parent that every user may change.
    PSECURITY_DESCRIPTOR rights = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kProtectedFolderRights, SDDL_REVISION_1, &rights,
                                                              nullptr))
        return false;
    SECURITY_ATTRIBUTES sa = {sizeof sa, rights, FALSE};
    bool ok = true;
    for (auto level = missing.rbegin(); ok && level != missing.rend(); ++level) {
        if (CreateDirectoryW(level->c_str(), &sa))
            made.push_back(tavix::G(*level));
        else
            ok = GetLastError() == ERROR_ALREADY_EXISTS && DirExists(*level);
    }
    LocalFree(rights);
    return ok && DirExists(dir);
}

InstallFolders::InstallFolders() = default;
InstallFolders::~InstallFolders() { Close(); }

void InstallFolders::Close() {
    // Deepest first: a folder's key begins with its parent's, so it sorts after it.
    while (!held_.empty()) held_.erase(std::prev(held_.end()));
}

InstallFolders::Result InstallFolders::OpenRoot(const std::string& dir, std::string& why) {
    Close();
    auto root = std::make_unique<tavix::HeldFolder>();
    DWORD error = ERROR_SUCCESS;
    switch (tavix::OpenTopFolder(tavix::W(dir), tavix::kHoldFolder, *root, error)) {
    case tavix::FolderOpening::Opened:
        held_[std::string()] = std::move(root);
        return Result::Ready;
    case tavix::FolderOpening::Link: why = kLinkText; return Result::Link;
    case tavix::FolderOpening::NotAFolder: error = ERROR_DIRECTORY; break;
    default: break;
    }
    why = tavix::SystemErrorText(error);
    return Result::Failed;
}

InstallFolders::Result InstallFolders::Ensure(const std::string& relDir, std::string& why) {
    auto root = held_.find(std::string());
    if (root == held_.end()) {
        why = tavix::SystemErrorText(ERROR_PATH_NOT_FOUND);
        return Result::Failed;
    }
    if (relDir.empty()) return Result::Ready;
    const tavix::HeldFolder* parent = root->second.get();
    std::size_t start = 0;
    for (std::size_t end : LevelEnds(relDir)) {
        const std::string path = relDir.substr(0, end), key = tavix::TargetCollisionKey(path);
        auto found = held_.find(key);
        if (found == held_.end()) {
            auto level = std::make_unique<tavix::HeldFolder>();
            DWORD error = ERROR_SUCCESS;
            switch (tavix::OpenChildFolder(*parent, tavix::W(relDir.substr(start, end - start)), tavix::kHoldFolder,
                                           true, *level, error)) {
            case tavix::FolderOpening::Opened: found = held_.emplace(key, std::move(level)).first; break;
            case tavix::FolderOpening::Link:
                why = "\\" + path + " " + kLinkText;
                return Result::Link;
            case tavix::FolderOpening::NotAFolder: error = ERROR_DIRECTORY; [[fallthrough]];
            default: why = tavix::SystemErrorText(error); return Result::Failed;
            }
        }
        parent = found->second.get();
        start = end + 1;
    }
    return Result::Ready;
}

} // namespace install
