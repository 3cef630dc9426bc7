// The fixed texts with which the installation makes the product known to
// Windows: the uninstall entry, the document association and application
// keys, the program manager's commands and the desktop shortcut's folder.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavix {

enum class RegRoot { CurrentUser, ClassesRoot };

// A string (REG_SZ) or a 32-bit number (REG_DWORD).
enum class RegKind { String, Dword };

// One value: root, key path below the root, value name (empty: the key's
// default value) and data, all GBK: `value` for a string, `number` for a
// DWORD.
struct RegValue {
    RegRoot root;
    std::string key;
    std::string name;
    std::string value;
    RegKind kind = RegKind::String;
    std::uint32_t number = 0;
};

// The uninstall entry under HKEY_CURRENT_USER. The uninstaller reads these
// names with exactly this letter case.
inline constexpr const char* kUninstallKey = "software\\microsoft\\windows\\currentversion\\uninstall\\Quorvix";
inline constexpr const char* kUninstallerFile = "Uninstall.exe";

// The document type and the application's own keys.
inline constexpr const char* kDocumentExt = ".Qvt";
inline constexpr const char* kClassKey = "Software\\TAVIX";
inline constexpr int kIconIndex = 0;

// "DisplayVersion" of a version serial. An eight-digit serial holds two
// digits per part of a four-part version: "02080206" gives "2.8.2.6". Any
// other serial keeps the earlier form: its first character, ".", the next
// two, ".", and up to ten more ("27200" gives "2.72.00").
std::string DisplayVersion(std::string_view serial);

// The values of the uninstall entry, in the order they are written:
// "displayname", "Publisher", "DisplayVersion", "URLInfoAbout",
// "uninstallstring" (the uninstaller's path in quotes).
std::vector<RegValue> UninstallValues(std::string_view installDir, std::string_view versionSerial);

// What Windows' list of installed programs shows beside those five values,
// in the order written: "DisplayIcon" (the main program's first icon),
// "InstallLocation" (the folder, with its trailing backslash),
// "EstimatedSize" (DWORD, kilobytes), "InstallDate" (YYYYMMDD), "NoModify"
// and "NoRepair" (DWORD 1: the entry offers neither), and
// "QuietUninstallString" (the uninstaller, quoted, with /S).
std::vector<RegValue> UninstallEntryAdditions(std::string_view installDir, std::string_view exeName,
                                              std::uint64_t installedBytes, std::string_view installDate);

// The uninstaller's command line with /S: its path in quotes.
std::string QuietUninstallCommand(std::string_view installDir);

// Bytes as whole kilobytes, rounded up, at most what a DWORD holds.
std::uint32_t EstimatedSizeKb(std::uint64_t bytes);

// "20260314": a date as the list of installed programs reads it.
std::string InstallDateText(int year, int month, int day);

// The document association under HKEY_CLASSES_ROOT, in the order written:
// the extension's class, the class description, its icon, the "&Open" verb
// and its command (the target and "%1", each in quotes, so that neither a
// blank in the folder nor one in the document's path splits them).
std::vector<RegValue> AssociationValues(std::string_view ext, std::string_view classKey, int iconIndex,
                                        std::string_view target, std::string_view description);

// The application keys under HKEY_CURRENT_USER, in the order written: the
// folder of the target ("Path", with its trailing backslash), the serial and
// the version as the setup control file gives them.
std::vector<RegValue> ApplicationValues(std::string_view classKey, std::string_view target,
                                        std::string_view serial, std::string_view version);

// The folder part of a file path with its trailing backslash (GBK-aware);
// empty when the path has no backslash.
std::string FolderWithBackslash(std::string_view path);

// The program group named after the caption and its four items: the
// program (titled with the caption), the uninstaller ("卸载" + caption), the
// help file ("使用说明") and the licence agreement ("用户授权协议"). Each
// item's title is also the name of its shortcut in the group's folder.
struct ProgramGroupItem {
    std::string target;  // the file the item opens
    std::string title;
};
struct ProgramGroup {
    std::string name;
    std::vector<ProgramGroupItem> items;
};
ProgramGroup ProgramGroupOf(std::string_view installDir, std::string_view exeName, std::string_view caption);

// The program manager's commands that make the group: "creategroup" with
// the group's name twice, then one "additem" per item with its target and
// title. Each parameter is in quotes (a folder such as
// C:\Program Files (x86)\ holds a ")"); no length limit applies.
std::vector<std::string> ProgramGroupCommands(const ProgramGroup& group);
std::vector<std::string> ProgramGroupCommands(std::string_view installDir, std::string_view exeName,
                                              std::string_view caption);

// The program manager's command that removes the group named `name`, its
// parameter in quotes as above.
std::string DeleteGroupCommand(std::string_view name);

} // namespace tavix
