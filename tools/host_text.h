// Host-side helpers for the build tools: GBK <-> UTF-8 and release paths.
#pragma once
#include <string>

namespace tavix {

// Converts GBK bytes to UTF-8; bytes that do not convert become "?".
std::string GbkToUtf8(const std::string& gbk);

// The file of a manifest target path below a release folder on this host:
// the path in UTF-8 with "/" between levels.
std::string ReleaseHostPath(const std::string& releaseDir, const std::string& targetPath);

bool IsRegularFile(const std::string& hostPath);

} // namespace tavix
