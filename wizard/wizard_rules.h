// What the wizard decides without a window: its texts, the drive list's rows
// and the folders it builds. The rules every road to the installation shares
// (the earlier installation, the folder offered and handed over) are the
// installation's: install/earlier_install.h, install/folder_rule.h. All text
// is GBK bytes.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavix {

// ---- texts ---------------------------------------------------------------------

inline constexpr const char* kExitQuestion = "确定要退出安装程序吗?";
inline constexpr const char* kExitCaption = "退出安装";
inline constexpr const char* kAgreementSubtitle = "请仔细阅读下面的协议条款";
inline constexpr const char* kFolderTitle = "选择安装文件夹";
inline constexpr const char* kReadyTitle = "安装确认";
inline constexpr const char* kBrowseTitle = "选择安装路径";
inline constexpr const char* kFinishCaption = "完毕";
inline constexpr const char* kNextCaption = "下一步 >";
inline constexpr const char* kNextCaptionPlain = "下一步";
inline constexpr const char* kBackCaption = "< 返回";
inline constexpr const char* kExitButtonCaption = "退出";

std::string WelcomeTitle(std::string_view caption);     // Label6
std::string WelcomeText(std::string_view caption);      // Label7
std::string ReadyText(std::string_view caption);        // Label2
std::string ReadySubtitle(std::string_view caption);    // Label5 on the ready page
// The question when the same release is installed (bare CRs as line breaks).
std::string ReinstallMessage(std::string_view caption);
// The question when a later release is installed.
std::string OlderVersionMessage();
// The warning after a browse to a desktop or user folder.
std::string DesktopFolderWarning();

// Text of a file for a multi-line edit box: every line end (CR LF, LF or a
// lone CR) becomes CR LF; the text ends at the first NUL.
std::string MemoText(std::string_view bytes);

// ---- sizes and the drive list ----------------------------------------------------

// Bytes as gigabytes of 1024^3 bytes.
double BytesToGb(int64_t bytes);
// One decimal from 10 up, two below, rounded to nearest, "." as the point.
std::string SizeText(double gb);

// One row of the drive list: "卷标", "磁盘大小", "可用空间", "使用", " 剩余空间".
struct DriveRow {
    std::string cells[5];
};
inline constexpr int kDriveColumns = 5;
inline constexpr int kDriveColumnWidths[3] = {50, 80, 80};

// The row of a drive root with its total and free bytes (not positive: the
// size is unknown and its cell stays empty).
DriveRow MakeDriveRow(std::string_view root, int64_t totalBytes, int64_t freeBytes);
// The remaining space shown for a free-space cell ("465.8 GB"): the figure
// before the first blank minus 0.019, as " " + size text + " GB"; empty when
// the cell is empty or its figure is not positive.
std::string RemainingSpaceCell(std::string_view freeCell);
// Marks the row of the drive of `installDir` (its first three characters,
// letter case ignored): column 3 " " + rjSize + " MB", column 4 the remaining
// space. Returns the row's index, or -1 when no row matches.
int MarkInstallDrive(std::vector<DriveRow>& rows, std::string_view installDir, std::string_view rjSize);

// The drive roots of the platform's logical-drive block: zero-terminated
// entries ended by an empty one.
std::vector<std::string> SplitDriveStrings(std::string_view block);

// ---- folders -------------------------------------------------------------------

// The folder on a machine with fewer than two drives.
std::string SingleDriveFolder(std::string_view dirName);
// True when a browsed path names a desktop or user folder ("Desktop" or
// "Users" anywhere, exact letter case).
bool IsDesktopOrUsersPath(std::string_view path);

struct BrowseResult {
    bool warn = false;      // the desktop-folder warning is shown first
    std::string folder;     // the new text of the folder box
};
// The folder after the user chose `chosen` in the folder browser.
BrowseResult FolderAfterBrowse(std::string_view chosen, std::string_view dirName, std::size_t driveCount);

// The folder after a double-click on the row of drive `driveCell` ("C:\"):
// the drive letter replaces the first character of `folder`.
std::string SwitchDrive(std::string_view folder, std::string_view driveCell);

}  // namespace tavix
