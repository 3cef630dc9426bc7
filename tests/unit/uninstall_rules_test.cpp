#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "uninstall/uninstall_rules.h"

using namespace tavix;

TEST(NamesFileIn, QuotedAndUnquotedCommandsOfThisFolderOnly) {
    const std::string dir = "D:\\Program Files\\Tavix280\\";
    struct Case { const char* value; bool ours; };
    const Case cases[] = {
        {"D:\\Program Files\\Tavix280\\Uninstall.exe", true},
        {"\"D:\\Program Files\\Tavix280\\Uninstall.exe\"", true},
        {"\"D:\\Program Files\\Tavix280\\Uninstall.exe\" /S", true},
        {"D:\\Program Files\\Tavix280\\TAVI.exe %1", true},
        {"\"D:\\Program Files\\Tavix280\\TAVI.exe\" \"%1\"", true},
        {"d:\\program files\\TAVIX280\\tavi.exe,0", true},          // letter case
        {"D:\\Program Files\\Tavix280\\TAVI.exe /x C:\\y", true},   // a backslash in the arguments
        {"D:\\Program Files\\Tavix281\\TAVI.exe %1", false},        // another installation
        {"D:\\Program Files\\Tavix2800\\TAVI.exe", false},
        {"D:\\Program Files\\Tavix280\\Sub\\TAVI.exe", false},
        {"\"D:\\Program Files\\Tavix280\\Sub\\TAVI.exe\" %1", false},
        {"D:\\Program Files\\Tavix280\\", false},
        {"\"D:\\Program Files\\Tavix280\\TAVI.exe", false},         // quote not closed
        {"C:\\Other\\Viewer.exe \"%1\"", false},
        {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(NamesFileIn(c.value, dir), c.ours) << c.value;
    EXPECT_TRUE(NamesFileIn("D:\\营养\\TAVI.exe %1", "D:\\营养\\"));
    EXPECT_FALSE(NamesFileIn("D:\\营养\\TAVI.exe", "D:\\营养"));  // the folder ends in a backslash
    EXPECT_TRUE(SamePath("D:\\Program Files\\Tavix280\\", "d:\\PROGRAM FILES\\tavix280"));
    EXPECT_FALSE(SamePath("D:\\Program Files\\Tavix280\\", "D:\\Program Files\\Tavix28"));
}

TEST(RecordedFolders, EveryParentOnceDeepestFirst) {
    const std::vector<RecordedFile> files = {
        {"TAVI.exe", 0, 0},
        {"UserFile\\食谱范例\\正常人群\\a.Qvt", 0, 0},
        {"userfile\\食谱范例\\减肥食谱\\b.Qvt", 0, 0},  // the same folders, another letter case
        {"SdbFile\\Image\\Move1.BMP", 0, 0},
        {"SdbFile\\Help.BLB", 0, 0},
    };
    const std::vector<std::string> folders = RecordedFolders(files);
    ASSERT_EQ(folders.size(), 6u);
    // Where a folder stands, found as Windows finds it (letter case ignored).
    auto at = [&](const std::string& f) {
        for (std::size_t i = 0; i < folders.size(); ++i)
            if (SamePath(folders[i], f)) return static_cast<int>(i);
        ADD_FAILURE() << "no folder " << f;
        return -1;
    };
    EXPECT_LT(at("SdbFile\\Image"), at("SdbFile"));
    EXPECT_LT(at("UserFile\\食谱范例\\正常人群"), at("UserFile\\食谱范例"));
    EXPECT_LT(at("UserFile\\食谱范例\\减肥食谱"), at("UserFile\\食谱范例"));
    EXPECT_LT(at("UserFile\\食谱范例"), at("UserFile"));
}

TEST(FilesToRemove, OnePathEveryChecksum) {
    const std::vector<FileToRemove> f =
        FilesToRemove({{"TAVI.exe", 1, 10}, {"a.txt", 2, 20}, {"tavi.EXE", 3, 30}});
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[0].path, "TAVI.exe");
    ASSERT_EQ(f[0].accepted.size(), 2u);
    EXPECT_EQ(f[0].accepted[1].crc32, 3u);
    EXPECT_EQ(f[1].accepted.size(), 1u);
}

TEST(WorseExit, RefusedBeforeFailedBeforeKeptBeforeSuccess) {
    using E = UninstallExit;
    EXPECT_EQ(WorseExit(E::Success, E::UserFilesKept), E::UserFilesKept);
    EXPECT_EQ(WorseExit(E::RemoveFailed, E::UserFilesKept), E::RemoveFailed);
    EXPECT_EQ(WorseExit(E::RemoveFailed, E::RecordRefused), E::RecordRefused);
    EXPECT_EQ(WorseExit(E::RecordRefused, E::Success), E::RecordRefused);
}

TEST(KeysToPrune, OwnKeysAndParentsUpToTheirHomeDeepestFirst) {
    const std::vector<RegValue> assoc =
        AssociationValues(kDocumentExt, kClassKey, kIconIndex, "D:\\T\\TAVI.exe", "Quorvix");
    const std::vector<std::string> classKeys = KeysToPrune(assoc, kClassKey);
    EXPECT_EQ(classKeys, (std::vector<std::string>{"Software\\TAVIX\\Shell\\Open\\Command", "Software\\TAVIX\\Shell\\Open",
                                                   "Software\\TAVIX\\DefaultIcon", "Software\\TAVIX\\Shell",
                                                   "Software\\TAVIX"}));
    EXPECT_EQ(KeysToPrune(assoc, kDocumentExt), std::vector<std::string>{".Qvt"});
    const std::vector<std::string> app = KeysToPrune(ApplicationValues(kClassKey, "D:\\T\\TAVI.exe", "1", "1"), kClassKey);
    EXPECT_EQ(app.back(), "Software\\TAVIX");
    EXPECT_EQ(app.size(), 5u);  // PathName, Serial, Version, Shell, TAVIX; never "Software"
    EXPECT_TRUE(KeysToPrune(assoc, "Software\\TAVI").empty());  // no key lies below a mere prefix
}
