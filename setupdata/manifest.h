// The install manifest: one line per payload item, "NAME TYPE PATH".
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace tavix {

struct ManifestEntry {
    std::string ResourceName;
    std::string ResourceType;
    std::string TargetPath;  // relative to the installation folder
    int LineIndex = 0;       // 0-based line number in the manifest
};

// Splits manifest text into lines. A line ends at CR LF, a lone CR or a lone
// LF; a last line without a line end still counts, a line end at the very end
// adds no empty line, and a NUL byte ends the text.
std::vector<std::string> SplitManifestLines(std::string_view text);

// Splits one line into its three fields. Never fails: an odd line gives odd or
// empty fields, which the payload lookup then rejects.
ManifestEntry ParseManifestLine(std::string_view line, int lineIndex);

// The folder part of a target path: everything before its last backslash,
// found GBK-aware, or empty when there is none.
std::string ManifestFolderPart(std::string_view targetPath);

} // namespace tavix
