// Rules of the manifest walk that need no platform.
#pragma once
#include <string_view>

namespace tavix {

// True when a manifest target path stays below the installation folder: it
// is relative (no leading "\" or "/", no drive or stream ":"), and none of
// its levels is made of dots and blanks only ("..", "...", ". "), which the
// file system would take for the current or a parent folder. An empty path
// passes (its write fails on the folder itself). GBK-aware: a trail byte 0x5C
// is no separator.
bool IsTargetInsideFolder(std::string_view targetPath);

} // namespace tavix
