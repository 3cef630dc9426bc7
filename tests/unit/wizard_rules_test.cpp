#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wizard/wizard_rules.h"

using namespace tavix;

namespace {

const std::string kCaption = "Quorvixv2.8.2.6（标准版-m）";

}  // namespace

// ---- texts ---------------------------------------------------------------------

TEST(WizardTexts, BuiltFromTheCaption) {
    EXPECT_EQ(WelcomeTitle(kCaption), "欢迎使用 Quorvixv2.8.2.6（标准版-m）");
    EXPECT_EQ(WelcomeText(kCaption), "即将在您的电脑上安装“Quorvixv2.8.2.6（标准版-m）” 请点击“下一步”按钮继续。");
    EXPECT_EQ(ReadyText(kCaption), "安装程序已经准备好在您的计算机上安装Quorvixv2.8.2.6（标准版-m）");
    EXPECT_EQ(ReadySubtitle(kCaption), "点击“下一步”开始安装Quorvixv2.8.2.6（标准版-m）");
    // An empty caption leaves nothing in its place.
    EXPECT_EQ(WelcomeTitle(""), "欢迎使用 ");
    EXPECT_EQ(ReadyText(""), "安装程序已经准备好在您的计算机上安装");
}

TEST(WizardTexts, ReinstallMessageIsExact) {
    const std::string expected =
        "Quorvixv2.8.2.6（标准版-m）已经安装，要再次安装吗？\r\r"
        "若选择再次安装，请注意备份原软件中的数据资料，以免丢失宝贵数据。\r"
        "备份方法：退出本安装程序，运行Quorvix，点击窗口顶行“文件”菜\r"
        "单，选择“另存为”保存数据到U盘，或其它熟悉的文件夹中。\r\r"
        "    按 [Yes] 按钮再次安装；按 [No] 结束\r";
    EXPECT_EQ(ReinstallMessage(kCaption), expected);
    // Bare carriage returns only; "菜单" is split across two lines.
    EXPECT_EQ(ReinstallMessage(kCaption).find('\n'), std::string::npos);
    EXPECT_NE(ReinstallMessage(kCaption).find("菜\r单"), std::string::npos);
    // GBK bytes: the caption is followed directly by the question.
    EXPECT_EQ(ReinstallMessage("X").substr(0, 1 + 8), "X已经安装");
}

TEST(WizardTexts, OlderVersionAndDesktopWarning) {
    EXPECT_EQ(OlderVersionMessage(), "您正在安装的是一个旧版本，要继续安装吗？\r\r    按 [Yes] 按钮继续安装；按 [No] 结束\r");
    EXPECT_EQ(DesktopFolderWarning(),
              "Quorvix不支持这种桌面安装方式！\r建议安装到 D盘、E盘，或 C盘的“Program Files\\”文件夹中。");
    EXPECT_EQ(std::string(kExitQuestion), "确定要退出安装程序吗?");
    EXPECT_EQ(std::string(kExitQuestion).back(), '?');  // the half-width mark
}

TEST(MemoText, LineEndsBecomeCrLf) {
    struct Case { std::string in, out; };
    const Case cases[] = {
        {"a\r\nb\r\n", "a\r\nb\r\n"},
        {"a\nb", "a\r\nb"},
        {"a\rb\r", "a\r\nb\r\n"},
        {"a\n\rb", "a\r\n\r\nb"},
        {"a\r\n\r\nb", "a\r\n\r\nb"},
        {std::string("a\0b", 3), "a"},
        {"汉字\n", "汉字\r\n"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(MemoText(c.in), c.out) << c.in;
}

// ---- sizes and the drive list ----------------------------------------------------

TEST(SizeText, DecimalsAndRounding) {
    struct Case { double gb; const char* text; };
    const Case cases[] = {
        {465.781, "465.8"}, {465.75, "465.8"}, {10.0, "10.0"}, {9.99, "9.99"}, {9.999, "10.00"},
        {7.46, "7.46"},     {7.441, "7.44"},   {0.004, "0.00"}, {0.0, "0.00"}, {-0.009, "-0.01"},
        {1024.04, "1024.0"}, {12345.67, "12345.7"}, {0.125, "0.12"} /* binary 0.125 ties to even */,
    };
    for (const Case& c : cases) EXPECT_EQ(SizeText(c.gb), c.text) << c.gb;
    EXPECT_DOUBLE_EQ(BytesToGb(1073741824LL), 1.0);
    EXPECT_DOUBLE_EQ(BytesToGb(500107862016LL), 465.7617416381836);
}

TEST(DriveRows, FromRootAndSizes) {
    struct Case { const char* root; int64_t total, free; const char* c0; const char* c1; const char* c2; };
    const Case cases[] = {
        {"C:\\", 500107862016LL, 8010000000LL, "C:\\", "465.8 GB", "7.46 GB"},
        {"D:\\", 0, 0, "D:\\", "", ""},            // no medium
        {"E:\\", -1, -1, "E:\\", "", ""},          // no access
        {"F:\\", 1073741824LL * 20, 10737418, "F:\\", "20.0 GB", "0.01 GB"},
        {"A:\\extra", 1073741824LL, 0, "A:\\", "1.00 GB", ""},
    };
    for (const Case& c : cases) {
        DriveRow row = MakeDriveRow(c.root, c.total, c.free);
        EXPECT_EQ(row.cells[0], c.c0) << c.root;
        EXPECT_EQ(row.cells[1], c.c1) << c.root;
        EXPECT_EQ(row.cells[2], c.c2) << c.root;
        EXPECT_EQ(row.cells[3], "") << c.root;
        EXPECT_EQ(row.cells[4], "") << c.root;
    }
}

TEST(DriveRows, RemainingSpace) {
    struct Case { const char* freeCell; const char* remaining; };
    const Case cases[] = {
        {"465.8 GB", " 465.8 GB"}, {"7.46 GB", " 7.44 GB"}, {"10.0 GB", " 9.98 GB"},
        {"0.01 GB", " -0.01 GB"}, {"0.02 GB", " 0.00 GB"}, {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(RemainingSpaceCell(c.freeCell), c.remaining) << c.freeCell;
}

TEST(DriveRows, MarkInstallDrive) {
    auto rows = [] {
        return std::vector<DriveRow>{MakeDriveRow("A:\\", 0, 0), MakeDriveRow("C:\\", 500107862016LL, 8010000000LL),
                                     MakeDriveRow("Z:\\", 1073741824LL * 100, 1073741824LL * 50)};
    };
    struct Case { const char* dir; const char* rj; int row; const char* c3; const char* c4; };
    const Case cases[] = {
        {"C:\\Program Files\\Tavix280\\", "12", 1, " 12 MB", " 7.44 GB"},
        {"c:\\x\\", "12", 1, " 12 MB", " 7.44 GB"},  // letter case ignored
        {"Z:\\Tavix280\\", "12", 2, " 12 MB", " 50.0 GB"},
        {"A:\\", "12", 0, " 12 MB", ""},  // no free space known: no remaining space
        {"C:\\x\\", "", 1, "  MB", " 7.44 GB"},
        {"D:\\Program Files\\Tavix280\\", "12", -1, "", ""},
        {"\\\\server\\share\\", "12", -1, "", ""},
        {"\\", "12", -1, "", ""},
        {"", "12", -1, "", ""},
    };
    for (const Case& c : cases) {
        std::vector<DriveRow> r = rows();
        EXPECT_EQ(MarkInstallDrive(r, c.dir, c.rj), c.row) << c.dir;
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(r[i].cells[3], i == c.row ? c.c3 : "") << c.dir << " row " << i;
            EXPECT_EQ(r[i].cells[4], i == c.row ? c.c4 : "") << c.dir << " row " << i;
        }
    }
}

TEST(DriveRows, SplitDriveStrings) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitDriveStrings(std::string("C:\\\0Z:\\\0\0", 9)), (V{"C:\\", "Z:\\"}));
    EXPECT_EQ(SplitDriveStrings(std::string("A:\\\0C:\\\0E:\\\0\0", 13)), (V{"A:\\", "C:\\", "E:\\"}));
    EXPECT_EQ(SplitDriveStrings(std::string("\0", 1)), V{});
    EXPECT_EQ(SplitDriveStrings(""), V{});
    EXPECT_EQ(SplitDriveStrings(std::string("C:\\", 3)), V{"C:\\"});  // cut block without terminator
}

// ---- folders -------------------------------------------------------------------

TEST(Folders, SingleDrive) {
    EXPECT_EQ(SingleDriveFolder("Tavix280"), "C:\\Program Files\\Tavix280\\");
    EXPECT_EQ(SingleDriveFolder(""), "C:\\Program Files\\\\");
}

TEST(Folders, AfterBrowse) {
    struct Case { const char* chosen; const char* dirName; std::size_t drives; bool warn; const char* folder; };
    const Case cases[] = {
        {"D:\\", "Tavix280", 3, false, "D:\\Tavix280\\"},
        {"E:\\Apps", "Tavix280", 3, false, "E:\\Apps\\Tavix280\\"},
        {"C:\\Users\\Public", "Tavix280", 3, true, "D:\\Program Files\\Tavix280\\"},
        {"C:\\Users\\Public", "Tavix280", 1, true, "C:\\Program Files\\Tavix280\\"},
        {"E:\\My Desktop\\x", "Tavix280", 2, true, "D:\\Program Files\\Tavix280\\"},
        {"E:\\users\\x", "Tavix280", 2, false, "E:\\users\\x\\Tavix280\\"},  // lower case accepted
        {"E:\\desktop", "Tavix280", 2, false, "E:\\desktop\\Tavix280\\"},
        {"D:\\", "", 2, false, "D:\\\\"},
        {"E:\\Apps", "", 2, false, "E:\\Apps\\\\"},
        {"E:\\软件", "Tavix280", 2, false, "E:\\软件\\Tavix280\\"},
        {"E:\\ab", "Tavix280", 2, false, "E:\\ab\\Tavix280\\"},
    };
    for (const Case& c : cases) {
        BrowseResult r = FolderAfterBrowse(c.chosen, c.dirName, c.drives);
        EXPECT_EQ(r.warn, c.warn) << c.chosen;
        EXPECT_EQ(r.folder, c.folder) << c.chosen;
    }
}

TEST(Folders, DesktopWordsAtCharacterBoundaries) {
    EXPECT_TRUE(IsDesktopOrUsersPath("C:\\Users"));
    EXPECT_TRUE(IsDesktopOrUsersPath("C:\\xDesktopx"));
    EXPECT_FALSE(IsDesktopOrUsersPath("C:\\USERS"));
    // "Users" made of a double-byte character's trail byte and ASCII letters
    // is no word of the path: 0x8155 is one character, followed by "sers".
    EXPECT_FALSE(IsDesktopOrUsersPath(std::string("C:\\\x81Users")));
    EXPECT_TRUE(IsDesktopOrUsersPath(std::string("C:\\\x81\x40Users")));
}

TEST(Folders, SwitchDrive) {
    struct Case { const char* folder; const char* cell; const char* result; };
    const Case cases[] = {
        {"D:\\Program Files\\Tavix280\\", "C:\\", "C:\\Program Files\\Tavix280\\"},
        {"C:\\x\\", "Z:\\", "Z:\\x\\"},
        {"\\\\server\\share\\", "C:\\", "C\\server\\share\\"},
        {"", "C:\\", ""},
        {"D:\\x\\", "", "D:\\x\\"},
        {"软件\\", "C:\\", "C件\\"},  // a double-byte first character is replaced whole
    };
    for (const Case& c : cases) EXPECT_EQ(SwitchDrive(c.folder, c.cell), c.result) << c.folder;
}
