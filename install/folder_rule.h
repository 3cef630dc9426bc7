// The installation folder: the rules every road to the installation applies
// (the folder page, the /D= of the runs without the wizard, the installation
// itself): which folder is offered, which is handed over, which is refused.
// Texts are GBK.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tavix {

// Why `folder` cannot be the installation folder (a message for the user),
// or empty when it can. The folder must begin with a drive letter, a colon
// and a backslash and name a folder below the drive's root; no level may be
// a device name, end in a dot or a blank, or hold a character Windows does
// not allow; and every path in `targets` (relative to the folder) must stay
// within 259 characters below it. A final backslash is optional. Whether the
// drive exists is the platform's question.
std::string InstallFolderProblem(std::string_view folder, const std::vector<std::string>& targets);

// The folder preset from [SetupDir] SetupPath: one backslash appended, always.
std::string PresetFolder(std::string_view setupPath);

// The folder offered first, by the folder page and by the runs without it.
// `installedPath` is the Path value of an earlier installation that is to be
// replaced: a later release of the same product, or the same or a later one
// the user chose to install over (empty when there is none). When it is a
// full path (as InstallFolderProblem asks) of a folder that exists, that
// folder is offered, ending in a backslash, so that the release replaces the
// copy instead of making a second one. Otherwise the preset from
// [SetupDir] SetupPath.
std::string OfferedFolder(std::string_view setupPath, std::string_view installedPath,
                          const std::function<bool(const std::string&)>& folderExists);

// The folder handed to the installation: a typed folder without its final
// backslash gets one, so that file names can be appended to it. An empty
// folder stays empty.
std::string HandOverFolder(std::string_view folder);

// [SetupDir] SetupPath where a folder can be made. `fixedDrive` answers for
// a drive's root, such as D:\ (with its backslash): true for a fixed disk.
// The value stays as it is on a fixed disk; on any other drive (one that does
// not exist, a DVD, a network or removable drive) the same folder on the
// system drive `systemRoot` (C:\ for example) is taken. A value that does not
// begin with a drive letter, a colon and a backslash, or a `systemRoot` that
// is no drive's root, leaves it as it is.
std::string SetupPathOnFixedDrive(std::string_view setupPath, std::string_view systemRoot,
                                  const std::function<bool(const std::string&)>& fixedDrive);

// The question when the drive has fewer free bytes than the setup writes.
std::string LowSpaceQuestion(char drive, std::uint64_t freeBytes, std::uint64_t neededBytes);
// The caption of the folder page's refusals and of that question.
inline constexpr const char* kFolderBoxCaption = "安装文件夹";

// "1.5 GB", "320.4 MB", "12 KB": a byte count as the user reads it.
std::string ByteSizeText(std::uint64_t bytes);

} // namespace tavix
