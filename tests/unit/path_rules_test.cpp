// The path rule shared by the release builder and the installer. Literals
// are GBK (the sources compile with -fexec-charset=GBK).
#include <gtest/gtest.h>

#include <string>

#include "setupdata/path_rules.h"

using namespace tavix;

namespace {

std::string Repeat(const std::string& s, std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i) out += s;
    return out;
}

TEST(CheckPathLevel, EachProblemAndWhatPasses) {
    using P = LevelProblem;
    struct Case { std::string level; P problem; };
    const Case cases[] = {
        {"TAVI.exe", P::kNone},
        {"食谱范例", P::kNone},
        {"中体力食谱[女18-岁].Qvt", P::kNone},
        {"使用 说明.txt", P::kNone},
        {"a..b", P::kNone},
        {".hidden", P::kNone},
        {" leading blank", P::kNone},
        {"~$!@#%^&()[]{};',=+`", P::kNone},
        {"CONSOLE", P::kNone},   // device names only as the whole base
        {"COM10", P::kNone},
        {"LPT", P::kNone},
        {"aux_x.txt", P::kNone},
        {"CON$", P::kNone},
        {"xCON", P::kNone},
        {"\x80", P::kNone},       // the euro sign of code page 936
        {"", P::kEmpty},
        {"\xff", P::kNotGbk},
        {"a\x81", P::kNotGbk},    // a lead byte with nothing after it
        {"\x81 x", P::kNotGbk},   // a lead byte before a byte that cannot follow it
        {"\x81\x7f", P::kNotGbk},
        {"a\tb", P::kControlCharacter},
        {"\x01", P::kControlCharacter},
        {"a\x1f", P::kControlCharacter},
        {std::string("a\0b", 3), P::kControlCharacter},
        {"a<b", P::kForbiddenCharacter},
        {"a>b", P::kForbiddenCharacter},
        {"C:", P::kForbiddenCharacter},
        {"file.txt:stream", P::kForbiddenCharacter},
        {"say \"hi\"", P::kForbiddenCharacter},
        {"a/b", P::kForbiddenCharacter},
        {"a\\b", P::kForbiddenCharacter},
        {"a|b", P::kForbiddenCharacter},
        {"why?", P::kForbiddenCharacter},
        {"*.txt", P::kForbiddenCharacter},
        {".", P::kDotsOnly},
        {"..", P::kDotsOnly},
        {"...", P::kDotsOnly},
        {"Data.", P::kEndsInDot},
        {"Lite.dat.", P::kEndsInDot},
        {" .", P::kEndsInDot},
        {". .", P::kEndsInDot},
        {"食谱.", P::kEndsInDot},
        {"Data ", P::kEndsInBlank},
        {" ", P::kEndsInBlank},
        {". ", P::kEndsInBlank},
        {"食谱 ", P::kEndsInBlank},
        {"CON", P::kDeviceName},
        {"con", P::kDeviceName},
        {"Con.txt", P::kDeviceName},
        {"aux.txt", P::kDeviceName},
        {"AUX.tar.gz", P::kDeviceName},
        {"nul", P::kDeviceName},
        {"NUL .txt", P::kDeviceName},  // blanks before the dot do not count
        {"PRN", P::kDeviceName},
        {"COM1.log", P::kDeviceName},
        {"com0", P::kDeviceName},
        {"LPT9", P::kDeviceName},
        {"lpt1.x", P::kDeviceName},
        {"CONIN$", P::kDeviceName},
        {"conout$.txt", P::kDeviceName},
        {Repeat("a", 255), P::kNone},
        {Repeat("a", 256), P::kTooLong},
        {Repeat("食", 255), P::kNone},  // 510 bytes, 255 characters
        {Repeat("食", 256), P::kTooLong},
    };
    for (const Case& c : cases)
        EXPECT_EQ(static_cast<int>(CheckPathLevel(c.level)), static_cast<int>(c.problem)) << c.level;
}

// 東 is 0x96 0x7C, 淺 0x9C 0x5C: the second byte of a double-byte character
// is never "|" or "\". Every lead byte with either second byte passes; the
// same bytes after an ASCII letter do not.
TEST(CheckPathLevel, SecondBytesOfDoubleByteCharactersAreNeverChecked) {
    EXPECT_EQ(CheckPathLevel("東方.txt"), LevelProblem::kNone);
    EXPECT_EQ(CheckPathLevel("淺"), LevelProblem::kNone);
    int passed = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (char second : {'|', '\\'}) {
            std::string name = std::string("a") + static_cast<char>(lead) + second + ".txt";
            EXPECT_EQ(CheckPathLevel(name), LevelProblem::kNone) << std::hex << lead;
            passed += CheckPathLevel(name) == LevelProblem::kNone;
            EXPECT_EQ(CheckPathLevel(std::string("a") + 'b' + second + ".txt"), LevelProblem::kForbiddenCharacter);
        }
    }
    EXPECT_EQ(passed, 126 * 2);
}

TEST(LevelProblemText, EveryProblemHasOne) {
    for (int p = static_cast<int>(LevelProblem::kEmpty); p <= static_cast<int>(LevelProblem::kTooLong); ++p)
        EXPECT_STRNE(LevelProblemText(static_cast<LevelProblem>(p)), "") << p;
    EXPECT_STREQ(LevelProblemText(LevelProblem::kNone), "");
}

TEST(CheckTargetPath, KindLevelAndText) {
    using K = TargetPathProblem::Kind;
    using P = LevelProblem;
    struct Case { std::string path; K kind; P level; std::string levelText; const char* words; };
    const Case cases[] = {
        {"TAVI.exe", K::kNone, P::kNone, "", ""},
        {"UserFile\\食谱范例\\正常人群\\中体力食谱[女18-岁].Qvt", K::kNone, P::kNone, "", ""},
        {"Data\\東方.txt", K::kNone, P::kNone, "", ""},
        {"淺\\x", K::kNone, P::kNone, "", ""},  // 9C 5C 5C: the first 5C belongs to 淺
        {"dir\\with space\\f x.txt", K::kNone, P::kNone, "", ""},
        {"", K::kEmpty, P::kNone, "", "is empty"},
        {"\\Options.ini", K::kLeadingBackslash, P::kNone, "", "begins with \"\\\""},
        {"\\\\server\\share\\x", K::kLeadingBackslash, P::kNone, "", "begins with"},
        {"C:\\Windows\\x.dll", K::kDrive, P::kNone, "", "names a drive or is absolute"},
        {"c:x.dll", K::kDrive, P::kNone, "", "names a drive"},
        {"a\\\\b", K::kBadLevel, P::kEmpty, "", "has an empty level (two \"\\\" in a row, or one at the end)"},
        {"Data\\", K::kBadLevel, P::kEmpty, "", "has an empty level"},
        {".\\Options.ini", K::kBadLevel, P::kDotsOnly, ".", "has a level \".\" that is only dots"},
        {"a\\...\\b", K::kBadLevel, P::kDotsOnly, "...", "has a level \"...\" that is only dots"},
        {"CYLib\\..\\..\\x.dll", K::kBadLevel, P::kDotsOnly, "..", "\"..\""},
        {"a\\ \\b", K::kBadLevel, P::kEndsInBlank, " ", "has a level \" \" that ends in a blank"},
        {"Data.\\Lite.dat", K::kBadLevel, P::kEndsInDot, "Data.", "has a level \"Data.\" that ends in a dot"},
        {"Data \\Lite.dat", K::kBadLevel, P::kEndsInBlank, "Data ", "ends in a blank"},
        {"Lite.dat.", K::kBadLevel, P::kEndsInDot, "Lite.dat.", "ends in a dot"},
        {"CON", K::kBadLevel, P::kDeviceName, "CON", "has a level \"CON\" that is a device name of Windows"},
        {"Data\\aux.txt", K::kBadLevel, P::kDeviceName, "aux.txt", "device name"},
        {"COM1.log", K::kBadLevel, P::kDeviceName, "COM1.log", "device name"},
        {"nul\\a.txt", K::kBadLevel, P::kDeviceName, "nul", "device name"},
        {"CYLib/../x.dll", K::kBadLevel, P::kForbiddenCharacter, "CYLib/../x.dll", "does not allow"},
        {"/etc/x", K::kBadLevel, P::kForbiddenCharacter, "/etc/x", "does not allow"},
        {"file.txt:stream", K::kBadLevel, P::kForbiddenCharacter, "file.txt:stream", "does not allow"},
        {"a\\b|c", K::kBadLevel, P::kForbiddenCharacter, "b|c", "does not allow"},
        {"a\\\xff.txt", K::kBadLevel, P::kNotGbk, "\xff.txt", "is not valid GBK text"},
        {"a\\b\x81", K::kBadLevel, P::kNotGbk, "b\x81", "is not valid GBK text"},
    };
    for (const Case& c : cases) {
        TargetPathProblem p = CheckTargetPath(c.path);
        EXPECT_EQ(p.kind, c.kind) << c.path;
        EXPECT_EQ(static_cast<bool>(p), c.kind != K::kNone) << c.path;
        EXPECT_EQ(static_cast<int>(p.level), static_cast<int>(c.level)) << c.path;
        EXPECT_EQ(p.levelText, c.levelText) << c.path;
        std::string text = TargetPathProblemText(p);
        EXPECT_NE(text.find(c.words), std::string::npos) << c.path << ": " << text;
        EXPECT_EQ(text.empty(), c.kind == K::kNone) << c.path;
    }
}

TEST(TargetCollisionKey, SameFileOnWindows) {
    struct Case { std::string a, b; bool same; };
    const Case cases[] = {
        {"Data\\Lite.dat", "data\\lite.DAT", true},
        {"Data\\Lite.dat", "Data\\Lite.dat", true},
        {"食谱范例\\A.Qvt", "食谱范例\\a.qvt", true},
        {"Data\\Lite.dat", "Data\\Lite.dat2", false},
        {"東方.txt", "東方.TXT", true},
        // a second byte that is a letter is no letter: 0x81 0x61 and 0x81 0x41 are two characters
        {"\x81\x61.txt", "\x81\x41.txt", false},
        {"\x96\x7c", "\x96\x5c", false},
        // letters of the double-byte rows that Windows folds as well
        {"ａ.txt", "Ａ.txt", true},
        {"ｚ", "Ｚ", true},
        {"α", "Α", true},
        {"ω", "Ω", true},
        {"а", "А", true},
        {"ё", "Ё", true},
        {"я", "Я", true},
        {"ⅰ", "Ⅰ", true},
        {"ⅹ", "Ⅹ", true},
        // just outside those rows nothing folds
        {"\xa3\xe0", "\xa3\xc0", false},
        {"\xa3\xfb", "\xa3\xdb", false},
        {"\xa6\xd9", "\xa6\xb9", false},
        {"\xa7\xf2", "\xa7\xc2", false},
        {"\xa2\xab", "\xa2\xfb", false},
        {"α", "β", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TargetCollisionKey(c.a) == TargetCollisionKey(c.b), c.same) << c.a << " / " << c.b;
}

TEST(GbkCharCount, ADoubleByteCharacterIsOne) {
    const std::pair<std::string, std::size_t> cases[] = {
        {"", 0}, {"abc", 3}, {"東方", 2}, {"a東\\b", 4}, {"\x81", 1}, {"a\x81", 2}, {"\x80", 1},
    };
    for (const auto& [text, n] : cases) EXPECT_EQ(GbkCharCount(text), n) << text;
}

TEST(CheckTargetLength, FullPathAndFolderBelowTheDefaultFolder) {
    const std::string folder = "C:\\Program Files\\QvLite31";  // 25 characters, 26 with its "\"
    ASSERT_EQ(GbkCharCount(folder), 25u);
    struct Case { std::string target; PathLength length; };
    const Case cases[] = {
        {Repeat("a", 233), PathLength::kFits},  // 26 + 233 = 259
        {Repeat("a", 234), PathLength::kPathTooLong},
        {Repeat("食", 233), PathLength::kFits},  // 466 bytes, 233 characters
        {Repeat("食", 234), PathLength::kPathTooLong},
        {Repeat("d", 221) + "\\x.txt", PathLength::kFits},  // folder 26 + 221 = 247
        {Repeat("d", 222) + "\\x.txt", PathLength::kFolderTooLong},
        {Repeat("食", 100) + "\\" + Repeat("食", 120) + "\\x", PathLength::kFits},  // folder 26 + 221
        {Repeat("食", 100) + "\\" + Repeat("食", 121) + "\\x", PathLength::kFolderTooLong},
    };
    for (const Case& c : cases)
        EXPECT_EQ(static_cast<int>(CheckTargetLength(folder, c.target)), static_cast<int>(c.length))
            << GbkCharCount(c.target);
    // A top-level file lies in the folder itself.
    EXPECT_EQ(CheckTargetLength(Repeat("f", 247), "x"), PathLength::kFits);
    EXPECT_EQ(CheckTargetLength(Repeat("f", 248), "x"), PathLength::kFolderTooLong);
}

TEST(IsPlainFileName, OneLevelThatPassesTheRule) {
    const std::pair<std::string, bool> cases[] = {
        {"TAVI.exe", true}, {"东方.exe", true}, {"東.exe", true}, {"my tool.exe", true},
        {"bin\\TAVI.exe", false}, {"\\TAVI.exe", false}, {"C:TAVI.exe", false}, {"C:\\TAVI.exe", false},
        {"..", false}, {"a/b.exe", false}, {"", false}, {"TAVI.exe.", false}, {"TAVI.exe ", false},
        {"con.exe", false}, {"\xff.exe", false},
    };
    for (const auto& [name, plain] : cases) EXPECT_EQ(IsPlainFileName(name), plain) << name;
}

TEST(IsDesktopLinkName, OneBackslashThenANameEndingInLnk) {
    const std::pair<std::string, bool> cases[] = {
        {"\\Quorvixv2.8.0(m).lnk", true},
        {"\\Quorvix轻量版v3.1.lnk", true},
        {"\\x.LNK", true},
        {"\\x.Lnk", true},
        {"Quorvixv2.8.0(m).lnk", false},  // no leading "\"
        {"\\\\x.lnk", false},
        {"\\a\\b.lnk", false},
        {"\\x.lnkx", false},
        {"\\x.txt", false},
        {"\\.lnk", false},
        {"\\", false},
        {"", false},
        {"\\con.lnk", false},
        {"\\a|b.lnk", false},
        {"\\a:b.lnk", false},
    };
    for (const auto& [value, ok] : cases) EXPECT_EQ(IsDesktopLinkName(value), ok) << value;
}

} // namespace
