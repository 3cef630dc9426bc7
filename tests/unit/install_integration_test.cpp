#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/integration.h"
#include "common/product.h"

using namespace tavix;

TEST(DisplayVersion, EightDigitSerialsAreDottedPairsOthersKeepTheEarlierForm) {
    struct Case { const char* serial; const char* shown; };
    const Case cases[] = {
        {"02080206", "2.8.2.6"},
        {"10000000", "10.0.0.0"},
        {"12345678", "12.34.56.78"},
        {"00000000", "0.0.0.0"},
        {"27200", "2.72.00"},          // the earlier five-digit serial
        {"3", "3.."},
        {"", ".."},
        {"0208020x", "0.20.8020x"},     // not all digits: the earlier form
        {"123456789012345", "1.23.4567890123"},
    };
    for (const Case& c : cases) EXPECT_EQ(DisplayVersion(c.serial), c.shown) << c.serial;
}

TEST(UninstallValues, NamesInTheirLetterCaseAndOrder) {
    const std::vector<RegValue> v = UninstallValues("D:\\Program Files\\Tavix280\\", "02080206");
    struct Want { const char* name; std::string value; };
    const Want want[] = {
        {"displayname", "Quorvix"},
        {"Publisher", "Velmora"},
        {"DisplayVersion", "2.8.2.6"},
        {"URLInfoAbout", kWebAddress},
        {"uninstallstring", "\"D:\\Program Files\\Tavix280\\Uninstall.exe\""},
    };
    ASSERT_EQ(v.size(), std::size(want));
    for (std::size_t i = 0; i < v.size(); ++i) {
        EXPECT_EQ(v[i].root, RegRoot::CurrentUser);
        EXPECT_EQ(v[i].key, "software\\microsoft\\windows\\currentversion\\uninstall\\Quorvix");
        EXPECT_EQ(v[i].name, want[i].name);
        EXPECT_EQ(v[i].value, want[i].value) << want[i].name;
    }
}

TEST(RegInfoValues, AssociationThenApplicationKeys) {
    const std::string caption = "Quorvixv2.8.2.6（标准版-m）";
    const std::string target = "D:\\Program Files\\Tavix280\\TAVI.exe";
    std::vector<RegValue> all = AssociationValues(kDocumentExt, kClassKey, kIconIndex, target, caption);
    const std::vector<RegValue> app = ApplicationValues(kClassKey, target, "02080206", "2.8.2.6（标准版-m）");
    all.insert(all.end(), app.begin(), app.end());
    const RegRoot cr = RegRoot::ClassesRoot, cu = RegRoot::CurrentUser;
    const RegValue want[] = {
        {cr, ".Qvt", "", "Software\\TAVIX"},
        {cr, "Software\\TAVIX", "", caption},
        {cr, "Software\\TAVIX\\DefaultIcon", "", "D:\\Program Files\\Tavix280\\TAVI.exe,0"},
        {cr, "Software\\TAVIX\\Shell\\Open", "", "&Open"},
        {cr, "Software\\TAVIX\\Shell\\Open\\Command", "", "\"D:\\Program Files\\Tavix280\\TAVI.exe\" \"%1\""},
        {cu, "Software\\TAVIX\\Shell\\PathName", "Path", "D:\\Program Files\\Tavix280\\"},
        {cu, "Software\\TAVIX\\Shell\\Serial", "Serial", "02080206"},
        {cu, "Software\\TAVIX\\Shell\\Version", "Version", "2.8.2.6（标准版-m）"},
    };
    ASSERT_EQ(all.size(), std::size(want));
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i].root, want[i].root) << i;
        EXPECT_EQ(all[i].key, want[i].key) << i;
        EXPECT_EQ(all[i].name, want[i].name) << i;
        EXPECT_EQ(all[i].value, want[i].value) << i;
    }
    // Another icon index is written in decimal.
    EXPECT_EQ(AssociationValues(".x", "K", 12, "T", "D")[2].value, "T,12");
}

TEST(FolderWithBackslash, KeepsTheSeparatorAndIgnoresTrailBytes) {
    struct Case { const char* path; const char* folder; };
    const Case cases[] = {
        {"D:\\Program Files\\Tavix280\\TAVI.exe", "D:\\Program Files\\Tavix280\\"},
        {"D:\\营养\\TAVI.exe", "D:\\营养\\"},
        {"D:\\a\\表", "D:\\a\\"},   // 表 is B1 ED; 淺 below ends in 5C
        {"D:\\x\\淺", "D:\\x\\"},
        {"TAVI.exe", ""},
        {"D:\\", "D:\\"},
    };
    for (const Case& c : cases) EXPECT_EQ(FolderWithBackslash(c.path), c.folder) << c.path;
}

TEST(ProgramGroupOf, TheCaptionNamesTheGroupAndTitlesTheProgramAndItsUninstaller) {
    struct Case { const char* dir; const char* exe; std::string caption; };
    const Case cases[] = {
        {"D:\\Program Files\\Tavix280\\", "TAVI.exe", "Quorvixv2.8.2.6（标准版-m）"},
        {"C:\\全新安装\\", "主程序.exe", "另一个版本"},
        {"E:\\", "T.exe", ""},  // an empty caption names nothing
    };
    for (const Case& c : cases) {
        const ProgramGroup group = ProgramGroupOf(c.dir, c.exe, c.caption);
        const std::string dir = c.dir;
        EXPECT_EQ(group.name, c.caption);
        ASSERT_EQ(group.items.size(), 4u) << c.dir;
        const ProgramGroupItem want[] = {
            {dir + c.exe, c.caption},
            {dir + "Uninstall.exe", "卸载" + c.caption},
            {dir + "help.chm", "使用说明"},
            {dir + "用户授权协议.txt", "用户授权协议"},
        };
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(group.items[i].target, want[i].target) << c.dir << " item " << i;
            EXPECT_EQ(group.items[i].title, want[i].title) << c.dir << " item " << i;
        }
    }
}

TEST(ProgramGroupCommands, FiveCommandsInOrderEachParameterQuotedAndUncut) {
    const std::string caption = "Quorvixv2.8.2.6（标准版-m）";
    const std::string q = "\"";
    const std::vector<std::string> cmds = ProgramGroupCommands("D:\\Program Files\\Tavix280\\", "TAVI.exe", caption);
    const std::vector<std::string> want = {
        "[creategroup(" + q + caption + q + "," + q + caption + q + ")]",
        "[additem(\"D:\\Program Files\\Tavix280\\TAVI.exe\"," + q + caption + q + ")]",
        "[additem(\"D:\\Program Files\\Tavix280\\Uninstall.exe\",\"卸载" + caption + q + ")]",
        "[additem(\"D:\\Program Files\\Tavix280\\help.chm\",\"使用说明\")]",
        "[additem(\"D:\\Program Files\\Tavix280\\用户授权协议.txt\",\"用户授权协议\")]",
    };
    EXPECT_EQ(cmds, want);

    // The usual folder of a 32-bit program on 64-bit Windows: its ")" stays
    // inside the quoted parameter.
    EXPECT_EQ(ProgramGroupCommands("C:\\Program Files (x86)\\Tavix280\\", "TAVI.exe", "Q")[1],
              "[additem(\"C:\\Program Files (x86)\\Tavix280\\TAVI.exe\",\"Q\")]");

    // A folder long enough to push a command past 254 bytes keeps it whole.
    const std::string longDir = "C:\\" + std::string(260, 'd') + "\\";
    const std::vector<std::string> longCmds = ProgramGroupCommands(longDir, "TAVI.exe", caption);
    EXPECT_GT(longCmds[1].size(), 254u);
    EXPECT_EQ(longCmds[1], "[additem(\"" + longDir + "TAVI.exe\"," + q + caption + q + ")]");
}

TEST(ProgramGroupCommands, TheGroupIsRemovedByItsQuotedName) {
    // A caption with a ")" of its own must not end the parameter early.
    EXPECT_EQ(DeleteGroupCommand("Quorvix (m)"), "[DeleteGroup(\"Quorvix (m)\")]");
}
