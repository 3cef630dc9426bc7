#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tools/release_check.h"

using namespace tavix;

namespace {

std::set<std::string> gFiles;
bool FakeExists(const std::string& p) { return gFiles.count(p) > 0; }
std::string FakePath(const std::string& t) { return "rel/" + t; }

ReleaseReport Check(const std::string& manifest) { return CheckManifest(manifest, FakeExists, FakePath); }

TEST(CheckManifest, AcceptsAGoodRelease) {
    gFiles = {"rel/TAVI.exe", "rel/CYLib\\a.dat", "rel/UserFile\\食谱范例\\x y.Qvt"};
    ReleaseReport r = Check("FileExe exename TAVI.exe\r\nCYLibDB1d DBname1 CYLib\\a.dat\r\n"
                            "UserFile_jf1 name1 UserFile\\食谱范例\\x y.Qvt");
    EXPECT_TRUE(r.problems.empty());
    ASSERT_EQ(r.items.size(), 3u);
    EXPECT_EQ(r.items[2].entry.TargetPath, "UserFile\\食谱范例\\x y.Qvt");
    EXPECT_EQ(r.items[2].file, "rel/UserFile\\食谱范例\\x y.Qvt");
}

TEST(CheckManifest, RefusesEachKindOfBadLineNamingIt) {
    gFiles = {"rel/ok.txt", "rel/a\\ok.txt"};
    struct Case { std::string badLine; const char* words; };
    const Case cases[] = {
        {"Miss name gone.txt", "is missing from the release folder"},
        {"First txtname ok.txt", "already used on manifest line 1"},
        {"Empty name ", "target path is empty"},
        {"Root name \\ok.txt", "begins with"},
        {"Up name a\\..\\ok.txt", "\"..\" level"},
        {"Drive name C:\\ok.txt", "drive or is absolute"},
        {"OnlyTwo name", "does not split"},
        {"Two  name ok.txt", "does not split"},
        {"", "does not split"},
        {"Bad name a\\\xff.txt", "not valid GBK"},
        {"9Digit name ok.txt", "letters, digits"},
        {"Dash-ed name ok.txt", "letters, digits"},
        {"Slash name a/ok.txt", "does not allow"},
        {"Doubled name a\\\\ok.txt", "empty folder level"},
    };
    for (const Case& c : cases) {
        ReleaseReport r = Check("First txtname ok.txt\r\n" + c.badLine + "\r\nLast txtname a\\ok.txt");
        ASSERT_EQ(r.problems.size(), 1u) << c.badLine;
        EXPECT_NE(r.problems[0].find("manifest line 2:"), std::string::npos) << r.problems[0];
        EXPECT_NE(r.problems[0].find(c.words), std::string::npos) << r.problems[0];
        EXPECT_EQ(r.items.size(), 2u) << c.badLine;
    }
}

TEST(CheckManifest, DuplicateNamesIgnoreCaseAndType) {
    gFiles = {"rel/a", "rel/b"};
    ReleaseReport r = Check("Item name1 a\r\nITEM name2 b");
    ASSERT_EQ(r.problems.size(), 1u);
    EXPECT_NE(r.problems[0].find("manifest line 2"), std::string::npos);
}

TEST(CheckManifest, ReportsEveryProblem) {
    gFiles = {};
    EXPECT_EQ(Check("A a x\r\nB b y\r\n\r\n").problems.size(), 3u);
    EXPECT_EQ(Check("").problems.size(), 1u);
}

} // namespace
