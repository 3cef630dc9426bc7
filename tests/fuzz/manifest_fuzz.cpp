// Manifest splitting and parsing: every line comes back whole from its three
// fields, and the folder part is a prefix of the path.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "setupdata/manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::size_t total = 0;
    int index = 0;
    for (const std::string& line : tavix::SplitManifestLines(text)) {
        if (line.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) std::abort();
        tavix::ManifestEntry e = tavix::ParseManifestLine(line, index);
        if (e.LineIndex != index++) std::abort();
        if (e.ResourceName.find(' ') != std::string::npos || e.ResourceType.find(' ') != std::string::npos)
            std::abort();
        // With both separators present the fields rebuild the line exactly.
        std::string rebuilt = e.ResourceName + " " + e.ResourceType + " " + e.TargetPath;
        if (!e.TargetPath.empty() && rebuilt != line) std::abort();
        if (line.compare(0, e.ResourceName.size(), e.ResourceName) != 0) std::abort();
        std::string folder = tavix::ManifestFolderPart(e.TargetPath);
        if (folder.size() >= e.TargetPath.size() && !folder.empty()) std::abort();
        if (e.TargetPath.compare(0, folder.size(), folder) != 0) std::abort();
        if (!folder.empty() && e.TargetPath[folder.size()] != '\\') std::abort();
        total += line.size();
    }
    if (total > text.size()) std::abort();
    return 0;
}
