#include "release_check.h"
#include "le_bytes.h"

#include <algorithm>
#include <map>
#include <set>

#include "host_text.h"
#include "setupdata/gbk.h"
#include "setupdata/ini.h"
#include "setupdata/path_rules.h"
#include "setupdata/product_info.h"

namespace tavix {
namespace {

const char kExpected[] = "expected GBK text (code page 936) with CR LF line ends";

bool IsNameByte(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// Resource names and types: letters, digits and "_", not starting with a
// digit (the release grammar; the builder stores every one as a string).
bool IsResourceName(const std::string& s) {
    if (s.empty() || (s[0] >= '0' && s[0] <= '9')) return false;
    for (char c : s)
        if (!IsNameByte(c)) return false;
    return true;
}

std::string LineLabel(int index) { return "manifest line " + std::to_string(index + 1) + ": "; }

// GBK text of the release, quoted for a message.
std::string Quoted(const std::string& gbk) { return "\"" + GbkToUtf8(gbk) + "\""; }

// 1-based line of the byte at `offset`, line ends as the manifest counts them.
std::size_t LineOf(const std::string& text, std::size_t offset) {
    std::size_t line = 1;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) ++line;
    }
    return line;
}

// Length of the UTF-8 sequence at `i` (2 to 4), or 0 when none starts there.
std::size_t Utf8Sequence(const std::string& t, std::size_t i) {
    auto at = [&](std::size_t k) { return k < t.size() ? static_cast<unsigned char>(t[k]) : 0u; };
    auto cont = [&](std::size_t k, unsigned lo = 0x80, unsigned hi = 0xBF) { return at(k) >= lo && at(k) <= hi; };
    unsigned c = at(i);
    if (c >= 0xC2 && c <= 0xDF) return cont(i + 1) ? 2 : 0;
    if (c == 0xE0) return cont(i + 1, 0xA0) && cont(i + 2) ? 3 : 0;
    if (c == 0xED) return cont(i + 1, 0x80, 0x9F) && cont(i + 2) ? 3 : 0;
    if (c >= 0xE1 && c <= 0xEF) return cont(i + 1) && cont(i + 2) ? 3 : 0;
    if (c == 0xF0) return cont(i + 1, 0x90) && cont(i + 2) && cont(i + 3) ? 4 : 0;
    if (c >= 0xF1 && c <= 0xF3) return cont(i + 1) && cont(i + 2) && cont(i + 3) ? 4 : 0;
    if (c == 0xF4) return cont(i + 1, 0x80, 0x8F) && cont(i + 2) && cont(i + 3) ? 4 : 0;
    return 0;
}

// The offset of the first non-ASCII character when the whole text is
// well-formed UTF-8 and holds one; npos otherwise.
std::size_t FirstUtf8Character(const std::string& t) {
    std::size_t first = std::string::npos;
    for (std::size_t i = 0; i < t.size();) {
        if (static_cast<unsigned char>(t[i]) < 0x80) {
            ++i;
            continue;
        }
        std::size_t n = Utf8Sequence(t, i);
        if (n == 0) return std::string::npos;
        if (first == std::string::npos) first = i;
        i += n;
    }
    return first;
}

// Splits a target path into its folder prefixes ("a", "a\b" for "a\b\c").
std::vector<std::string> FolderPrefixes(const std::string& path) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (IsGbkLead(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
            ++i;
            continue;
        }
        if (path[i] == '\\') out.push_back(path.substr(0, i));
    }
    return out;
}

std::string FileKindProblem(const FileFacts& f, const std::string& target) {
    switch (f.kind) {
    case FileKind::kRegular: return std::string();
    case FileKind::kMissing: return "the file " + Quoted(target) + " is missing from the release folder";
    case FileKind::kFolder: return Quoted(target) + " is a folder in the release folder, not a file";
    case FileKind::kLinkOutside:
        return Quoted(target) + " is a symbolic link that leads out of the release folder (to " + f.linkTarget +
               "); put the file itself into the release folder";
    case FileKind::kOther: return Quoted(target) + " is not a regular file (a device, pipe or socket)";
    }
    return std::string();
}

// The default installation folder: a drive, ":\" and folder levels.
std::string SetupPathProblem(const std::string& p) {
    const std::string label = "Setup.ini: [SetupDir] SetupPath " + Quoted(p) + " ";
    if (p.empty()) return "Setup.ini: [SetupDir] SetupPath is missing or empty: it is the default installation folder";
    bool drive = p.size() >= 3 && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z')) && p[1] == ':' &&
                 p[2] == '\\';
    if (!drive)
        return label + "is not a full folder path (a drive letter, \":\\\" and folder names, as "
                       "\"D:\\Program Files\\Tavix280\")";
    if (p.size() == 3 || p.back() == '\\')
        return label + "ends in \"\\\": the wizard adds one, and the folder would end in two";
    TargetPathProblem rest = CheckTargetPath(p.substr(3));
    if (rest) return label + GbkToUtf8(TargetPathProblemText(rest));
    if (GbkCharCount(p) > kMaxFolderChars)
        return label + "is " + std::to_string(GbkCharCount(p)) + " characters long, more than the " +
               std::to_string(kMaxFolderChars) + " Windows allows for a folder";
    return std::string();
}

// [Run] FileName must be one file name: the main program is written into
// the installation folder before any folder below it exists.
std::string ProgramNameProblem(const std::string& program) {
    if (program.empty())
        return "Setup.ini: [Run] FileName is missing or empty: the setup has no name to write the main program under";
    if (IsPlainFileName(program)) return std::string();
    std::string why = GbkFindLast(program, '\\') != std::string::npos || program.find('/') != std::string::npos
                          ? std::string("has a folder part")
                          : LevelProblemText(CheckPathLevel(program));
    return "Setup.ini: [Run] FileName " + Quoted(program) + " is not a plain file name (" + GbkToUtf8(why) +
           "): the main program is written into the installation folder before any other folder exists";
}

std::string DesktopLinkProblem(const std::string& link) {
    if (IsDesktopLinkName(link)) return std::string();
    return "Setup.ini: [Form] desKtopLink " + (link.empty() ? std::string("is missing or empty") : Quoted(link)) +
           (link.empty() ? "" : " is not \"\\\" and a file name ending in \".lnk\"") +
           ": the setup appends it to the desktop folder to name the shortcut (as \"\\Quorvixv2.8.0(m).lnk\")";
}

} // namespace

// ------------------------------------------------------------------ encodings

std::string TextEncodingProblem(const std::string& t) {
    auto starts = [&](const char* bom, std::size_t n) { return t.size() >= n && t.compare(0, n, bom, n) == 0; };
    if (starts("\xEF\xBB\xBF", 3)) return "UTF-8 text with a byte-order mark (EF BB BF)";
    if (starts("\xFF\xFE", 2)) return "UTF-16 text (little-endian, byte-order mark FF FE)";
    if (starts("\xFE\xFF", 2)) return "UTF-16 text (big-endian, byte-order mark FE FF)";
    std::size_t nul = t.find('\0');
    if (nul != std::string::npos) {
        // UTF-16 without a mark: ASCII characters with a NUL beside each.
        std::size_t even = 0, odd = 0;
        for (std::size_t i = 0; i < t.size(); ++i)
            if (t[i] == '\0') ++(i % 2 ? odd : even);
        if (std::max(even, odd) * 4 >= t.size() && std::min(even, odd) * 8 <= std::max(even, odd))
            return "UTF-16 text without a byte-order mark (a NUL byte beside each character)";
        return "a NUL byte (byte " + std::to_string(nul + 1) + ", line " + std::to_string(LineOf(t, nul)) + ")";
    }
    std::size_t u = FirstUtf8Character(t);
    if (u != std::string::npos)
        return "UTF-8 text (line " + std::to_string(LineOf(t, u)) + " has \"" + t.substr(u, Utf8Sequence(t, u)) +
               "\" in UTF-8)";
    return std::string();
}

std::size_t CountBareLineEnds(const std::string& t) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n') ++i;
        else if (t[i] == '\r' || t[i] == '\n') ++n;
    }
    return n;
}

// ------------------------------------------------------------------- manifest

void CheckManifest(const std::string& manifestText, const std::string& defaultFolder, const ReleaseFolder& folder,
                   ReleaseReport& report) {
    std::map<std::string, int> names;        // upper-case name -> its line
    std::map<std::string, int> files;        // collision key of a target -> its line
    std::map<std::string, int> folders;      // collision key of a folder of a target -> the first line in it
    std::vector<std::string> lines = SplitManifestLines(manifestText);
    if (lines.empty()) report.problems.push_back("Setup.log: the manifest is empty");
    auto refuse = [&](int index, const std::string& why) { report.problems.push_back(LineLabel(index) + why); };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int index = static_cast<int>(i);
        const std::string& line = lines[i];
        ManifestEntry e = ParseManifestLine(line, index);
        std::size_t bad = GbkFirstInvalid(line);
        if (bad != std::string::npos) {
            refuse(index, "byte " + std::to_string(bad + 1) + " is not valid GBK text");
            continue;
        }
        if (e.ResourceName.empty() || e.ResourceType.empty() ||
            line.size() < e.ResourceName.size() + e.ResourceType.size() + 2) {
            refuse(index, "the line does not split into name, type and path (" + Quoted(line) + ")");
            continue;
        }
        if (!IsResourceName(e.ResourceName) || !IsResourceName(e.ResourceType)) {
            refuse(index, "a resource name or type must be letters, digits and \"_\", not starting with a digit (" +
                              Quoted(line) + ")");
            continue;
        }
        const std::string& path = e.TargetPath;
        TargetPathProblem pathProblem = CheckTargetPath(path);
        if (pathProblem) {
            refuse(index, "the target path " + Quoted(path) + " " + GbkToUtf8(TargetPathProblemText(pathProblem)));
            continue;
        }
        auto [name, fresh] = names.emplace(AsciiUpper(e.ResourceName), index);
        if (!fresh) {
            refuse(index, "the resource name \"" + e.ResourceName + "\" is already used on manifest line " +
                              std::to_string(name->second + 1));
            continue;
        }

        // Two lines that write one file on Windows, or a file where another
        // line needs a folder.
        const std::string key = TargetCollisionKey(path);
        auto targetOf = [&](int other) { return ParseManifestLine(lines[other], other).TargetPath; };
        auto lineOf = [](int other) { return " of manifest line " + std::to_string(other + 1); };
        if (auto f = files.find(key); f != files.end()) {
            if (targetOf(f->second) == path)
                refuse(index, "the target path " + Quoted(path) + " is also the target" + lineOf(f->second));
            else
                refuse(index, "the target path " + Quoted(path) + " is the same file on Windows as " +
                                  Quoted(targetOf(f->second)) + lineOf(f->second) +
                                  " (Windows ignores letter case in file names)");
            continue;
        }
        if (auto d = folders.find(key); d != folders.end()) {
            refuse(index, "the target path " + Quoted(path) + " is a folder for " + Quoted(targetOf(d->second)) +
                              lineOf(d->second) + " and cannot be a file too");
            continue;
        }
        const std::vector<std::string> prefixes = FolderPrefixes(path);
        std::string clash;
        for (const std::string& prefix : prefixes) {
            auto f = files.find(TargetCollisionKey(prefix));
            if (f != files.end()) {
                clash = "the target path " + Quoted(path) + " needs the folder " + Quoted(prefix) +
                        ", which manifest line " + std::to_string(f->second + 1) + " writes as the file " +
                        Quoted(targetOf(f->second));
                break;
            }
        }
        if (!clash.empty()) {
            refuse(index, clash);
            continue;
        }
        files.emplace(key, index);
        for (const std::string& prefix : prefixes) folders.emplace(TargetCollisionKey(prefix), index);

        if (!defaultFolder.empty()) {
            PathLength length = CheckTargetLength(defaultFolder, path);
            std::size_t below = GbkCharCount(defaultFolder) + 1;
            if (length == PathLength::kPathTooLong) {
                refuse(index, "the target path " + Quoted(path) + " is " +
                                  std::to_string(below + GbkCharCount(path)) +
                                  " characters long below the default folder " + Quoted(defaultFolder) +
                                  ", more than the " + std::to_string(kMaxPathChars) +
                                  " Windows allows for a path");
                continue;
            }
            if (length == PathLength::kFolderTooLong) {
                std::string part = ManifestFolderPart(path);
                refuse(index, "the folder " + Quoted(part) + " of the target path " + Quoted(path) + " is " +
                                  std::to_string(below + GbkCharCount(part)) +
                                  " characters long below the default folder " + Quoted(defaultFolder) +
                                  ", more than the " + std::to_string(kMaxFolderChars) +
                                  " Windows allows for a folder");
                continue;
            }
        }

        std::string file = folder.hostPath(path);
        FileFacts facts = folder.inspect(file);
        std::string why = FileKindProblem(facts, path);
        if (!why.empty()) {
            refuse(index, why);
            continue;
        }
        report.items.push_back(ReleaseItem{e, file, facts.size});
    }
}

// ---------------------------------------------------------------- control file

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
        if (c < '0' || c > '9') return "[Form] Serial " + Quoted(serial) + " is not all digits";
    std::size_t first = serial.find_first_not_of('0');
    std::string digits = first == std::string::npos ? "0" : serial.substr(first);
    if (digits.size() > 10 || (digits.size() == 10 && digits > "2147483647"))
        return "[Form] Serial \"" + serial + "\" does not fit a signed 32-bit integer";
    return std::string();
}

void CheckControlFile(const std::string& ini, ReleaseReport& report) {
    auto problem = [&](const std::string& p) {
        if (!p.empty()) report.problems.push_back(p);
    };
    auto warn = [&](const std::string& w) { report.warnings.push_back(w); };
    const std::vector<ReleaseItem>& items = report.items;

    if (IniLookup(ini, "Form", "Caption").empty())
        problem("Setup.ini: [Form] Caption is missing or empty: the wizard's title and every text named after the "
                "product would be empty");
    const std::string program = IniLookup(ini, "Run", "FileName");
    problem(ProgramNameProblem(program));
    problem(DesktopLinkProblem(IniLookup(ini, "Form", "desKtopLink")));
    problem(SetupPathProblem(IniLookup(ini, "SetupDir", "SetupPath")));
    const std::string dirName = IniLookup(ini, "SetupDir", "DirName");
    if (dirName.empty()) {
        warn("[SetupDir] DirName is empty: a folder chosen in the wizard gets no folder of the product's own");
    } else if (LevelProblem why = CheckPathLevel(dirName); why != LevelProblem::kNone) {
        problem("Setup.ini: [SetupDir] DirName " + Quoted(dirName) + " " + GbkToUtf8(LevelProblemText(why)) +
                ": it is the folder name the wizard adds to a chosen drive or folder");
    }

    std::string serial = IniLookup(ini, "Form", "Serial");
    std::string why = SerialProblem(serial);
    if (!why.empty()) {
        warn(why + ": the setup compares it with an installed copy's serial as a whole number");
    } else {
        VersionNumbers v;
        if (!SerialToVersion(serial, v))
            warn("[Form] Serial \"" + serial + "\" has more than eight digits: the file version is 0.0.0.0");
    }

    if (!program.empty() && IsPlainFileName(program)) {
        bool named = std::any_of(items.begin(), items.end(), [&](const ReleaseItem& it) {
            return TargetCollisionKey(it.entry.TargetPath) == TargetCollisionKey(program);
        });
        if (!named) warn("[Run] FileName " + Quoted(program) + " is not a target path of the manifest");
    }

    for (const FixedItem& f : kFixedItems) {
        auto it = std::find_if(items.begin(), items.end(), [&](const ReleaseItem& i) {
            return EqualsIgnoreAsciiCase(i.entry.ResourceName, f.name);
        });
        if (it == items.end()) {
            warn(std::string("the manifest names no item ") + f.name + " (" + f.what +
                 ", which the setup fetches by that name)");
        } else if (!EqualsIgnoreAsciiCase(it->entry.ResourceType, f.type)) {
            warn(LineLabel(it->entry.LineIndex) + "item " + f.name + " has the type \"" + it->entry.ResourceType +
                 "\", but the setup fetches it as \"" + f.type + "\"");
        } else if (f.expectedPath && !EqualsIgnoreAsciiCase(it->entry.TargetPath, f.expectedPath)) {
            warn(LineLabel(it->entry.LineIndex) + "item " + f.name + " (" + f.what + ") is " +
                 Quoted(it->entry.TargetPath) + ", not \"" + f.expectedPath + "\"");
        }
    }
}

std::string PayloadSizeProblem(std::uint64_t total) {
    if (total <= kMaxPayloadBytes) return std::string();
    const std::uint64_t mib = kMaxPayloadBytes >> 20;
    const std::string gib = std::to_string(mib / 1024) + "." + std::to_string(mib % 1024 * 10 / 1024) + " GiB";
    return "the payload as written into the setup is " + GroupDigits(total) + " bytes, more than the " + GroupDigits(kMaxPayloadBytes) +
           " bytes (" + gib + ") a setup may carry: a 32-bit program's image must fit below 2 GB with the "
           "system's own code, and a larger setup does not start (error 8, not enough memory)";
}

// ----------------------------------------------------------------- the release

ReleaseReport CheckRelease(const std::string& manifestText, const std::string* iniText,
                           const ReleaseFolder& folder) {
    ReleaseReport report;
    auto encoding = [&](const char* file, const std::string& text) {
        std::string found = TextEncodingProblem(text);
        if (!found.empty()) report.problems.push_back(std::string(file) + ": found " + found + "; " + kExpected);
        else if (std::size_t n = CountBareLineEnds(text))
            report.warnings.push_back(std::string(file) + ": " + std::to_string(n) + " line end" +
                                      (n == 1 ? " is" : "s are") + " a lone LF or CR; " + kExpected);
        return found.empty();
    };
    const bool manifestReadable = encoding("Setup.log", manifestText);
    bool iniReadable = false;
    if (!iniText || iniText->empty()) {
        report.problems.push_back("Setup.ini: the control file is missing or empty");
    } else {
        iniReadable = encoding("Setup.ini", *iniText);
        if (iniReadable && GbkFirstInvalid(*iniText) != std::string::npos) {
            std::size_t bad = GbkFirstInvalid(*iniText);
            report.problems.push_back("Setup.ini: found a byte that is not GBK text (byte " + std::to_string(bad + 1) +
                                      ", line " + std::to_string(LineOf(*iniText, bad)) + "); " + kExpected);
            iniReadable = false;
        }
    }
    const std::string ini = iniReadable ? *iniText : std::string();

    // Lengths count below the default folder; a folder that is itself refused
    // gives no measure.
    std::string defaultFolder = IniLookup(ini, "SetupDir", "SetupPath");
    if (!SetupPathProblem(defaultFolder).empty()) defaultFolder.clear();
    if (manifestReadable) CheckManifest(manifestText, defaultFolder, folder, report);
    if (iniReadable) CheckControlFile(ini, report);
    if (manifestReadable) {
        auto key = [&](const std::string& file) { return folder.fileKey ? folder.fileKey(file) : file; };
        std::set<std::string> named;
        for (const ReleaseItem& it : report.items) {
            named.insert(key(it.file));
            // The checksum table and the resource directory count an item's bytes in 32 bits.
            if (it.size > 0xFFFFFFFFu)
                report.problems.push_back(LineLabel(it.entry.LineIndex) + it.file + " has " + GroupDigits(it.size) +
                                          " bytes, more than the 4,294,967,295 bytes an item may have");
        }
        for (const std::string& f : folder.listFiles())
            if (!named.count(key(f)))
                report.warnings.push_back("the file " + f + " is not named by the manifest and is left out");
    }
    return report;
}

// -------------------------------------------------------------------- summary

std::string GroupDigits(std::uint64_t n) {
    std::string digits = std::to_string(n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::vector<std::string> ReleaseSummary(const std::vector<ReleaseItem>& items, const std::string& ini) {
    std::uint64_t total = 0;
    const ReleaseItem* big = nullptr;
    for (const ReleaseItem& it : items) {
        total += it.size;
        if (!big || it.size > big->size) big = &it;
    }
    std::string serial = IniLookup(ini, "Form", "Serial");
    VersionNumbers v;
    SerialToVersion(serial, v);
    std::vector<std::string> lines;
    lines.push_back("items:        " + std::to_string(items.size()));
    lines.push_back("total bytes:  " + GroupDigits(total));
    lines.push_back("largest item: " + (big ? GbkToUtf8(big->entry.TargetPath) + " (" + GroupDigits(big->size) + " bytes)"
                                            : std::string("none")));
    lines.push_back("caption:      " + GbkToUtf8(IniLookup(ini, "Form", "Caption")));
    lines.push_back("serial:       " + GbkToUtf8(serial) + " (file version " + std::to_string(v[0]) + "." +
                    std::to_string(v[1]) + "." + std::to_string(v[2]) + "." + std::to_string(v[3]) + ")");
    return lines;
}

// ------------------------------------------------------------ version resource

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

std::vector<std::pair<std::string, std::u16string>> VersionStrings(const std::string& ini) {
    VersionNumbers v;
    SerialToVersion(IniLookup(ini, "Form", "Serial"), v);
    std::string dotted = std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." +
                         std::to_string(v[3]);
    std::string version = IniLookup(ini, "Form", "Version");
    if (version.empty()) version = dotted;
    std::string caption = IniLookup(ini, "Form", "Caption");
    std::string description = (caption.empty() ? std::string(kProductName) : caption) + " 安装程序";
    return {
        {"CompanyName", GbkToUtf16(kPublisher)},
        {"FileDescription", GbkToUtf16(description)},
        {"FileVersion", GbkToUtf16(version)},
        {"InternalName", GbkToUtf16("TavixSetup")},
        {"OriginalFilename", GbkToUtf16("TavixSetup.exe")},
        {"ProductName", GbkToUtf16(kProductName)},
        {"ProductVersion", GbkToUtf16(version)},
    };
}

namespace {

// Blocks of a version resource: a length, a value length, a type (1 text,
// 0 binary), a key in UTF-16 with its NUL, padding to four bytes, the value,
// padding, then the children.
void PadTo4(std::string& out) {
    while (out.size() % 4) out += '\0';
}
void PutWide(std::string& out, const std::u16string& s) {
    for (char16_t c : s) Put16(out, c);
    Put16(out, 0);
}

// One block: `valueLength` counts bytes for binary values and UTF-16 units
// (with the NUL) for text values. `children` start at a four-byte boundary.
std::string Block(const std::string& key, unsigned type, const std::string& value, unsigned valueLength,
                  const std::string& children) {
    std::string b(6, '\0');
    std::u16string wideKey(key.begin(), key.end());  // keys are ASCII
    PutWide(b, wideKey);
    PadTo4(b);
    b += value;
    if (!children.empty()) {
        PadTo4(b);
        b += children;
    }
    b[0] = static_cast<char>(b.size() & 0xFF);
    b[1] = static_cast<char>(b.size() >> 8);
    b[2] = static_cast<char>(valueLength & 0xFF);
    b[3] = static_cast<char>(valueLength >> 8);
    b[4] = static_cast<char>(type);
    return b;
}

// Children follow each other at four-byte boundaries.
void Append(std::string& children, const std::string& block) {
    PadTo4(children);
    children += block;
}

} // namespace

std::string VersionResourceData(const std::string& ini) {
    VersionNumbers v;
    SerialToVersion(IniLookup(ini, "Form", "Serial"), v);
    std::string fixed;
    Put32(fixed, 0xFEEF04BD);                        // signature
    Put32(fixed, 0x00010000);                        // structure version
    for (int twice = 0; twice < 2; ++twice) {        // file, then product version
        Put32(fixed, v[0] << 16 | v[1]);
        Put32(fixed, v[2] << 16 | v[3]);
    }
    Put32(fixed, 0x3F);                              // flags mask
    Put32(fixed, 0);                                 // flags
    Put32(fixed, 0x40004);                           // VOS_NT_WINDOWS32
    Put32(fixed, 1);                                 // VFT_APP
    Put32(fixed, 0);                                 // subtype
    Put32(fixed, 0);                                 // date
    Put32(fixed, 0);

    std::string strings;
    for (const auto& [key, value] : VersionStrings(ini)) {
        std::string wide;
        PutWide(wide, value);
        Append(strings, Block(key, 1, wide, static_cast<unsigned>(value.size() + 1), ""));
    }
    std::string stringTable = Block("080404b0", 1, "", 0, strings);  // Chinese (PRC), UTF-16
    std::string translation;
    Put16(translation, 0x0804);
    Put16(translation, 1200);
    std::string varInfo = Block("VarFileInfo", 1, "", 0, Block("Translation", 0, translation, 4, ""));
    std::string children;
    Append(children, Block("StringFileInfo", 1, "", 0, stringTable));
    Append(children, varInfo);
    return Block("VS_VERSION_INFO", 0, fixed, static_cast<unsigned>(fixed.size()), children);
}

} // namespace tavix
