#include "common/product.h"

#include <cctype>

#include "setupdata/gbk.h"
#include "setupdata/ini.h"
#include "setupdata/path_rules.h"

namespace tavix {

std::string BackdropTitle(std::string_view caption) {
    std::string name(caption.empty() ? std::string_view(kProductName) : caption);
    // A build mark: "-" and ASCII letters or digits, just before the closing
    // full-width parenthesis of a note that an opening one began.
    const std::string open = "（", close = "）";
    if (GbkEndsWith(name, close)) {
        const std::size_t end = name.size() - close.size();
        std::size_t noteStart = std::string::npos, dash = std::string::npos;
        for (std::size_t i = 0; i < end; ++i) {
            if (name.compare(i, open.size(), open) == 0) noteStart = i;
            if (name[i] == '-') dash = i;
            if (IsGbkLead(static_cast<unsigned char>(name[i]))) ++i;
        }
        bool mark = noteStart != std::string::npos && dash != std::string::npos && noteStart < dash && dash + 1 < end;
        for (std::size_t i = dash + 1; mark && i < end; ++i)
            mark = static_cast<unsigned char>(name[i]) < 0x80 && std::isalnum(static_cast<unsigned char>(name[i]));
        if (mark) name.erase(dash, end - dash);
    }
    return "  " + name + "安装程序 ";
}

std::string FooterWebLine() { return std::string(kProductName) + "官方网站 " + kWebAddress; }

std::string FooterMakerLine() { return std::string(kPublisher) + "·维摩拉营养软件有限公司（2003－2026）"; }

std::string ProductRunningQuestion() {
    return std::string(kProductName) + "正在运行中，只有结束其\r运行后，才能进行软件更新。\r\r要结束正在运行的" +
           kProductName + "吗?";
}

bool IsProductExeName(std::string_view exeFile) {
    std::size_t slash = GbkFindLast(exeFile, '\\');
    std::size_t colon = GbkFindLast(exeFile, ':');
    std::size_t cut = std::string_view::npos;
    if (slash != std::string_view::npos) cut = slash;
    if (colon != std::string_view::npos && (cut == std::string_view::npos || colon > cut)) cut = colon;
    std::string_view name = cut == std::string_view::npos ? exeFile : exeFile.substr(cut + 1);
    return name == "TAVI.EXE" || name == "TAVI.exe" || name == "tavi.EXE" || name == "tavi.exe";
}

std::string ControlFileProblem(std::string_view controlText) {
    const std::string head = "安装程序已损坏：控制文件中";
    if (IniLookup(controlText, "Form", "Caption").empty()) return head + "缺少 [Form] Caption。";
    const std::string exe = IniLookup(controlText, "Run", "FileName");
    if (!IsPlainFileName(exe)) return head + "的 [Run] FileName“" + exe + "”不是一个文件名。";
    const std::string link = IniLookup(controlText, "Form", "desKtopLink");
    if (!IsDesktopLinkName(link))
        return head + "的 [Form] desKtopLink“" + link + "”不是“\\”加上以 .lnk 结尾的文件名。";
    return std::string();
}

} // namespace tavix
