#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/progress.h"

using namespace tavix;

TEST(StatusPathText, WholeUpTo45BytesElseFolderHeadAndRelativePath) {
    const std::string dir30 = "C:\\Program Files\\Tavix2800000\\";  // 30 bytes
    ASSERT_EQ(dir30.size(), 30u);
    struct Case { std::string dir, rel, shown; };
    const Case cases[] = {
        {dir30, "CYLib\\CY.dat123", dir30 + "CYLib\\CY.dat123"},                 // 45: whole
        {dir30, "CYLib\\CY.dat1234", "C:\\Program Files\\...\\CYLib\\CY.dat1234"}, // 46: cut
        {"D:\\Program Files\\Tavix280\\", "SdbFile\\Foodrank.dat",
         "D:\\Program Files\\...\\SdbFile\\Foodrank.dat"},
        {"D:\\Program Files\\Tavix280\\", "TAVI.exe", "D:\\Program Files\\Tavix280\\TAVI.exe"},
        {"D:\\Q\\", "", "D:\\Q\\"},
        // a long relative path is kept whole behind the folder head
        {"D:\\", "UserFile\\食谱范例\\正常人群\\中体力食谱[女18-岁].Qvt",
         "D:\\...\\UserFile\\食谱范例\\正常人群\\中体力食谱[女18-岁].Qvt"},
    };
    for (const Case& c : cases) EXPECT_EQ(StatusPathText(c.dir, c.rel), c.shown) << c.dir << c.rel;
}

TEST(StatusPathText, FolderHeadNeverEndsInsideADoubleByteCharacter) {
    // 16 ASCII bytes, then a double-byte character on bytes 17-18.
    const std::string dir = "D:\\abcdefghijkl\\" "安装\\";
    ASSERT_EQ(dir.size(), 21u);
    const std::string rel(30, 'x');
    EXPECT_EQ(StatusPathText(dir, rel), "D:\\abcdefghijkl\\...\\" + rel);
    // 15 ASCII bytes, a character on bytes 16-17: kept whole.
    const std::string dir2 = "D:\\abcdefghijk\\" "安装\\";
    EXPECT_EQ(StatusPathText(dir2, rel), "D:\\abcdefghijk\\安...\\" + rel);
}

TEST(StatusTexts, FolderMessages) {
    EXPECT_EQ(CreatingFolderStatus("UserFile\\食谱范例\\减肥食谱"), "创建文件夹\\UserFile\\食谱范例\\减肥食谱");
    EXPECT_EQ(SubFolderFailedText("CYLib"), "创建文件夹\\CYLib 失败");
    EXPECT_EQ(MainFolderFailedText("D:\\Program Files\\Tavix280\\"),
              "创建主文件夹\\D:\\Program Files\\Tavix280\\ 失败");
}

TEST(BarSchedule, CompleteInstallation) {
    struct Case { int entries; std::vector<int> positions; };
    const Case cases[] = {
        {0, {1, 5, 87, 90, 95, 100}},
        {3, {1, 5, 5, 6, 7, 87, 90, 95, 100}},
    };
    for (const Case& c : cases) EXPECT_EQ(CompleteInstallBarPositions(c.entries), c.positions) << c.entries;

    // The sample release's 105 entries run past the bar's end: held at 100
    // from the entry with index 95 on, then back to 87.
    std::vector<int> held;
    for (int p : CompleteInstallBarPositions(105)) held.push_back(bar::Held(p));
    ASSERT_EQ(held.size(), 2u + 105u + 4u);
    EXPECT_EQ(held[2], 5);
    EXPECT_EQ(held[2 + 94], 99);
    EXPECT_EQ(held[2 + 95], 100);
    EXPECT_EQ(held[2 + 104], 100);
    EXPECT_EQ(std::vector<int>(held.end() - 4, held.end()), (std::vector<int>{87, 90, 95, 100}));
}
