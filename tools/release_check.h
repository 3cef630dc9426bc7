// Checks of a release folder before its items are embedded in the setup.
#pragma once
#include <string>
#include <vector>

#include "setupdata/manifest.h"

namespace tavix {

struct ReleaseItem {
    ManifestEntry entry;
    std::string file;  // the item's file in the release folder (host path)
};

struct ReleaseReport {
    std::vector<ReleaseItem> items;      // one per manifest line, in manifest order
    std::vector<std::string> problems;   // each names its manifest line; empty: usable
};

// Checks the manifest text line by line. `fileExists` tells whether a host
// path exists as a regular file; `hostPath` maps a manifest target path (GBK,
// backslashes) to its file in the release folder.
ReleaseReport CheckManifest(const std::string& manifestText,
                            bool (*fileExists)(const std::string& hostPath),
                            std::string (*hostPath)(const std::string& targetPath));

// The reason a target path cannot be installed, or empty when it can.
std::string TargetPathProblem(const std::string& targetPath);

} // namespace tavix
