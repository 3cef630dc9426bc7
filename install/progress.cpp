#include "progress.h"

#include "setupdata/gbk.h"

namespace tavix {

std::string CreatingFolderStatus(std::string_view relDir) { return "创建文件夹\\" + std::string(relDir); }

std::string MainFolderFailedText(std::string_view dir) {
    return "创建主文件夹\\" + std::string(dir) + " 失败";
}

std::string SubFolderFailedText(std::string_view relDir) {
    return "创建文件夹\\" + std::string(relDir) + " 失败";
}

std::string MainFolderLinkText(std::string_view dir) {
    return "安装文件夹 " + std::string(dir) + " 是指向其他位置的链接，没有安装到这里";
}

std::string SubFolderLinkText(std::string_view relDir) {
    return "文件夹\\" + std::string(relDir) + " 是指向其他位置的链接，其中的文件没有安装";
}

std::string MissingPartsText(const std::vector<std::string>& parts) {
    std::string text = "安装已完成，但以下部分没有创建：\r";
    for (const std::string& p : parts) text += "\r" + p;
    return text + "\r\r其余部分都已安装。";
}

std::string StatusPathText(std::string_view installDir, std::string_view relPath) {
    if (installDir.size() + relPath.size() <= kStatusPathMax)
        return std::string(installDir) + std::string(relPath);
    std::size_t head = GbkClampLength(installDir, kStatusFolderHead);
    return std::string(installDir.substr(0, head)) + "...\\" + std::string(relPath);
}

std::vector<int> CompleteInstallBarPositions(int entryCount) {
    std::vector<int> positions = {bar::kStart, bar::kMainProgram};
    for (int i = 0; i < entryCount; ++i) positions.push_back(bar::ForEntry(i));
    positions.insert(positions.end(), {bar::kUninstaller, bar::kDesktopLink, bar::kProgramGroup, bar::kRegInfo});
    return positions;
}

std::string RetryQuestion(std::string_view error) {
    return std::string(error) + "\r\r请关闭正在使用这个文件的程序，或者取消它的只读属性、腾出磁盘空间，然后点击“重试”。点击“取消”停止安装。";
}

} // namespace tavix
