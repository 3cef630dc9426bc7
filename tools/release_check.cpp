#include "release_check.h"

#include <map>

#include "setupdata/gbk.h"

namespace tavix {
namespace {

bool IsNameByte(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// Resource names and types are looked up as ASCII strings; a leading digit
// would make the resource compiler store a number instead of a name.
bool IsResourceName(const std::string& s) {
    if (s.empty() || (s[0] >= '0' && s[0] <= '9')) return false;
    for (char c : s)
        if (!IsNameByte(c)) return false;
    return true;
}

std::string LineLabel(int index) { return "manifest line " + std::to_string(index + 1) + ": "; }

} // namespace

std::string TargetPathProblem(const std::string& p) {
    if (p.empty()) return "the target path is empty";
    if (p[0] == '\\') return "the target path begins with \"\\\"";
    if (p.find(':') != std::string::npos) return "the target path names a drive or is absolute";
    for (unsigned char c : p) {
        if (c < 0x20 || c == '"' || c == '<' || c == '>' || c == '|' || c == '?' || c == '*' || c == '/')
            return "the target path holds a character that Windows does not allow in a file name";
    }
    // Split at backslashes that are separators, not trail bytes of a character.
    std::string rest = p;
    for (;;) {
        std::size_t cut = GbkFindLast(rest, '\\');
        std::string level = (cut == std::string::npos) ? rest : rest.substr(cut + 1);
        if (level == "..") return "the target path has a \"..\" level";
        if (level.empty()) return "the target path has an empty folder level";
        if (cut == std::string::npos) break;
        rest.resize(cut);
    }
    return std::string();
}

ReleaseReport CheckManifest(const std::string& manifestText,
                            bool (*fileExists)(const std::string&),
                            std::string (*hostPath)(const std::string&)) {
    ReleaseReport report;
    std::map<std::string, int> names;  // upper-case name -> first line index
    std::vector<std::string> lines = SplitManifestLines(manifestText);
    if (lines.empty()) report.problems.push_back("the manifest is empty");
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int index = static_cast<int>(i);
        const std::string& line = lines[i];
        ManifestEntry e = ParseManifestLine(line, index);
        std::size_t bad = GbkFirstInvalid(line);
        if (bad != std::string::npos) {
            report.problems.push_back(LineLabel(index) + "byte " + std::to_string(bad + 1) +
                                      " is not valid GBK text");
            continue;
        }
        if (e.ResourceName.empty() || e.ResourceType.empty() ||
            line.size() < e.ResourceName.size() + e.ResourceType.size() + 2) {
            report.problems.push_back(LineLabel(index) +
                                      "the line does not split into name, type and path (\"" + line + "\")");
            continue;
        }
        if (!IsResourceName(e.ResourceName) || !IsResourceName(e.ResourceType)) {
            report.problems.push_back(LineLabel(index) +
                                      "a resource name or type must be letters, digits and \"_\", "
                                      "not starting with a digit (\"" + line + "\")");
            continue;
        }
        std::string why = TargetPathProblem(e.TargetPath);
        if (!why.empty()) {
            report.problems.push_back(LineLabel(index) + why + " (\"" + e.TargetPath + "\")");
            continue;
        }
        auto [it, fresh] = names.emplace(AsciiUpper(e.ResourceName), index);
        if (!fresh) {
            report.problems.push_back(LineLabel(index) + "the resource name \"" + e.ResourceName +
                                      "\" is already used on manifest line " + std::to_string(it->second + 1));
            continue;
        }
        std::string file = hostPath(e.TargetPath);
        if (!fileExists(file)) {
            report.problems.push_back(LineLabel(index) + "the file \"" + e.TargetPath +
                                      "\" is missing from the release folder");
            continue;
        }
        report.items.push_back(ReleaseItem{e, file});
    }
    return report;
}

} // namespace tavix
