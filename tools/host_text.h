// Host-side helpers for the build tools: GBK <-> UTF-8 and release paths.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "release_check.h"

namespace tavix {

// Converts GBK bytes to UTF-8; bytes that do not convert become "?".
std::string GbkToUtf8(const std::string& gbk);

// Converts GBK bytes to UTF-16; bytes that do not convert become U+FFFD.
std::u16string GbkToUtf16(const std::string& gbk);

// The file of a manifest target path below a release folder on this host:
// the path in UTF-8 with "/" between levels.
std::string ReleaseHostPath(const std::string& releaseDir, const std::string& targetPath);

bool IsRegularFile(const std::string& hostPath);

// What `hostPath` is, for a file of the release folder `releaseDir`: links
// are followed, and one that leads (itself or through a linked folder on its
// way) out of the release folder is reported as such.
FileFacts InspectReleaseFile(const std::string& releaseDir, const std::string& hostPath);

// Every regular file below a release folder, as releaseDir + "/" + relative
// path (the form ReleaseHostPath gives), sorted.
std::vector<std::string> ListReleaseFiles(const std::string& releaseDir);

} // namespace tavix
