#include "folder_checks.h"

#include <windows.h>

#include "common/folder_handles.h"
#include "install/folder_rule.h"
#include "common/integration.h"
#include "setupdata/manifest.h"
#include "setupdata/payload.h"
#include "setupdata/wide_text.h"
#include "ui/window.h"

namespace install {
namespace {

std::wstring DriveRoot(const std::string& folder) { return tavix::W(folder.substr(0, 3)); }

} // namespace

std::vector<std::string> TargetsBelowFolder(const SetupState& state) {
    std::vector<std::string> targets = {state.ReadSetupIni("Run", "FileName"), tavix::kUninstallerFile};
    const std::vector<std::string> lines = tavix::SplitManifestLines(state.ManifestText());
    for (std::size_t i = 0; i < lines.size(); ++i)
        targets.push_back(tavix::ParseManifestLine(lines[i], static_cast<int>(i)).TargetPath);
    return targets;
}

std::string FolderProblem(const SetupState& state, const std::string& folder) {
    std::string problem = tavix::InstallFolderProblem(folder, TargetsBelowFolder(state));
    if (!problem.empty()) return problem;
    ui::CriticalErrorsSuppressed quiet;
    const std::wstring root = DriveRoot(folder);
    const UINT type = GetDriveTypeW(root.c_str());
    const std::string drive = folder.substr(0, 2);
    if (type == DRIVE_NO_ROOT_DIR || type == DRIVE_UNKNOWN) return "驱动器 " + drive + " 不存在。请选择另一个磁盘。";
    // A mapped share: the files would lie on another machine, where others decide what they hold.
    if (type == DRIVE_REMOTE) return "驱动器 " + drive + " 是网络驱动器，不能安装到网络上。请选择本机磁盘上的文件夹。";
    const DWORD attributes = GetFileAttributesW(root.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return "驱动器 " + drive + " 无法访问（没有插入磁盘？）。请选择另一个磁盘。";
    // A folder that leads elsewhere is no place to install to (nor could
    // the uninstaller remove from it); links above it are the administrator's.
    tavix::HeldFolder held;
    DWORD error = ERROR_SUCCESS;
    if (tavix::OpenTopFolder(tavix::W(folder), tavix::kHoldFolder, held, error) == tavix::FolderOpening::Link)
        return "文件夹 " + folder + " 是指向其他位置的链接，不能安装到这里。请选择另一个文件夹。";
    return std::string();
}

std::string DefaultSetupPath(const SetupState& state) {
    wchar_t windows[MAX_PATH] = {};
    const UINT n = GetSystemWindowsDirectoryW(windows, MAX_PATH);
    const std::string systemRoot = n >= 3 && n < MAX_PATH ? tavix::G(std::wstring(windows, 3)) : std::string();
    ui::CriticalErrorsSuppressed quiet;
    return tavix::SetupPathOnFixedDrive(state.ReadSetupIni("SetupDir", "SetupPath"), systemRoot,
                                        [](const std::string& root) { return GetDriveTypeW(tavix::W(root).c_str()) == DRIVE_FIXED; });
}

DiskSpace SpaceFor(const SetupState& state, const std::string& folder) {
    DiskSpace space;
    auto add = [&space](const char* type, const std::string& name) {
        try {
            space.needed += tavix::FindPayload(type, name).size;
        } catch (const std::exception&) {
            // a missing item is reported when the installation comes to it
        }
    };
    add("exename", "FileExe");
    add("exename", "uninstall");
    const std::vector<std::string> lines = tavix::SplitManifestLines(state.ManifestText());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const tavix::ManifestEntry e = tavix::ParseManifestLine(lines[i], static_cast<int>(i));
        add(e.ResourceType.c_str(), e.ResourceName);
    }
    ui::CriticalErrorsSuppressed quiet;
    ULARGE_INTEGER available = {};
    space.known = folder.size() >= 3 && GetDiskFreeSpaceExW(DriveRoot(folder).c_str(), &available, nullptr, nullptr);
    space.free = available.QuadPart;
    return space;
}

} // namespace install
