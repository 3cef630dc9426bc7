#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setupdata/gbk.h"
#include "setupdata/manifest.h"

using namespace tavix;
using Lines = std::vector<std::string>;

TEST(SplitManifestLines, LineEnds) {
    struct Case { std::string text; Lines lines; };
    const Case cases[] = {
        {"a\r\nb\r\nc", {"a", "b", "c"}},      // last line without a line end
        {"a\r\nb\r\n", {"a", "b"}},            // final line end adds no line
        {"a\rb\nc\r\n\r\nd", {"a", "b", "c", "", "d"}},
        {"a\n\rb", {"a", "", "b"}},            // LF then a lone CR: two ends
        {"a\r\nb\0c\r\nd", {"a", "b"}},        // NUL ends the text
        {"", {}},
        {"\r\n", {""}},
    };
    for (const Case& c : cases) {
        // std::string from a literal stops at NUL; build the NUL case explicitly
        EXPECT_EQ(SplitManifestLines(c.text), c.lines) << c.text;
    }
    EXPECT_EQ(SplitManifestLines(std::string("a\r\nb\0c\r\nd", 10)), (Lines{"a", "b"}));
}

TEST(ParseManifestLine, Fields) {
    struct Case { std::string line; const char* name; const char* type; std::string path; };
    const Case cases[] = {
        {"FileExe exename TAVI.exe", "FileExe", "exename", "TAVI.exe"},
        {"CYLibDB3b DBname3 CYLib\\CYBaseT.blb", "CYLibDB3b", "DBname3", "CYLib\\CYBaseT.blb"},
        {"UserFile_Zc7 name1 UserFile\\食谱范例\\正常人群\\中体力食谱[女18-岁].Qvt", "UserFile_Zc7", "name1",
         "UserFile\\食谱范例\\正常人群\\中体力食谱[女18-岁].Qvt"},
        {"A B dir\\with space\\f x.txt", "A", "B", "dir\\with space\\f x.txt"},  // inner spaces stay
        {"A B path  ", "A", "B", "path  "},                                     // trailing spaces stay
        {"A  B C", "A", "", "B C"},                                             // two spaces: empty type
        {"A B", "A", "B", ""},
        {"A B ", "A", "B", ""},
        {"Name", "Name", "", ""},
        {"", "", "", ""},
        {"A\tB C", "A\tB", "C", ""},                                            // a tab is no separator
    };
    for (const Case& c : cases) {
        ManifestEntry e = ParseManifestLine(c.line, 7);
        EXPECT_EQ(e.ResourceName, c.name) << c.line;
        EXPECT_EQ(e.ResourceType, c.type) << c.line;
        EXPECT_EQ(e.TargetPath, c.path) << c.line;
        EXPECT_EQ(e.LineIndex, 7);
    }
}

TEST(ManifestFolderPart, LastSeparatorOutsideDoubleByteCharacters) {
    EXPECT_EQ(ManifestFolderPart("UserFile\\食谱范例\\减肥食谱\\减肥食谱[1700千卡](女).Qvt"),
              "UserFile\\食谱范例\\减肥食谱");
    EXPECT_EQ(ManifestFolderPart("Options.ini"), "");
    EXPECT_EQ(ManifestFolderPart("a\\b\\"), "a\\b");
    // "淺" is 9C 5C: its trail byte is no separator
    EXPECT_EQ(ManifestFolderPart("Dir\\\x9c\x5c.txt"), "Dir");
    EXPECT_EQ(ManifestFolderPart("\x9c\x5c\\x"), "\x9c\x5c");
    EXPECT_EQ(ManifestFolderPart("\x9c\x5c"), "");
}

TEST(Gbk, Validity) {
    EXPECT_EQ(GbkFirstInvalid("abc 汉字\\\x9c\x5c"), std::string::npos);
    EXPECT_EQ(GbkFirstInvalid("ab\xff"), 2u);
    EXPECT_EQ(GbkFirstInvalid("ab\x81"), 2u);       // lead byte at the end
    EXPECT_EQ(GbkFirstInvalid("a\x81\x20"), 1u);    // space is no trail byte
    EXPECT_EQ(GbkFirstInvalid("a\x81\x7f"), 1u);
}

TEST(Gbk, EndsWithAtACharacter) {
    EXPECT_TRUE(GbkEndsWith("拒绝访问。", "。"));
    EXPECT_TRUE(GbkEndsWith("a.", "."));
    EXPECT_TRUE(GbkEndsWith("abc", ""));
    EXPECT_FALSE(GbkEndsWith("。", "x。"));
    // "啊" is B0 A1: its trail byte and a lone A3 are no "。" (A1 A3).
    EXPECT_FALSE(GbkEndsWith("啊\xa3", "。"));
    // After an odd run of lead bytes the boundary moves: 81 81 | A1 A3.
    EXPECT_TRUE(GbkEndsWith("\x81\x81。", "。"));
    EXPECT_FALSE(GbkEndsWith("\x81\x81\x81\xa1\xa3", "。"));
}

TEST(Gbk, CaseInsensitiveOnlyForAsciiLetters) {
    EXPECT_TRUE(EqualsIgnoreAsciiCase("desKtopLink", "DESKTOPLINK"));
    EXPECT_FALSE(EqualsIgnoreAsciiCase("a", "ab"));
    // trail bytes 0x41 and 0x61 differ although they look like 'A' and 'a'
    EXPECT_FALSE(EqualsIgnoreAsciiCase("\x81\x41", "\x81\x61"));
    EXPECT_EQ(AsciiUpper("SdbFileDB8a 汉"), "SDBFILEDB8A 汉");
}
