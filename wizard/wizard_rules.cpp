#include "wizard_rules.h"

#include <cstdio>
#include <cstdlib>

#include "setupdata/gbk.h"

namespace tavix {

// ---- texts ---------------------------------------------------------------------

std::string WelcomeTitle(std::string_view caption) { return "欢迎使用 " + std::string(caption); }

std::string WelcomeText(std::string_view caption) {
    return "即将在您的电脑上安装“" + std::string(caption) + "” 请点击“下一步”按钮继续。";
}

std::string ReadyText(std::string_view caption) {
    return "安装程序已经准备好在您的计算机上安装" + std::string(caption);
}

std::string ReadySubtitle(std::string_view caption) { return "点击“下一步”开始安装" + std::string(caption); }

std::string ReinstallMessage(std::string_view caption) {
    return std::string(caption) + "已经安装，要再次安装吗？" + "\r\r" +
           "若选择再次安装，请注意备份原软件中的数据资料，以免丢失宝贵数据。" + "\r" +
           "备份方法：退出本安装程序，运行Quorvix，点击窗口顶行“文件”菜" + "\r" +
           "单，选择“另存为”保存数据到U盘，或其它熟悉的文件夹中。" + "\r\r" +
           "    按 [Yes] 按钮再次安装；按 [No] 结束" + "\r";
}

std::string OlderVersionMessage() {
    return std::string("您正在安装的是一个旧版本，要继续安装吗？") + "\r\r" +
           "    按 [Yes] 按钮继续安装；按 [No] 结束" + "\r";
}

std::string DesktopFolderWarning() {
    return std::string("Quorvix不支持这种桌面安装方式！") + "\r" +
           "建议安装到 D盘、E盘，或 C盘的“Program Files\\”文件夹中。";
}

std::string MemoText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 32);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char c = bytes[i];
        if (c == '\0') break;
        if (c == '\r') {
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
            out += "\r\n";
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

// ---- sizes and the drive list ----------------------------------------------------

double BytesToGb(int64_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0 * 1024.0); }

std::string SizeText(double gb) {
    char buf[64];
    std::snprintf(buf, sizeof buf, gb >= 10 ? "%.1f" : "%.2f", gb);
    return buf;
}

DriveRow MakeDriveRow(std::string_view root, int64_t totalBytes, int64_t freeBytes) {
    DriveRow row;
    row.cells[0] = std::string(root.substr(0, 3));
    if (totalBytes > 0) row.cells[1] = SizeText(BytesToGb(totalBytes)) + " GB";
    if (freeBytes > 0) row.cells[2] = SizeText(BytesToGb(freeBytes)) + " GB";
    return row;
}

std::string RemainingSpaceCell(std::string_view freeCell) {
    if (freeCell.empty()) return std::string();
    std::string figure(freeCell.substr(0, freeCell.find(' ')));
    char* end = nullptr;
    double shown = std::strtod(figure.c_str(), &end);
    if (end == figure.c_str() || !(shown > 0)) return std::string();
    return " " + SizeText(shown - 0.019) + " GB";
}

int MarkInstallDrive(std::vector<DriveRow>& rows, std::string_view installDir, std::string_view rjSize) {
    std::string_view drive = installDir.substr(0, 3);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!EqualsIgnoreAsciiCase(rows[i].cells[0], drive)) continue;
        rows[i].cells[3] = " " + std::string(rjSize) + " MB";
        rows[i].cells[4] = RemainingSpaceCell(rows[i].cells[2]);
        return static_cast<int>(i);
    }
    return -1;
}

std::vector<std::string> SplitDriveStrings(std::string_view block) {
    std::vector<std::string> roots;
    std::size_t i = 0;
    while (i < block.size() && block[i] != '\0') {
        std::size_t end = block.find('\0', i);
        if (end == std::string_view::npos) end = block.size();
        roots.emplace_back(block.substr(i, end - i));
        i = end + 1;
    }
    return roots;
}

// ---- folders -------------------------------------------------------------------

namespace {

// Whether `word` occurs in `s` starting at a character boundary.
bool GbkContains(std::string_view s, std::string_view word) {
    for (std::size_t i = 0; i < s.size();) {
        if (s.compare(i, word.size(), word) == 0) return true;
        i += (IsGbkLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
    }
    return false;
}

}  // namespace

std::string SingleDriveFolder(std::string_view dirName) {
    return "C:\\Program Files\\" + std::string(dirName) + "\\";
}

bool IsDesktopOrUsersPath(std::string_view path) { return GbkContains(path, "Desktop") || GbkContains(path, "Users"); }

BrowseResult FolderAfterBrowse(std::string_view chosen, std::string_view dirName, std::size_t driveCount) {
    BrowseResult r;
    if (IsDesktopOrUsersPath(chosen)) {
        r.warn = true;
        r.folder = driveCount < 2 ? SingleDriveFolder(dirName) : "D:\\Program Files\\" + std::string(dirName) + "\\";
    } else if (chosen.size() == 3) {
        r.folder = std::string(chosen) + std::string(dirName) + "\\";
    } else {
        r.folder = std::string(chosen) + "\\" + std::string(dirName) + "\\";
    }
    return r;
}

std::string SwitchDrive(std::string_view folder, std::string_view driveCell) {
    if (folder.empty() || driveCell.empty()) return std::string(folder);
    // The letter replaces the whole first character, also a double-byte one.
    std::size_t first = (IsGbkLead(static_cast<unsigned char>(folder[0])) && folder.size() > 1) ? 2 : 1;
    return std::string(1, driveCell[0]) + std::string(folder.substr(first));
}

}  // namespace tavix
