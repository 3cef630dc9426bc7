#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "install/folder_rule.h"
#include "common/product.h"
#include "test_names.h"

namespace {

struct FolderCase {
    const char* what;
    std::string folder;
    const char* refusal;  // the start of the message; "" when the folder is accepted
};

void PrintTo(const FolderCase& c, std::ostream* os) { *os << c.what; }

class InstallFolderTable : public ::testing::TestWithParam<FolderCase> {};

const std::vector<std::string> kTargets = {"TAVI.exe", "Uninstall.exe",
                                           "UserFile\\食谱范例\\正常人群\\中体力食谱[女18-岁].Qvt"};

TEST_P(InstallFolderTable, RefusesWhatCannotWork) {
    const FolderCase& c = GetParam();
    const std::string got = tavix::InstallFolderProblem(c.folder, kTargets);
    if (*c.refusal == '\0') {
        EXPECT_EQ(got, "");
    } else {
        EXPECT_EQ(got.compare(0, std::string(c.refusal).size(), c.refusal), 0) << got;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Folders, InstallFolderTable,
    ::testing::Values(
        FolderCase{"default folder", "D:\\Program Files\\Tavix280\\", ""},
        FolderCase{"without its final backslash", "D:\\Program Files\\Tavix280", ""},
        FolderCase{"lower-case drive and Chinese levels", "e:\\软件\\营养计算\\", ""},
        FolderCase{"GBK character with a backslash byte", "C:\\\x95\x5C\\Tavix", ""},  // 誠 ends in 0x5C
        FolderCase{"GBK character with a bar byte", "C:\\\x96\x7C方\\", ""},          // 東 ends in 0x7C
        FolderCase{"empty", "", "请输入或选择安装文件夹"},
        FolderCase{"relative", "Tavix280", "安装文件夹必须是以盘符开头的完整路径"},
        FolderCase{"drive relative", "C:Tavix280", "安装文件夹必须是以盘符开头的完整路径"},
        FolderCase{"drive alone", "C:", "安装文件夹必须是以盘符开头的完整路径"},
        FolderCase{"slash after the drive", "C:/Tavix280", "安装文件夹必须是以盘符开头的完整路径"},
        FolderCase{"digit for a drive", "1:\\Tavix", "安装文件夹必须是以盘符开头的完整路径"},
        FolderCase{"drive root", "D:\\", "请不要直接安装到磁盘的根目录"},
        FolderCase{"UNC path", "\\\\server\\share\\Tavix", "不能安装到网络路径"},
        FolderCase{"device path", "\\\\?\\C:\\Tavix", "不能安装到网络路径"},
        FolderCase{"forbidden character", "C:\\a|b\\", "文件夹名“a|b”含有 Windows 不允许的字符"},
        FolderCase{"quote left by a launcher", "C:\\Program Files\\Tavix280\"", "文件夹名“Tavix280\"”含有 Windows 不允许的字符"},
        FolderCase{"colon inside", "C:\\a:b\\", "文件夹名“a:b”含有 Windows 不允许的字符"},
        FolderCase{"slash inside", "C:\\a/b", "文件夹名“a/b”含有 Windows 不允许的字符"},
        FolderCase{"control character", "C:\\a\tb", "文件夹名“a\tb”含有 Windows 不允许的字符"},
        FolderCase{"device name", "C:\\CON\\", "“CON”是 Windows 保留的设备名"},
        FolderCase{"device name with extension, any case", "C:\\x\\Lpt1.txt", "“Lpt1.txt”是 Windows 保留的设备名"},
        FolderCase{"ends in a dot", "C:\\Tavix.\\", "文件夹名“Tavix.”以句点或空格结尾"},
        FolderCase{"ends in a blank", "C:\\Tavix \\", "文件夹名“Tavix ”以句点或空格结尾"},
        FolderCase{"dot level", "C:\\.\\Tavix", "安装文件夹不能含有“.”或“..”"},
        FolderCase{"parent level", "C:\\a\\..\\b", "安装文件夹不能含有“.”或“..”"},
        FolderCase{"empty level", "C:\\a\\\\b", "安装文件夹中有两个相连的反斜杠"},
        // the longest target is 35 characters
        FolderCase{"just short enough", "C:\\" + std::string(259 - 3 - 1 - 35, 'a'), ""},
        FolderCase{"one character too long", "C:\\" + std::string(259 - 3 - 1 - 35 + 1, 'a'), "安装文件夹的路径太长"}),
    tavix_test::CaseName<FolderCase>);

TEST(InstallFolder, LengthCountsCharactersNotBytes) {
    // 150 double-byte characters are 150 characters of a path, not 300.
    std::string folder = "C:\\";
    for (int i = 0; i < 150; ++i) folder += "深";
    EXPECT_EQ(tavix::InstallFolderProblem(folder, kTargets), "");
}

TEST(ControlFile, RefusesNamesThatLeadAstray) {
    const std::string good =
        "[Form]\r\nCaption=Quorvix\r\ndesKtopLink=\\Quorvix.lnk\r\n[Run]\r\nFileName=TAVI.exe\r\n";
    EXPECT_EQ(tavix::ControlFileProblem(good), "");
    struct Case {
        const char* from;
        const char* to;
        const char* message;
    };
    const Case cases[] = {
        {"Caption=Quorvix", "Caption=", "缺少 [Form] Caption"},
        {"FileName=TAVI.exe", "FileName=..\\..\\x.exe", "[Run] FileName“..\\..\\x.exe”不是一个文件名"},
        {"FileName=TAVI.exe", "FileName=bin\\TAVI.exe", "[Run] FileName“bin\\TAVI.exe”"},
        {"FileName=TAVI.exe", "FileName=C:TAVI.exe", "[Run] FileName“C:TAVI.exe”"},
        {"FileName=TAVI.exe", "FileName=", "[Run] FileName“”"},
        {"desKtopLink=\\Quorvix.lnk", "desKtopLink=Quorvix.lnk", "[Form] desKtopLink“Quorvix.lnk”"},
        {"desKtopLink=\\Quorvix.lnk", "desKtopLink=\\..\\x.lnk", "[Form] desKtopLink“\\..\\x.lnk”"},
        {"desKtopLink=\\Quorvix.lnk", "desKtopLink=\\Quorvix.exe", "[Form] desKtopLink“\\Quorvix.exe”"},
    };
    for (const Case& c : cases) {
        std::string text = good;
        text.replace(text.find(c.from), std::string(c.from).size(), c.to);
        const std::string got = tavix::ControlFileProblem(text);
        EXPECT_NE(got.find(c.message), std::string::npos) << c.to << ": " << got;
        EXPECT_EQ(got.rfind("安装程序已损坏", 0), 0u) << got;
    }
}

TEST(SetupPathOnFixedDrive, MovesTheFolderToTheSystemDriveOnlyWhenItsOwnIsNoFixedDisk) {
    // D: is a fixed disk here, E: is not (a DVD, a network drive, or none).
    std::vector<std::string> asked;
    auto fixed = [&asked](const std::string& root) {
        asked.push_back(root);
        return root == "C:\\" || root == "D:\\" || root == "d:\\";
    };
    struct Case {
        const char* what;
        const char* setupPath;
        const char* systemRoot;
        const char* folder;
    };
    const Case cases[] = {
        {"a fixed disk keeps it", "D:\\Program Files\\Tavix280", "C:\\", "D:\\Program Files\\Tavix280"},
        {"letter case of the drive kept", "d:\\Tavix280", "C:\\", "d:\\Tavix280"},
        {"another drive moves to the system drive", "E:\\Program Files\\Tavix280", "C:\\",
         "C:\\Program Files\\Tavix280"},
        {"the system drive need not be C:", "E:\\软件\\Tavix280", "F:\\", "F:\\软件\\Tavix280"},
        {"no drive: left for the folder rule", "\\Program Files\\Tavix280", "C:\\", "\\Program Files\\Tavix280"},
        {"network path: left for the folder rule", "\\\\server\\Tavix280", "C:\\", "\\\\server\\Tavix280"},
        {"empty", "", "C:\\", ""},
        {"no system drive known", "E:\\Tavix280", "", "E:\\Tavix280"},
        {"a system root that is no root", "E:\\Tavix280", "C:\\Windows", "E:\\Tavix280"},
    };
    for (const Case& c : cases) {
        asked.clear();
        EXPECT_EQ(tavix::SetupPathOnFixedDrive(c.setupPath, c.systemRoot, fixed), c.folder) << c.what;
        // Only the drive's root is asked about, never the folder itself.
        for (const std::string& root : asked) EXPECT_EQ(root.size(), 3u) << c.what << ": " << root;
    }
}

// ---- the folder offered and handed over ------------------------------------------

using tavix::HandOverFolder;
using tavix::OfferedFolder;
using tavix::PresetFolder;

TEST(Folders, Preset) {
    EXPECT_EQ(PresetFolder("D:\\Program Files\\Tavix280"), "D:\\Program Files\\Tavix280\\");
    EXPECT_EQ(PresetFolder("D:\\Program Files\\Tavix280\\"), "D:\\Program Files\\Tavix280\\\\");
    EXPECT_EQ(PresetFolder(""), "\\");
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

}  // namespace
