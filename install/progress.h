// What the installation window shows while it works: the status texts, the
// status line for a file below the installation folder and the positions of
// the progress bar.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace tavix {

// Status texts of the install sequence (GBK).
inline constexpr const char* kStatusStarting = "正在安装...";
inline constexpr const char* kStatusMainFolder = "安装主程序文件";
inline constexpr const char* kStatusUninstaller = "创建反安装程序...";
inline constexpr const char* kStatusDesktopLink = "创建桌面快捷方式";
inline constexpr const char* kStatusProgramGroup = "创建程序群组...";
inline constexpr const char* kStatusRegInfo = "写入注册信息";

// Messages of the installation window (GBK).
inline constexpr const char* kProductLockedMessage = "所要安装的程序正在运行中,请退出后再安装!";
inline constexpr const char* kCancelQuestion = "安装程序进行中,确定要退出安装吗?";
inline constexpr const char* kCancelCaption = "退出安装";

// The question when a file cannot be written: the error (which names the
// file and the system's reason), then what the user can do.
std::string RetryQuestion(std::string_view error);

// The status while a folder below the installation folder is created, and
// the error texts when a folder cannot be created.
std::string CreatingFolderStatus(std::string_view relDir);
std::string MainFolderFailedText(std::string_view dir);
std::string SubFolderFailedText(std::string_view relDir);
// The error texts when a folder is a link to another place: refused.
std::string MainFolderLinkText(std::string_view dir);
std::string SubFolderLinkText(std::string_view relDir);

// What the installation window says when parts could not be made (each
// naming the part and why), before the finish page.
std::string MissingPartsText(const std::vector<std::string>& parts);

// Longest status line shown whole, in bytes.
inline constexpr std::size_t kStatusPathMax = 45;
// Bytes of the installation folder kept in front of "...\" when it is cut.
inline constexpr std::size_t kStatusFolderHead = 17;

// The status line for the file `relPath` below `installDir`: the full path
// when it has at most 45 bytes, else the first 17 bytes of the folder, "...\"
// and the relative path. The folder is never cut inside a double-byte
// character (the head is one byte shorter then).
std::string StatusPathText(std::string_view installDir, std::string_view relPath);

// Progress bar positions of the install sequence.
namespace bar {
inline constexpr int kStart = 1;           // the sequence has begun
inline constexpr int kMainProgram = 5;     // the main program is written
inline constexpr int kEntryOffset = 5;     // a manifest entry: its line index + 5
inline constexpr int kUninstaller = 87;
inline constexpr int kDesktopLink = 90;
inline constexpr int kProgramGroup = 95;
inline constexpr int kRegInfo = 100;
inline constexpr int kMax = 100;           // the bar's range is 0..100

inline int ForEntry(int lineIndex) { return lineIndex + kEntryOffset; }
// The position a bar of range 0..100 holds after being set to `pos`.
inline int Held(int pos) { return pos < 0 ? 0 : (pos > kMax ? kMax : pos); }
} // namespace bar

// The positions set, in order, by a complete installation in which every one
// of `entryCount` manifest entries is extracted.
std::vector<int> CompleteInstallBarPositions(int entryCount);

} // namespace tavix
