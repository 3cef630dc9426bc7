#include "path_rules.h"

#include <cstring>

#include "gbk.h"

namespace tavix {
namespace {

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The base of a level as Windows matches it against device names: up to the
// first dot, without the blanks before that dot.
std::string_view DeviceBase(std::string_view level) {
    std::string_view base = level.substr(0, level.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    return base;
}

bool IsDeviceName(std::string_view level) {
    std::string_view base = DeviceBase(level);
    std::string upper;
    for (char c : base) upper += UpperAscii(c);
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* d : kDevices)
        if (upper == d) return true;
    return upper.size() == 4 && (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) &&
           upper[3] >= '0' && upper[3] <= '9';
}

// Calls `level(text)` for each level of `path` between separating
// backslashes (GBK-aware) until it returns false.
template <typename F>
void ForEachLevel(std::string_view path, F level) {
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size()) {
            if (IsGbkLead(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
                ++i;  // its second byte is no separator
                continue;
            }
            if (path[i] != '\\') continue;
        }
        if (!level(path.substr(start, i - start))) return;
        start = i + 1;
    }
}

// Lower-case letters of GBK's double-byte rows and the distance to their
// capitals in the same row: ⅰ-ⅹ, full-width ａ-ｚ, Greek α-ω, Cyrillic а-я.
struct FoldRow {
    unsigned char lead, first, last;
    int toUpper;
};
constexpr FoldRow kFoldRows[] = {
    {0xA2, 0xA1, 0xAA, +0x50},
    {0xA3, 0xE1, 0xFA, -0x20},
    {0xA6, 0xC1, 0xD8, -0x20},
    {0xA7, 0xD1, 0xF1, -0x30},
};

} // namespace

LevelProblem CheckPathLevel(std::string_view level) {
    if (level.empty()) return LevelProblem::kEmpty;
    if (GbkFirstInvalid(level) != std::string_view::npos) return LevelProblem::kNotGbk;
    for (std::size_t i = 0; i < level.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(level[i]);
        if (IsGbkLead(c)) {
            ++i;  // well formed: a trail byte follows, and is never checked
            continue;
        }
        if (c < 0x20) return LevelProblem::kControlCharacter;
        if (std::strchr("<>:\"/\\|?*", c)) return LevelProblem::kForbiddenCharacter;
    }
    if (level.find_first_not_of('.') == std::string_view::npos) return LevelProblem::kDotsOnly;
    // '.' and ' ' lie below every trail byte, so the last byte is a character.
    if (level.back() == '.') return LevelProblem::kEndsInDot;
    if (level.back() == ' ') return LevelProblem::kEndsInBlank;
    if (IsDeviceName(level)) return LevelProblem::kDeviceName;
    if (GbkCharCount(level) > kMaxLevelChars) return LevelProblem::kTooLong;
    return LevelProblem::kNone;
}

const char* LevelProblemText(LevelProblem problem) {
    switch (problem) {
    case LevelProblem::kNone: return "";
    case LevelProblem::kEmpty: return "is empty";
    case LevelProblem::kNotGbk: return "is not valid GBK text";
    case LevelProblem::kControlCharacter: return "holds a control character";
    case LevelProblem::kForbiddenCharacter:
        return "holds a character that Windows does not allow in a name (< > : \" / \\ | ? *)";
    case LevelProblem::kDotsOnly: return "is only dots, which Windows takes for this or a parent folder";
    case LevelProblem::kEndsInDot: return "ends in a dot, which Windows drops from a name";
    case LevelProblem::kEndsInBlank: return "ends in a blank, which Windows drops from a name";
    case LevelProblem::kDeviceName:
        return "is a device name of Windows (CON, PRN, AUX, NUL, COM0-COM9, LPT0-LPT9, CONIN$, CONOUT$, "
               "in any letter case and with any extension)";
    case LevelProblem::kTooLong: return "is longer than 255 characters";
    }
    return "";
}

TargetPathProblem CheckTargetPath(std::string_view path) {
    TargetPathProblem p;
    if (path.empty()) {
        p.kind = TargetPathProblem::kEmpty;
    } else if (path[0] == '\\') {
        p.kind = TargetPathProblem::kLeadingBackslash;
    } else if (path.size() >= 2 && path[1] == ':' &&
               ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
        p.kind = TargetPathProblem::kDrive;
    } else {
        ForEachLevel(path, [&](std::string_view level) {
            LevelProblem why = CheckPathLevel(level);
            if (why == LevelProblem::kNone) return true;
            p.kind = TargetPathProblem::kBadLevel;
            p.level = why;
            p.levelText = std::string(level);
            return false;
        });
    }
    return p;
}

std::string TargetPathProblemText(const TargetPathProblem& p) {
    switch (p.kind) {
    case TargetPathProblem::kNone: return std::string();
    case TargetPathProblem::kEmpty: return "is empty";
    case TargetPathProblem::kLeadingBackslash: return "begins with \"\\\"";
    case TargetPathProblem::kDrive: return "names a drive or is absolute";
    case TargetPathProblem::kBadLevel:
        if (p.level == LevelProblem::kEmpty) return "has an empty level (two \"\\\" in a row, or one at the end)";
        return "has a level \"" + p.levelText + "\" that " + LevelProblemText(p.level);
    }
    return std::string();
}

std::string TargetCollisionKey(std::string_view path) {
    std::string key(path);
    for (std::size_t i = 0; i < key.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(key[i]);
        if (IsGbkLead(c) && i + 1 < key.size()) {
            unsigned char t = static_cast<unsigned char>(key[i + 1]);
            for (const FoldRow& row : kFoldRows)
                if (c == row.lead && t >= row.first && t <= row.last)
                    key[i + 1] = static_cast<char>(t + row.toUpper);
            ++i;
            continue;
        }
        key[i] = UpperAscii(key[i]);
    }
    return key;
}

std::size_t GbkCharCount(std::string_view text) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size(); ++i, ++n)
        if (IsGbkLead(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ++i;
    return n;
}

PathLength CheckTargetLength(std::string_view folder, std::string_view targetPath) {
    const std::size_t below = GbkCharCount(folder) + 1;  // the folder and its "\"
    if (below + GbkCharCount(targetPath) > kMaxPathChars) return PathLength::kPathTooLong;
    std::size_t cut = GbkFindLast(targetPath, '\\');
    std::size_t folderChars = cut == std::string_view::npos ? GbkCharCount(folder)
                                                            : below + GbkCharCount(targetPath.substr(0, cut));
    if (folderChars > kMaxFolderChars) return PathLength::kFolderTooLong;
    return PathLength::kFits;
}

bool IsPlainFileName(std::string_view name) { return CheckPathLevel(name) == LevelProblem::kNone; }

bool IsDesktopLinkName(std::string_view value) {
    if (value.size() < 6 || value[0] != '\\') return false;
    std::string_view name = value.substr(1);
    std::string_view ext = name.substr(name.size() - 4);
    return EqualsIgnoreAsciiCase(ext, ".lnk") && IsPlainFileName(name);
}

} // namespace tavix
