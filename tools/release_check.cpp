#include "release_check.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "setupdata/gbk.h"
#include "setupdata/ini.h"

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

// ---------------------------------------------------------------- warnings

const FixedItem kFixedItems[5] = {
    {"exename", "FileExe", "the main program", nullptr},
    {"exename", "uninstall", "the uninstaller", nullptr},
    {"txtname", "FileTxt4", "the licence agreement", nullptr},
    {"txtname", "FileTxt5", "the manifest", "Setup.log"},
    {"txtname", "FileTxt6", "the control file", "Setup.ini"},
};

std::string SerialProblem(const std::string& serial) {
    if (serial.empty()) return "[Form] Serial is empty";
    for (char c : serial)
        if (c < '0' || c > '9') return "[Form] Serial \"" + serial + "\" is not all digits";
    std::size_t first = serial.find_first_not_of('0');
    std::string digits = first == std::string::npos ? "0" : serial.substr(first);
    if (digits.size() > 10 || (digits.size() == 10 && digits > "2147483647"))
        return "[Form] Serial \"" + serial + "\" does not fit a signed 32-bit integer";
    return std::string();
}

std::vector<std::string> CheckControlFile(const std::string& ini, const std::vector<ReleaseItem>& items) {
    std::vector<std::string> warnings;
    if (ini.empty()) warnings.push_back("the control file Setup.ini is missing or empty");

    std::string serial = IniLookup(ini, "Form", "Serial");
    std::string why = SerialProblem(serial);
    if (!why.empty()) {
        warnings.push_back(why + ": the setup compares it with an installed copy's serial as a whole number");
    } else {
        VersionNumbers v;
        if (!SerialToVersion(serial, v))
            warnings.push_back("[Form] Serial \"" + serial +
                               "\" has more than eight digits: the file version is 0.0.0.0");
    }

    std::string program = IniLookup(ini, "Run", "FileName");
    if (program.empty()) {
        warnings.push_back("[Run] FileName is empty: the setup has no name to write the main program under");
    } else {
        bool named = std::any_of(items.begin(), items.end(), [&](const ReleaseItem& it) {
            return EqualsIgnoreAsciiCase(it.entry.TargetPath, program);
        });
        if (!named)
            warnings.push_back("[Run] FileName \"" + program +
                               "\" is not a target path of the manifest");
    }

    for (const FixedItem& f : kFixedItems) {
        auto it = std::find_if(items.begin(), items.end(), [&](const ReleaseItem& i) {
            return EqualsIgnoreAsciiCase(i.entry.ResourceName, f.name);
        });
        if (it == items.end()) {
            warnings.push_back(std::string("the manifest names no item ") + f.name + " (" + f.what +
                               ", which the setup fetches by that name)");
        } else if (!EqualsIgnoreAsciiCase(it->entry.ResourceType, f.type)) {
            warnings.push_back(LineLabel(it->entry.LineIndex) + "item " + f.name + " has the type \"" +
                               it->entry.ResourceType + "\", but the setup fetches it as \"" + f.type + "\"");
        } else if (f.expectedPath && !EqualsIgnoreAsciiCase(it->entry.TargetPath, f.expectedPath)) {
            warnings.push_back(LineLabel(it->entry.LineIndex) + "item " + f.name + " (" + f.what + ") is \"" +
                               it->entry.TargetPath + "\", not \"" + f.expectedPath + "\"");
        }
    }
    return warnings;
}

std::vector<std::string> CheckUnnamedFiles(const std::vector<std::string>& releaseFiles,
                                           const std::vector<ReleaseItem>& items) {
    std::set<std::string> named;
    for (const ReleaseItem& it : items) named.insert(it.file);
    std::vector<std::string> warnings;
    for (const std::string& f : releaseFiles)
        if (!named.count(f)) warnings.push_back("the file " + f + " is not named by the manifest and is left out");
    return warnings;
}

// ----------------------------------------------------------------- summary

std::string GroupDigits(std::uint64_t n) {
    std::string digits = std::to_string(n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::vector<std::string> ReleaseSummary(const std::vector<ReleaseItem>& items,
                                        std::uint64_t (*sizeOf)(const std::string&), const std::string& ini) {
    std::uint64_t total = 0, largest = 0;
    const ReleaseItem* big = nullptr;
    for (const ReleaseItem& it : items) {
        std::uint64_t n = sizeOf(it.file);
        total += n;
        if (!big || n > largest) {
            big = &it;
            largest = n;
        }
    }
    std::string serial = IniLookup(ini, "Form", "Serial");
    VersionNumbers v;
    SerialToVersion(serial, v);
    std::vector<std::string> lines;
    lines.push_back("items:        " + std::to_string(items.size()));
    lines.push_back("total bytes:  " + GroupDigits(total));
    lines.push_back("largest item: " + (big ? big->entry.TargetPath + " (" + GroupDigits(largest) + " bytes)"
                                            : std::string("none")));
    lines.push_back("caption:      " + IniLookup(ini, "Form", "Caption"));
    lines.push_back("serial:       " + serial + " (file version " + std::to_string(v[0]) + "." +
                    std::to_string(v[1]) + "." + std::to_string(v[2]) + "." + std::to_string(v[3]) + ")");
    return lines;
}

// --------------------------------------------------------- version resource

bool SerialToVersion(const std::string& serial, VersionNumbers& out) {
    out = {0, 0, 0, 0};
    if (serial.empty() || serial.size() > 8) return false;
    for (char c : serial)
        if (c < '0' || c > '9') return false;
    std::string padded = (serial.size() % 2 ? "0" : "") + serial;
    for (std::size_t i = 0; i * 2 < padded.size(); ++i)
        out[i] = static_cast<unsigned>((padded[i * 2] - '0') * 10 + (padded[i * 2 + 1] - '0'));
    return true;
}

std::string RcWideString(const std::u16string& s) {
    std::string out = "L\"";
    for (char16_t c : s) {
        if (c == u'"') {
            out += "\"\"";
        } else if (c == u'\\') {
            out += "\\\\";
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%04x", static_cast<unsigned>(c));
            out += hex;
        }
    }
    return out + "\"";
}

std::string VersionResourceScript(const std::string& ini, std::u16string (*toUtf16)(const std::string&)) {
    VersionNumbers v;
    SerialToVersion(IniLookup(ini, "Form", "Serial"), v);
    std::string numbers = std::to_string(v[0]) + "," + std::to_string(v[1]) + "," + std::to_string(v[2]) + "," +
                          std::to_string(v[3]);
    std::string dotted = std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." +
                         std::to_string(v[3]);
    std::string version = IniLookup(ini, "Form", "Version");
    if (version.empty()) version = dotted;
    std::string caption = IniLookup(ini, "Form", "Caption");
    std::string description = (caption.empty() ? std::string("Quorvix") : caption) + " 安装程序";

    const std::pair<const char*, std::string> strings[] = {
        {"CompanyName", "Velmora"},
        {"FileDescription", description},
        {"FileVersion", version},
        {"InternalName", "TavixSetup"},
        {"OriginalFilename", "TavixSetup.exe"},
        {"ProductName", "Quorvix"},
        {"ProductVersion", version},
    };
    std::string rc = "LANGUAGE 4, 2\n"
                     "1 VERSIONINFO\n"
                     "FILEVERSION " + numbers + "\n"
                     "PRODUCTVERSION " + numbers + "\n"
                     "FILEFLAGSMASK 0x3f\n"
                     "FILEFLAGS 0x0\n"
                     "FILEOS 0x40004\n"  // VOS_NT_WINDOWS32
                     "FILETYPE 0x1\n"    // VFT_APP
                     "FILESUBTYPE 0x0\n"
                     "BEGIN\n"
                     "  BLOCK \"StringFileInfo\"\n"
                     "  BEGIN\n"
                     "    BLOCK \"080404b0\"\n"  // Chinese (PRC), UTF-16
                     "    BEGIN\n";
    for (const auto& [key, value] : strings)
        rc += std::string("      VALUE \"") + key + "\", " + RcWideString(toUtf16(value)) + "\n";
    rc += "    END\n"
          "  END\n"
          "  BLOCK \"VarFileInfo\"\n"
          "  BEGIN\n"
          "    VALUE \"Translation\", 0x804, 1200\n"
          "  END\n"
          "END\n";
    return rc;
}

} // namespace tavix
