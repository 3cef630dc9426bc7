#include "folder_rule.h"

#include <cstdio>

#include "setupdata/gbk.h"
#include "setupdata/path_rules.h"

namespace tavix {
namespace {

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// "X:\" at the start of `s`.
bool IsDriveRootPrefix(std::string_view s) {
    return s.size() >= 3 && IsDriveLetter(s[0]) && s[1] == ':' && s[2] == '\\';
}

std::string LevelMessage(LevelProblem problem, std::string_view level) {
    const std::string name(level);
    switch (problem) {
    case LevelProblem::kNone:
        return std::string();
    case LevelProblem::kEmpty:
        return "安装文件夹中有两个相连的反斜杠“\\\\”。";
    case LevelProblem::kDotsOnly:
        return "安装文件夹不能含有“.”或“..”这样的文件夹名。";
    case LevelProblem::kEndsInDot:
    case LevelProblem::kEndsInBlank:
        return "文件夹名“" + name + "”以句点或空格结尾，Windows 不允许这样的文件夹名。";
    case LevelProblem::kDeviceName:
        return "“" + name + "”是 Windows 保留的设备名，不能用作文件夹名。";
    case LevelProblem::kTooLong:
        return "文件夹名“" + name + "”太长。";
    case LevelProblem::kNotGbk:
    case LevelProblem::kControlCharacter:
    case LevelProblem::kForbiddenCharacter:
        break;
    }
    return "文件夹名“" + name + "”含有 Windows 不允许的字符（< > : \" / \\ | ? * 等）。";
}

}  // namespace

std::string InstallFolderProblem(std::string_view folder, const std::vector<std::string>& targets) {
    if (folder.empty()) return "请输入或选择安装文件夹。";
    if (folder.size() >= 2 && (folder[0] == '\\' || folder[0] == '/') && (folder[1] == '\\' || folder[1] == '/'))
        return "不能安装到网络路径。请选择本机磁盘上的文件夹，例如 D:\\Program Files\\。";
    if (!IsDriveRootPrefix(folder))
        return "安装文件夹必须是以盘符开头的完整路径，例如 D:\\Program Files\\。";
    // The levels below the drive's root; one final backslash is allowed.
    std::string_view below = folder.substr(3);
    if (!below.empty() && GbkFindLast(below, '\\') == below.size() - 1) below.remove_suffix(1);
    if (below.empty()) return "请不要直接安装到磁盘的根目录，请选择或输入其中的一个文件夹。";
    std::size_t start = 0;
    for (std::size_t i = 0; i <= below.size(); ++i) {
        if (i < below.size()) {
            if (IsGbkLead(static_cast<unsigned char>(below[i])) && i + 1 < below.size()) {
                ++i;
                continue;
            }
            if (below[i] != '\\') continue;
        }
        const std::string_view level = below.substr(start, i - start);
        const std::string message = LevelMessage(CheckPathLevel(level), level);
        if (!message.empty()) return message;
        start = i + 1;
    }
    const std::string_view base = folder.substr(0, 3 + below.size());
    for (const std::string& target : targets)
        if (CheckTargetLength(base, target) != PathLength::kFits)
            return "安装文件夹的路径太长：其中最长的文件路径将超过 259 个字符。请选择较短的文件夹。";
    return std::string();
}

std::string PresetFolder(std::string_view setupPath) { return std::string(setupPath) + "\\"; }

std::string OfferedFolder(std::string_view setupPath, std::string_view installedPath,
                          const std::function<bool(const std::string&)>& folderExists) {
    if (!installedPath.empty()) {
        // A value that is no full path is never looked up relative to the
        // current folder.
        std::string installed = HandOverFolder(installedPath);
        if (InstallFolderProblem(installed, {}).empty() && folderExists(installed)) return installed;
    }
    return PresetFolder(setupPath);
}

std::string HandOverFolder(std::string_view folder) {
    if (folder.empty() || GbkFindLast(folder, '\\') == folder.size() - 1) return std::string(folder);
    return std::string(folder) + "\\";
}

std::string SetupPathOnFixedDrive(std::string_view setupPath, std::string_view systemRoot,
                                  const std::function<bool(const std::string&)>& fixedDrive) {
    if (!IsDriveRootPrefix(setupPath) || systemRoot.size() != 3 || !IsDriveRootPrefix(systemRoot))
        return std::string(setupPath);
    if (fixedDrive(std::string(setupPath.substr(0, 3)))) return std::string(setupPath);
    return std::string(systemRoot) + std::string(setupPath.substr(3));
}

std::string ByteSizeText(std::uint64_t bytes) {
    const char* const units[] = {"字节", "KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1024 && unit < 4) {
        value /= 1024;
        ++unit;
    }
    char buf[32];
    if (unit == 0) std::snprintf(buf, sizeof buf, "%llu ", static_cast<unsigned long long>(bytes));
    else std::snprintf(buf, sizeof buf, value < 10 ? "%.1f " : "%.0f ", value);
    return buf + std::string(units[unit]);
}

std::string LowSpaceQuestion(char drive, std::uint64_t freeBytes, std::uint64_t neededBytes) {
    return std::string("磁盘 ") + drive + ": 的可用空间（" + ByteSizeText(freeBytes) + "）少于安装所需的空间（" +
           ByteSizeText(neededBytes) + "）。\r\r仍要继续安装吗？";
}

}  // namespace tavix
