// The checks of an installation folder that need the system: its drive, and
// the room on it for what the setup writes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "common/setup_state.h"

namespace install {

// The paths the installation writes below its folder: every manifest
// target, the main program and the uninstaller.
std::vector<std::string> TargetsBelowFolder(const SetupState& state);

// Why `folder` cannot be the installation folder (a message for the user),
// or empty: the rule of tavix::InstallFolderProblem, then whether the
// folder's drive exists, is no network drive and can be read.
std::string FolderProblem(const SetupState& state, const std::string& folder);

// [SetupDir] SetupPath, moved to the system drive when its own drive does
// not exist or is no fixed disk (tavix::SetupPathOnFixedDrive).
std::string DefaultSetupPath(const SetupState& state);

struct DiskSpace {
    bool known = false;        // the drive answered
    std::uint64_t free = 0;    // bytes free to this user
    std::uint64_t needed = 0;  // bytes of every item the installation writes
    bool Enough() const { return !known || free >= needed; }
};
DiskSpace SpaceFor(const SetupState& state, const std::string& folder);

} // namespace install
