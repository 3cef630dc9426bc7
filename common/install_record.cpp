#include "common/install_record.h"

#include <cstdio>
#include <map>

#include "setupdata/gbk.h"
#include "setupdata/manifest.h"
#include "setupdata/path_rules.h"

namespace tavix {
namespace {

constexpr std::string_view kHeader = "Tavix install record 2";
// Records of the first version have file lines without what the setup saw.
constexpr std::string_view kFirstHeader = "Tavix install record 1";

// Splits "word rest" at the first space; false when there is none or
// either side is empty.
bool SplitWord(std::string_view line, std::string_view& word, std::string_view& rest) {
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos || space == 0 || space + 1 >= line.size()) return false;
    word = line.substr(0, space);
    rest = line.substr(space + 1);
    return true;
}

// Exactly `digits` lower-case hex digits.
bool ParseHex(std::string_view text, std::size_t digits, std::uint64_t& out) {
    if (text.size() != digits) return false;
    out = 0;
    for (char c : text) {
        int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (d < 0) return false;
        out = out << 4 | static_cast<std::uint64_t>(d);
    }
    return true;
}

bool ParseHex32(std::string_view text, std::uint32_t& out) {
    std::uint64_t n = 0;
    if (!ParseHex(text, 8, n)) return false;
    out = static_cast<std::uint32_t>(n);
    return true;
}

// "-", or the last-write and change times as "<16 hex>.<16 hex>".
bool ParseSeen(std::string_view text, RecordedFile& file) {
    if (text == "-") return true;
    file.seen = text.size() == 33 && text[16] == '.' && ParseHex(text.substr(0, 16), 16, file.times.lastWrite) &&
                ParseHex(text.substr(17), 16, file.times.change);
    return file.seen;
}

bool ParseSize(std::string_view text, std::uint64_t& out) {
    if (text.empty() || text.size() > 15) return false;
    out = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        out = out * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return true;
}

std::string LevelText(LevelProblem problem, const std::string& level) {
    const std::string quoted = "“" + level + "”";
    switch (problem) {
    case LevelProblem::kEmpty: return "含有空的一级（两个“\\”相连，或以“\\”结尾）";
    case LevelProblem::kNotGbk: return "不是有效的 GBK 文字";
    case LevelProblem::kControlCharacter: return "含有控制字符";
    case LevelProblem::kForbiddenCharacter: return "的一级" + quoted + "含有 Windows 不允许的字符";
    case LevelProblem::kDotsOnly: return "含有" + quoted + "（本文件夹或上级文件夹）";
    case LevelProblem::kEndsInDot: return "的一级" + quoted + "以“.”结尾";
    case LevelProblem::kEndsInBlank: return "的一级" + quoted + "以空格结尾";
    case LevelProblem::kDeviceName: return "含有设备名" + quoted;
    case LevelProblem::kTooLong: return "的一级" + quoted + "超过 255 个字符";
    case LevelProblem::kNone: break;
    }
    return std::string();
}

// A file, link or group line's name, checked; empty when it passes.
std::string NameProblem(std::string_view kind, std::string_view name) {
    if (kind == "program" || kind == "group")
        return IsPlainFileName(name) ? std::string() : "不是一个文件名";
    if (kind == "desktop")
        return IsDesktopLinkName(name) ? std::string() : "不是“\\”加上以 .lnk 结尾的文件名";
    return RefusedPathText(name);
}

} // namespace

std::string RefusedPathText(std::string_view path) {
    const TargetPathProblem p = CheckTargetPath(path);
    switch (p.kind) {
    case TargetPathProblem::kNone: return std::string();
    case TargetPathProblem::kEmpty: return "路径为空";
    case TargetPathProblem::kLeadingBackslash: return "以“\\”开头（网络路径或驱动器的根）";
    case TargetPathProblem::kDrive: return "含有驱动器";
    case TargetPathProblem::kBadLevel: return "路径" + LevelText(p.level, p.levelText);
    }
    return std::string();
}

std::string FormatInstallRecord(const InstallRecord& record) {
    std::string out(kHeader);
    out += "\r\n";
    for (const std::string& p : record.programs) out += "program " + p + "\r\n";
    for (const std::string& d : record.desktopLinks) out += "desktop " + d + "\r\n";
    for (const RecordedGroup& g : record.groups)
        out += std::string("group ") + (g.byProgramManager ? "progman " : "links ") + g.name + "\r\n";
    for (const RecordedFile& f : record.files) {
        char fields[80];
        if (f.seen)
            std::snprintf(fields, sizeof fields, "file %08x %llu %016llx.%016llx ", static_cast<unsigned>(f.crc32),
                          static_cast<unsigned long long>(f.size), static_cast<unsigned long long>(f.times.lastWrite),
                          static_cast<unsigned long long>(f.times.change));
        else
            std::snprintf(fields, sizeof fields, "file %08x %llu - ", static_cast<unsigned>(f.crc32),
                          static_cast<unsigned long long>(f.size));
        out += fields + f.path + "\r\n";
    }
    return out;
}

RecordReading ReadInstallRecord(std::string_view text) {
    RecordReading r;
    const std::vector<std::string> lines = SplitManifestLines(text);
    if (lines.empty() || (lines[0] != kHeader && lines[0] != kFirstHeader)) {
        r.damaged = true;
        r.damage = "第 1 行不是安装记录的开头“" + std::string(kHeader) + "”";
        return r;
    }
    const bool withFacts = lines[0] == kHeader;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const std::string where = "第 " + std::to_string(i + 1) + " 行“" + line + "”";
        std::string_view kind, rest, name;
        bool ok = SplitWord(line, kind, rest);
        RecordedFile file;
        RecordedGroup group;
        if (ok && kind == "file") {
            std::string_view crc, sizeAndPath, size, seen;
            ok = SplitWord(rest, crc, sizeAndPath) && SplitWord(sizeAndPath, size, name) &&
                 ParseHex32(crc, file.crc32) && ParseSize(size, file.size);
            if (ok && withFacts) {
                const std::string_view seenAndPath = name;
                ok = SplitWord(seenAndPath, seen, name) && ParseSeen(seen, file);
            }
        } else if (ok && kind == "group") {
            std::string_view how;
            ok = SplitWord(rest, how, name) && (how == "progman" || how == "links");
            group.byProgramManager = how == "progman";
        } else if (ok && (kind == "program" || kind == "desktop")) {
            name = rest;
        } else {
            ok = false;
        }
        if (!ok) {
            r.damaged = true;
            r.damage = where + "不是安装记录的一行";
            return r;
        }
        const std::string why = NameProblem(kind, name);
        if (!why.empty()) {
            r.refused.push_back({i + 1, line, std::string(name) + " " + why});
            continue;
        }
        if (kind == "file") {
            file.path = std::string(name);
            r.record.files.push_back(file);
        } else if (kind == "group") {
            group.name = std::string(name);
            r.record.groups.push_back(group);
        } else if (kind == "program") {
            r.record.programs.emplace_back(name);
        } else {
            r.record.desktopLinks.emplace_back(name);
        }
    }
    return r;
}

InstallRecord MergeInstallRecords(const InstallRecord& earlier, const InstallRecord& now, bool keepEarlierChecksums) {
    InstallRecord out;
    auto addName = [](std::vector<std::string>& to, const std::string& name) {
        for (const std::string& n : to)
            if (EqualsIgnoreAsciiCase(n, name)) return;
        to.push_back(name);
    };
    for (const InstallRecord* r : {&earlier, &now}) {
        for (const std::string& p : r->programs) addName(out.programs, p);
        for (const std::string& d : r->desktopLinks) addName(out.desktopLinks, d);
        for (const RecordedGroup& g : r->groups) {
            bool seen = false;
            for (const RecordedGroup& o : out.groups)
                seen = seen || (o.byProgramManager == g.byProgramManager && o.name == g.name);
            if (!seen) out.groups.push_back(g);
        }
    }
    std::map<std::string, bool> written;  // paths `now` names, by collision key
    for (const RecordedFile& f : now.files) written[TargetCollisionKey(f.path)] = true;
    // A line of the same bytes is named once, with what was seen of them last.
    auto addFile = [&out](const RecordedFile& f) {
        const std::string key = TargetCollisionKey(f.path);
        for (RecordedFile& o : out.files)
            if (o.crc32 == f.crc32 && o.size == f.size && TargetCollisionKey(o.path) == key) {
                if (f.seen) {
                    o.seen = true;
                    o.times = f.times;
                }
                return;
            }
        out.files.push_back(f);
    };
    for (const RecordedFile& f : earlier.files)
        if (keepEarlierChecksums || !written.count(TargetCollisionKey(f.path))) addFile(f);
    for (const RecordedFile& f : now.files) addFile(f);
    return out;
}

std::uint64_t RecordedBytes(const InstallRecord& record) {
    std::map<std::string, std::uint64_t> sizes;
    for (const RecordedFile& f : record.files) sizes[TargetCollisionKey(f.path)] = f.size;
    std::uint64_t total = 0;
    for (const auto& s : sizes) total += s.second;
    return total;
}

} // namespace tavix
