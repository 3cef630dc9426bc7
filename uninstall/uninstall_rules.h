// What the uninstaller decides without the system: its exit codes, which
// registry values are still this installation's, the folders it empties
// bottom up, and its texts (GBK).
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "common/install_record.h"
#include "common/integration.h"

namespace tavix {

// Exit codes of the uninstaller (with and without /S).
enum class UninstallExit : int {
    Success = 0,         // everything the setup made is gone, the folder too
    BadCommandLine = 1,  // an unknown switch, /D=, a log that cannot be written
    AnotherCopy = 2,     // the setup or another uninstaller is running
    ProductRunning = 3,  // the product runs (and was not ended); nothing removed
    RecordUnusable = 4,  // the record is missing or damaged, or the folder is a link: nothing removed
    UserFilesKept = 5,   // the rest is gone; files the user changed or made stay, with their folders
    RemoveFailed = 6,    // something could not be removed; the rest is gone
    RecordRefused = 7,   // lines of the record name paths outside the folder: refused, the rest is gone
    Cancelled = 8,       // the user said no; nothing removed
};

// The outcome that counts when both hold: a refused record before a failure,
// a failure before kept files, kept files before success.
UninstallExit WorseExit(UninstallExit a, UninstallExit b);

// Whether `folder` (ending in "\") is the folder of the file a registry
// value names: the value is that file's path, in quotes or not, maybe
// followed by arguments (" %1", " /S") or an icon index (",0"). Letter case
// is ignored as Windows ignores it.
bool NamesFileIn(std::string_view value, std::string_view folder);

// Whether two paths name the same place on Windows (letter case ignored, a
// trailing backslash optional).
bool SamePath(std::string_view a, std::string_view b);

// The folders below the installation folder that hold the recorded files,
// with every parent, each once, deepest first (so each is emptied before
// its parent).
std::vector<std::string> RecordedFolders(const std::vector<RecordedFile>& files);

// The record's files by path (letter case ignored), in the order the record
// first names them, each with every checksum recorded for it.
struct FileToRemove {
    std::string path;
    std::vector<RecordedFile> accepted;  // the file is the setup's when it matches one
};
std::vector<FileToRemove> FilesToRemove(const std::vector<RecordedFile>& files);

// The keys of `values` that lie below `home` (and `home` itself), with every
// parent up to `home`, each once, deepest first: the keys the uninstaller
// removes once they are empty, never one above `home`.
std::vector<std::string> KeysToPrune(const std::vector<RegValue>& values, std::string_view home);

// ---- texts -------------------------------------------------------------------------
std::string UninstallTitle(std::string_view caption);
std::string ProductRunningUninstallQuestion();
std::string MissingRecordText(std::string_view folder);
std::string DamagedRecordText(std::string_view folder, std::string_view damage);
// The damage of a record larger than any the setup writes.
std::string RecordTooLargeText();
std::string LinkedFolderText(std::string_view folder);
std::string UnreadableFolderText(std::string_view folder, std::string_view why);
inline constexpr const char* kAnotherCopyText = "安装程序或卸载程序已经在运行。";
inline constexpr const char* kNothingRemoved = "没有删除任何文件。";

} // namespace tavix
