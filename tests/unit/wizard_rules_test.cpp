#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "setupdata/errors.h"
#include "wizard/wizard_rules.h"

using namespace tavix;

namespace {

const std::string kCaption = "Quorvixv2.8.2.6（标准版-m）";

std::string ErrorOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const SetupError& e) {
        return e.what();
    }
    return "(no error)";
}

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

// ---- numbers ---------------------------------------------------------------------

TEST(StrToInt, Conversions) {
    struct Case { const char* text; int32_t value; };
    const Case good[] = {{"02080206", 2080206}, {"27200", 27200},         {"0", 0},
                         {"-5", -5},            {"+7", 7},                {"  12", 12},
                         {"2147483647", 2147483647}, {"-2147483648", INT32_MIN}};
    for (const Case& c : good) EXPECT_EQ(StrToInt(c.text), c.value) << c.text;
    const char* bad[] = {"", " ", "12 ", "1.5", "abc", "2147483648", "-2147483649", "99999999999999999999", "-",
                         "0x10", "1e3"};
    for (const char* t : bad)
        EXPECT_EQ(ErrorOf([&] { StrToInt(t); }), "'" + std::string(t) + "' is not a valid integer value") << t;
}

TEST(StrToFloat, Conversions) {
    struct Case { const char* text; double value; };
    const Case good[] = {{"02080206", 2080206}, {"27200", 27200}, {" 1.5 ", 1.5}, {"-3", -3},
                         {".5", 0.5},           {"5.", 5},        {"1e3", 1000},  {"2.5E-1", 0.25}};
    for (const Case& c : good) EXPECT_DOUBLE_EQ(StrToFloat(c.text), c.value) << c.text;
    const char* bad[] = {"", "abc", "1,5", "1e", ".", "1.2.3", "12a", "--1", "1e999"};
    for (const char* t : bad)
        EXPECT_EQ(ErrorOf([&] { StrToFloat(t); }), "'" + std::string(t) + "' is not a valid floating point value")
            << t;
}

// ---- earlier installation ----------------------------------------------------------

TEST(CheckEarlierInstall, Decisions) {
    const std::set<std::string> files = {"C:\\Old\\TAVI.exe", "D:\\Program Files\\Tavix280\\TAVI.exe"};
    auto exists = [&](const std::string& p) { return files.count(p) > 0; };
    struct Case { const char* what; const char* serial; const char* path; const char* current; VersionQuestion q; };
    const Case cases[] = {
        {"no values", "", "", "02080206", VersionQuestion::None},
        {"serial only", "02080206", "", "02080206", VersionQuestion::None},
        {"path only", "", "C:\\Old\\", "02080206", VersionQuestion::None},
        {"program missing", "02080206", "C:\\Gone\\", "02080206", VersionQuestion::None},
        {"path without backslash", "02080206", "C:\\Old", "02080206", VersionQuestion::None},
        {"equal", "02080206", "C:\\Old\\", "02080206", VersionQuestion::Reinstall},
        {"equal without leading zero", "2080206", "C:\\Old\\", "02080206", VersionQuestion::Reinstall},
        {"later installed", "02080207", "C:\\Old\\", "02080206", VersionQuestion::OlderVersion},
        {"earlier five-digit serial", "27200", "C:\\Old\\", "02080206", VersionQuestion::None},
        {"fractional installed serial", "2080206.5", "C:\\Old\\", "02080206", VersionQuestion::OlderVersion},
        {"earlier eight-digit serial", "02080205", "D:\\Program Files\\Tavix280\\", "02080206",
         VersionQuestion::None},
    };
    for (const Case& c : cases) EXPECT_EQ(CheckEarlierInstall(c.serial, c.path, exists, c.current), c.q) << c.what;
}

TEST(CheckEarlierInstall, ConversionErrorsOnlyWithAnInstalledCopy) {
    auto yes = [](const std::string&) { return true; };
    auto no = [](const std::string&) { return false; };
    EXPECT_EQ(ErrorOf([&] { CheckEarlierInstall("02080206", "C:\\Old\\", yes, "2.8"); }),
              "'2.8' is not a valid integer value");
    EXPECT_EQ(ErrorOf([&] { CheckEarlierInstall("v2", "C:\\Old\\", yes, "02080206"); }),
              "'v2' is not a valid floating point value");
    // The new serial is converted first.
    EXPECT_EQ(ErrorOf([&] { CheckEarlierInstall("v2", "C:\\Old\\", yes, ""); }), "'' is not a valid integer value");
    // Without an installed copy nothing is converted.
    EXPECT_EQ(CheckEarlierInstall("v2", "C:\\Old\\", no, "bad"), VersionQuestion::None);
    EXPECT_EQ(CheckEarlierInstall("", "C:\\Old\\", yes, "bad"), VersionQuestion::None);
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

TEST(Folders, PresetAndSingleDrive) {
    EXPECT_EQ(PresetFolder("D:\\Program Files\\Tavix280"), "D:\\Program Files\\Tavix280\\");
    EXPECT_EQ(PresetFolder("D:\\Program Files\\Tavix280\\"), "D:\\Program Files\\Tavix280\\\\");
    EXPECT_EQ(PresetFolder(""), "\\");
    EXPECT_EQ(SingleDriveFolder("Tavix280"), "C:\\Program Files\\Tavix280\\");
    EXPECT_EQ(SingleDriveFolder(""), "C:\\Program Files\\\\");
}

TEST(Folders, OfferedFolderIsTheInstalledOneWhileItExists) {
    const std::set<std::string> folders = {"C:\\Old\\", "E:\\软件\\Tavix\\", "C:\\\x81\x5c\\"};
    auto exists = [&](const std::string& p) { return folders.count(p) > 0; };
    struct Case { const char* what; const char* installed; const char* offered; };
    const Case cases[] = {
        {"no earlier installation", "", "D:\\Program Files\\Tavix280\\"},
        {"installed folder", "C:\\Old\\", "C:\\Old\\"},
        {"installed folder without its backslash", "C:\\Old", "C:\\Old\\"},
        {"Chinese folder", "E:\\软件\\Tavix\\", "E:\\软件\\Tavix\\"},
        {"trail byte 5C is no backslash", "C:\\\x81\x5c", "C:\\\x81\x5c\\"},
        {"folder gone", "C:\\Gone\\", "D:\\Program Files\\Tavix280\\"},
        {"no full path", "Old\\", "D:\\Program Files\\Tavix280\\"},
        {"network path", "\\\\server\\Old\\", "D:\\Program Files\\Tavix280\\"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OfferedFolder("D:\\Program Files\\Tavix280", c.installed, exists), c.offered) << c.what;
    // A relative value is never looked up.
    bool asked = false;
    OfferedFolder("D:\\x", "Old\\", [&](const std::string&) { return asked = true; });
    EXPECT_FALSE(asked);
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

TEST(Folders, HandOverAddsTheMissingBackslash) {
    struct Case { std::string folder, result; };
    const Case cases[] = {
        {"C:\\App", "C:\\App\\"},
        {"C:\\App\\", "C:\\App\\"},
        {"D:\\Program Files\\Tavix280\\", "D:\\Program Files\\Tavix280\\"},
        {"D:\\", "D:\\"},
        {"D:", "D:\\"},
        {"", ""},
        {"C:\\软件", "C:\\软件\\"},
        // A double-byte character whose trail byte is 0x5C does not end in a backslash.
        {"C:\\\x81\x5C", "C:\\\x81\x5C\\"},
        {"C:\\\x81\x5C\\", "C:\\\x81\x5C\\"},
    };
    for (const Case& c : cases) EXPECT_EQ(HandOverFolder(c.folder), c.result) << c.folder;
}
