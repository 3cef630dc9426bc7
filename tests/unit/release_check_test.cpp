// The manifest half of the release check. Literals are GBK (the sources
// compile with -fexec-charset=GBK); messages are UTF-8, so the expected
// Chinese in them is written as u8"...".
#include <gtest/gtest.h>

#include <string>

#include "release_fake_folder.h"
#include "tools/release_check.h"

using namespace tavix;
using release_test::FakeFolder;
using release_test::Joined;

namespace {

const std::string kFolder = "C:\\Program Files\\Rel";  // 20 characters, 21 with its "\"

ReleaseReport Check(const std::string& manifest, const FakeFolder& folder, const std::string& defaultFolder = kFolder) {
    ReleaseReport r;
    CheckManifest(manifest, defaultFolder, folder.Folder(), r);
    return r;
}

TEST(CheckManifest, AcceptsAGoodRelease) {
    FakeFolder f;
    f.Add("TAVI.exe", 1500);
    f.Add("CYLib\\a.dat", 20);
    f.Add("UserFile\\食谱范例\\x y.Qvt", 3);
    f.Add("Data\\東方.txt", 4);  // 96 7C: the second byte is "|"
    f.Add("淺\\x", 5);           // 9C 5C: the second byte is "\"
    ReleaseReport r = Check("FileExe exename TAVI.exe\r\nCYLibDB1d DBname1 CYLib\\a.dat\r\n"
                            "UserFile_jf1 name1 UserFile\\食谱范例\\x y.Qvt\r\nEast name2 Data\\東方.txt\r\n"
                            "Shallow name3 淺\\x",
                            f);
    EXPECT_EQ(Joined(r.problems), "");
    ASSERT_EQ(r.items.size(), 5u);
    EXPECT_EQ(r.items[2].entry.TargetPath, "UserFile\\食谱范例\\x y.Qvt");
    EXPECT_EQ(r.items[2].file, "rel/UserFile\\食谱范例\\x y.Qvt");
    EXPECT_EQ(r.items[0].size, 1500u);
    EXPECT_EQ(r.items[3].entry.TargetPath, "Data\\東方.txt");
}

// Names and types that a resource script reads as keywords or numbers are
// ordinary names here: the builder stores every one as a string.
TEST(CheckManifest, AcceptsEveryNameTheGrammarAllows) {
    FakeFolder f;
    const char* lines[] = {"RCDATA Bitmap a", "HTML Win32 b", "__LINE__ ICON c", "VERSIONINFO STRINGTABLE d",
                           "BEGIN END e", "x_1 _ f", "Cursor DIALOG g", "MENU ACCELERATORS h"};
    std::string manifest;
    for (const char* line : lines) {
        manifest += std::string(line) + "\r\n";
        f.Add(std::string(line).substr(std::string(line).rfind(' ') + 1));
    }
    ReleaseReport r = Check(manifest, f);
    EXPECT_EQ(Joined(r.problems), "");
    EXPECT_EQ(r.items.size(), 8u);
}

TEST(CheckManifest, RefusesEachKindOfBadLineNamingIt) {
    FakeFolder f;
    f.Add("ok.txt");
    f.Add("a\\ok.txt");
    f.Set("adir", FileKind::kFolder);
    f.Set("alink", FileKind::kLinkOutside, "/etc/passwd");
    f.Set("apipe", FileKind::kOther);
    const std::string longName(259 - 21 + 1, 'n');      // 21 + 239 = 260 characters
    const std::string longFolder(247 - 21 + 1, 'd');    // a folder of 21 + 227 = 248
    struct Case { std::string badLine; std::string words; };
    const Case cases[] = {
        {"Miss name gone.txt", "the file \"gone.txt\" is missing from the release folder"},
        {"First txtname ok.txt", "already used on manifest line 1"},
        {"Empty name ", "the target path \"\" is empty"},
        {"Root name \\ok.txt", "the target path \"\\ok.txt\" begins with \"\\\""},
        {"Up name a\\..\\ok.txt", "has a level \"..\" that is only dots"},
        {"Here name .\\ok.txt", "has a level \".\" that is only dots"},
        {"Dots name a\\...\\b", "has a level \"...\" that is only dots"},
        {"Blank name a\\ \\b", "has a level \" \" that ends in a blank"},
        {"DotDir name Data.\\Lite.dat", "has a level \"Data.\" that ends in a dot, which Windows drops"},
        {"BlankDir name Data \\Lite.dat", "has a level \"Data \" that ends in a blank"},
        {"DotFile name Lite.dat.", "has a level \"Lite.dat.\" that ends in a dot"},
        {"Con name CON", "has a level \"CON\" that is a device name of Windows"},
        {"Aux name Data\\aux.txt", "has a level \"aux.txt\" that is a device name"},
        {"Com name COM1.log", "has a level \"COM1.log\" that is a device name"},
        {"Nul name nul\\a.txt", "has a level \"nul\" that is a device name"},
        {"Drive name C:\\ok.txt", "names a drive or is absolute"},
        {"OnlyTwo name", "does not split"},
        {"Two  name ok.txt", "does not split"},
        {"", "does not split"},
        {"Bad name a\\\xff.txt", "byte 12 is not valid GBK text"},
        {"9Digit name ok.txt", "letters, digits"},
        {"Dash-ed name ok.txt", "letters, digits"},
        {"Slash name a/ok.txt", "does not allow"},
        {"Bar name a\\b|c", "has a level \"b|c\" that holds a character that Windows does not allow"},
        {"Doubled name a\\\\ok.txt", "has an empty level"},
        {"Same name ok.txt", "the target path \"ok.txt\" is also the target of manifest line 1"},
        {"Case name OK.TXT", "the target path \"OK.TXT\" is the same file on Windows as \"ok.txt\" of manifest line 1"},
        {"Under name ok.txt\\x", "needs the folder \"ok.txt\", which manifest line 1 writes as the file \"ok.txt\""},
        {"Long name " + longName,
         "is 260 characters long below the default folder \"C:\\Program Files\\Rel\", more than the 259"},
        {"LongDir name " + longFolder + "\\x",
         "is 248 characters long below the default folder \"C:\\Program Files\\Rel\", more than the 247"},
        {"Folder name adir", "\"adir\" is a folder in the release folder, not a file"},
        {"Link name alink", "\"alink\" is a symbolic link that leads out of the release folder (to /etc/passwd)"},
        {"Pipe name apipe", "\"apipe\" is not a regular file"},
    };
    for (const Case& c : cases) {
        ReleaseReport r = Check("First txtname ok.txt\r\n" + c.badLine + "\r\nLast txtname a\\ok.txt", f);
        ASSERT_EQ(r.problems.size(), 1u) << c.badLine << "\n" << Joined(r.problems);
        EXPECT_EQ(r.problems[0].rfind("manifest line 2: ", 0), 0u) << r.problems[0];
        EXPECT_NE(r.problems[0].find(c.words), std::string::npos) << r.problems[0];
        EXPECT_EQ(r.items.size(), 2u) << c.badLine;
    }
}

TEST(CheckManifest, AFileWhereAnEarlierLineNeedsAFolder) {
    FakeFolder f;
    f.Add("Data\\Lite.dat");
    f.Add("data");
    ReleaseReport r = Check("LiteDB1d DBname1 Data\\Lite.dat\r\nLiteFile name1 data", f);
    ASSERT_EQ(r.problems.size(), 1u) << Joined(r.problems);
    EXPECT_NE(r.problems[0].find("manifest line 2: the target path \"data\" is a folder for \"Data\\Lite.dat\" of "
                                 "manifest line 1 and cannot be a file too"),
              std::string::npos)
        << r.problems[0];
}

// Without a default folder (the control file has none, which is refused on
// its own) no length is checked.
TEST(CheckManifest, LengthsCountCharactersBelowTheDefaultFolder) {
    FakeFolder f;
    const std::string fits(259 - 21, 'n');
    std::string chinese;
    for (int i = 0; i < 259 - 21; ++i) chinese += "食";  // 476 bytes, 238 characters
    f.Add(fits);
    f.Add(chinese);
    f.Add(fits + "n");
    EXPECT_EQ(Joined(Check("A n " + fits + "\r\nB n " + chinese, f).problems), "");
    EXPECT_EQ(Check("A n " + fits + "n", f).problems.size(), 1u);
    EXPECT_EQ(Check("A n " + chinese + "食", f).problems.size(), 1u);
    EXPECT_EQ(Joined(Check("A n " + fits + "n", f, "").problems), "");
}

TEST(CheckManifest, DuplicateNamesIgnoreCaseAndType) {
    FakeFolder f;
    f.Add("a");
    f.Add("b");
    ReleaseReport r = Check("Item name1 a\r\nITEM name2 b", f);
    ASSERT_EQ(r.problems.size(), 1u);
    EXPECT_NE(r.problems[0].find("manifest line 2"), std::string::npos);
}

TEST(CheckManifest, ReportsEveryProblem) {
    FakeFolder f;
    EXPECT_EQ(Check("A a x\r\nB b y\r\n\r\n", f).problems.size(), 3u);
    EXPECT_EQ(Check("", f).problems.size(), 1u);
}

// Messages are UTF-8: the release's GBK text is converted, once.
TEST(CheckManifest, MessagesShowTheReleaseTextInUtf8) {
    FakeFolder f;
    ReleaseReport r = Check("Menu name1 UserFile\\食谱范例\\正常人群.Qvt\r\nDot name2 食谱.\\x", f);
    ASSERT_EQ(r.problems.size(), 2u);
    EXPECT_NE(r.problems[0].find(u8"the file \"UserFile\\食谱范例\\正常人群.Qvt\" is missing"), std::string::npos)
        << r.problems[0];
    EXPECT_NE(r.problems[1].find(u8"has a level \"食谱.\" that ends in a dot"), std::string::npos) << r.problems[1];
}

} // namespace
