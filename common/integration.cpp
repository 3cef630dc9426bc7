#include "common/integration.h"

#include <cstdio>

#include "setupdata/gbk.h"
#include "setupdata/product_info.h"

namespace tavix {
namespace {

bool AllDigits(std::string_view s) {
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// A part of the version without its leading zeros ("08" -> "8", "00" -> "0").
std::string_view DropLeadingZeros(std::string_view part) {
    while (part.size() > 1 && part.front() == '0') part.remove_prefix(1);
    return part;
}

// Like the substring of a 1-based position and a count that stops quietly at
// the end of the text.
std::string_view Sub(std::string_view s, std::size_t from1, std::size_t count) {
    if (from1 - 1 >= s.size()) return {};
    return s.substr(from1 - 1, count);
}

// A path in a command that Windows runs, or a parameter of the program
// manager's commands: in quotes, so that a blank in it never splits it
// (unquoted, D:\Program Files\x.exe starts D:\Program.exe where one exists),
// nor a "," or ")" (C:\Program Files (x86)\) ends a parameter early.
std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

} // namespace

std::string DisplayVersion(std::string_view serial) {
    std::string out;
    if (serial.size() == 8 && AllDigits(serial)) {
        for (std::size_t i = 0; i < 8; i += 2) {
            if (i) out += '.';
            out += DropLeadingZeros(serial.substr(i, 2));
        }
        return out;
    }
    out += Sub(serial, 1, 1);
    out += '.';
    out += Sub(serial, 2, 2);
    out += '.';
    out += Sub(serial, 4, 10);
    return out;
}

std::vector<RegValue> UninstallValues(std::string_view installDir, std::string_view versionSerial) {
    const RegRoot hkcu = RegRoot::CurrentUser;
    return {
        {hkcu, kUninstallKey, "displayname", kProductName},
        {hkcu, kUninstallKey, "Publisher", kPublisher},
        {hkcu, kUninstallKey, "DisplayVersion", DisplayVersion(versionSerial)},
        {hkcu, kUninstallKey, "URLInfoAbout", kWebAddress},
        {hkcu, kUninstallKey, "uninstallstring", Quoted(std::string(installDir) + kUninstallerFile)},
    };
}

std::vector<RegValue> UninstallEntryAdditions(std::string_view installDir, std::string_view exeName,
                                              std::uint64_t installedBytes, std::string_view installDate) {
    const RegRoot hkcu = RegRoot::CurrentUser;
    const std::string dir(installDir);
    auto dword = [&](const char* name, std::uint32_t n) {
        return RegValue{hkcu, kUninstallKey, name, std::string(), RegKind::Dword, n};
    };
    return {
        {hkcu, kUninstallKey, "DisplayIcon", dir + std::string(exeName) + ",0"},
        {hkcu, kUninstallKey, "InstallLocation", dir},
        dword("EstimatedSize", EstimatedSizeKb(installedBytes)),
        {hkcu, kUninstallKey, "InstallDate", std::string(installDate)},
        dword("NoModify", 1),
        dword("NoRepair", 1),
        {hkcu, kUninstallKey, "QuietUninstallString", QuietUninstallCommand(installDir)},
    };
}

std::string QuietUninstallCommand(std::string_view installDir) {
    return Quoted(std::string(installDir) + kUninstallerFile) + " /S";
}

std::uint32_t EstimatedSizeKb(std::uint64_t bytes) {
    const std::uint64_t kb = bytes / 1024 + (bytes % 1024 ? 1 : 0);
    return kb > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(kb);
}

std::string InstallDateText(int year, int month, int day) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02d%02d", year % 10000, month % 100, day % 100);
    return text;
}

std::vector<RegValue> AssociationValues(std::string_view ext, std::string_view classKey, int iconIndex,
                                        std::string_view target, std::string_view description) {
    const RegRoot hkcr = RegRoot::ClassesRoot;
    const std::string cls(classKey), tgt(target);
    return {
        {hkcr, std::string(ext), "", cls},
        {hkcr, cls, "", std::string(description)},
        {hkcr, cls + "\\DefaultIcon", "", tgt + "," + std::to_string(iconIndex)},
        {hkcr, cls + "\\Shell\\Open", "", "&Open"},
        {hkcr, cls + "\\Shell\\Open\\Command", "", Quoted(tgt) + " " + Quoted("%1")},
    };
}

std::vector<RegValue> ApplicationValues(std::string_view classKey, std::string_view target,
                                        std::string_view serial, std::string_view version) {
    const RegRoot hkcu = RegRoot::CurrentUser;
    const std::string cls(classKey);
    return {
        {hkcu, cls + "\\Shell\\PathName", "Path", FolderWithBackslash(target)},
        {hkcu, cls + "\\Shell\\Serial", "Serial", std::string(serial)},
        {hkcu, cls + "\\Shell\\Version", "Version", std::string(version)},
    };
}

std::string FolderWithBackslash(std::string_view path) {
    std::size_t slash = GbkFindLast(path, '\\');
    if (slash == std::string_view::npos) return std::string();
    return std::string(path.substr(0, slash + 1));
}

ProgramGroup ProgramGroupOf(std::string_view installDir, std::string_view exeName, std::string_view caption) {
    const std::string dir(installDir), c(caption);
    return {c,
            {
                {dir + std::string(exeName), c},
                {dir + kUninstallerFile, "卸载" + c},
                {dir + "help.chm", "使用说明"},
                {dir + "用户授权协议.txt", "用户授权协议"},
            }};
}

std::vector<std::string> ProgramGroupCommands(const ProgramGroup& group) {
    std::vector<std::string> commands = {"[creategroup(" + Quoted(group.name) + "," + Quoted(group.name) + ")]"};
    for (const ProgramGroupItem& item : group.items)
        commands.push_back("[additem(" + Quoted(item.target) + "," + Quoted(item.title) + ")]");
    return commands;
}

std::vector<std::string> ProgramGroupCommands(std::string_view installDir, std::string_view exeName,
                                              std::string_view caption) {
    return ProgramGroupCommands(ProgramGroupOf(installDir, exeName, caption));
}

std::string DeleteGroupCommand(std::string_view name) { return "[DeleteGroup(" + Quoted(std::string(name)) + ")]"; }

} // namespace tavix
