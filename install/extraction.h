// Rules of the manifest walk that need no platform.
#pragma once
#include <string_view>

namespace tavix {

// True when a manifest target path may be written below the installation
// folder: it passes the path rule of setupdata/path_rules.h (relative, no
// drive, no leading "\", no level that is empty, only dots, ends in a dot or
// a blank, is a device name or holds a character Windows does not allow), the
// rule the release builder refuses a release by. An empty path passes (its
// write fails on the folder itself). GBK-aware: a trail byte 0x5C is no
// separator.
bool IsTargetInsideFolder(std::string_view targetPath);

} // namespace tavix
