#include "manifest.h"

#include "gbk.h"

namespace tavix {

std::vector<std::string> SplitManifestLines(std::string_view text) {
    std::size_t nul = text.find('\0');
    if (nul != std::string_view::npos) text = text.substr(0, nul);
    std::vector<std::string> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(text.substr(start, i - start));
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

ManifestEntry ParseManifestLine(std::string_view line, int lineIndex) {
    ManifestEntry e;
    e.LineIndex = lineIndex;
    std::size_t sp = line.find(' ');
    if (sp == std::string_view::npos) {
        e.ResourceName = std::string(line);
        return e;
    }
    e.ResourceName = std::string(line.substr(0, sp));
    std::size_t typeEnd = line.find(' ', sp + 1);
    if (typeEnd == std::string_view::npos) typeEnd = line.size();
    e.ResourceType = std::string(line.substr(sp + 1, typeEnd - sp - 1));
    // The path starts after "NAME TYPE ", counted from the field lengths.
    std::size_t pathStart = e.ResourceName.size() + e.ResourceType.size() + 2;
    if (pathStart < line.size()) e.TargetPath = std::string(line.substr(pathStart));
    return e;
}

std::string ManifestFolderPart(std::string_view targetPath) {
    std::size_t pos = GbkFindLast(targetPath, '\\');
    return pos == std::string_view::npos ? std::string() : std::string(targetPath.substr(0, pos));
}

} // namespace tavix
