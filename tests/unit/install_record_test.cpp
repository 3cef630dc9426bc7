#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/install_record.h"
#include "common/integration.h"

using namespace tavix;

namespace {

InstallRecord Sample() {
    InstallRecord r;
    r.programs = {"TAVI.exe"};
    r.desktopLinks = {"\\Quorvixv2.8.0(m).lnk"};
    r.groups = {{true, "Quorvixv2.8.2.6（标准版-m）"}};
    r.files = {{"TAVI.exe", 0x0a1b2c3d, 1486848, true, {0x01dc6a1f2b3c4d5eull, 0x01dc6a1f2b3c4d5full}},
               {"UserFile\\食谱范例\\正常人群\\中体力食谱[女18-岁].Qvt", 0xffffffff, 0},
               {"Path With Blanks\\a b.txt", 0, 12, true, {0, ~0ull}}};
    return r;
}

}  // namespace

TEST(InstallRecord, WrittenThenReadGivesTheSameRecord) {
    const std::string text = FormatInstallRecord(Sample());
    EXPECT_EQ(text.substr(0, 24), "Tavix install record 2\r\n");
    EXPECT_NE(text.find("file 0a1b2c3d 1486848 01dc6a1f2b3c4d5e.01dc6a1f2b3c4d5f TAVI.exe\r\n"), std::string::npos);
    EXPECT_NE(text.find("file ffffffff 0 - UserFile\\"), std::string::npos);
    EXPECT_NE(text.find("group progman Quorvixv2.8.2.6（标准版-m）\r\n"), std::string::npos);
    const RecordReading r = ReadInstallRecord(text);
    ASSERT_FALSE(r.damaged) << r.damage;
    EXPECT_TRUE(r.refused.empty());
    EXPECT_EQ(r.record.programs, Sample().programs);
    EXPECT_EQ(r.record.desktopLinks, Sample().desktopLinks);
    ASSERT_EQ(r.record.groups.size(), 1u);
    EXPECT_TRUE(r.record.groups[0].byProgramManager);
    ASSERT_EQ(r.record.files.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(r.record.files[i].path, Sample().files[i].path);
        EXPECT_EQ(r.record.files[i].crc32, Sample().files[i].crc32);
        EXPECT_EQ(r.record.files[i].size, Sample().files[i].size);
        EXPECT_EQ(r.record.files[i].seen, Sample().files[i].seen);
        EXPECT_TRUE(r.record.files[i].times == Sample().files[i].times) << i;
    }
    // Lone LF line ends and a last line without one read the same.
    std::string lf = text;
    for (std::size_t p; (p = lf.find("\r\n")) != std::string::npos;) lf.erase(p, 1);
    lf.pop_back();
    EXPECT_EQ(ReadInstallRecord(lf).record.files.size(), 3u);
}

TEST(InstallRecord, ARecordOfTheFirstVersionIsReadWithNothingSeen) {
    const RecordReading r = ReadInstallRecord(
        "Tavix install record 1\r\nprogram TAVI.exe\r\nfile 0a1b2c3d 1486848 TAVI.exe\r\n"
        "file 00000001 1 0123456789abcdef.0123456789abcdef x.txt\r\n");
    ASSERT_FALSE(r.damaged) << r.damage;
    ASSERT_EQ(r.record.files.size(), 2u);
    EXPECT_EQ(r.record.files[0].path, "TAVI.exe");
    EXPECT_FALSE(r.record.files[0].seen);
    // The first version has no such field: it is part of the path.
    EXPECT_EQ(r.record.files[1].path, "0123456789abcdef.0123456789abcdef x.txt");
    EXPECT_FALSE(r.record.files[1].seen);
    // Written again, it is a record of the second version.
    EXPECT_EQ(FormatInstallRecord(r.record).substr(0, 22), "Tavix install record 2");
}

TEST(InstallRecord, PathsOutsideTheFolderAreRefusedAndNamedTheRestIsRead) {
    struct Case { const char* line; const char* why; };
    const Case cases[] = {
        {"file 00000001 1 ..\\..\\Windows\\win.ini", "“..”"},
        {"file 00000001 1 CYLib\\..\\..\\x.dat", "“..”"},
        {"file 00000001 1 .\\x.dat", "“.”"},
        {"file 00000001 1 C:\\Windows\\win.ini", "驱动器"},
        {"file 00000001 1 C:x.dat", "驱动器"},
        {"file 00000001 1 \\\\server\\share\\x.dat", "网络路径"},
        {"file 00000001 1 \\Windows\\win.ini", "“\\”开头"},
        {"file 00000001 1 CYLib\\aux.txt", "设备名“aux.txt”"},
        {"file 00000001 1 CON", "设备名"},
        {"file 00000001 1 a/b.txt", "不允许的字符"},
        {"file 00000001 1 x.dat.", "以“.”结尾"},
        {"file 00000001 1 a\\\\b", "空的一级"},
        {"program ..\\cmd.exe", "不是一个文件名"},
        {"desktop \\..\\..\\x.lnk", "以 .lnk 结尾"},
        {"desktop C:\\x.lnk", "以 .lnk 结尾"},
        {"group links ..", "不是一个文件名"},
    };
    for (const Case& c : cases) {
        const std::string text = std::string("Tavix install record 1\r\nfile 00000002 2 ok.txt\r\n") + c.line +
                                 "\r\nfile 00000003 3 after.txt\r\n";
        const RecordReading r = ReadInstallRecord(text);
        ASSERT_FALSE(r.damaged) << c.line << ": " << r.damage;
        ASSERT_EQ(r.refused.size(), 1u) << c.line;
        EXPECT_EQ(r.refused[0].line, 3u) << c.line;
        EXPECT_EQ(r.refused[0].text, c.line);
        EXPECT_NE(r.refused[0].why.find(c.why), std::string::npos) << c.line << ": " << r.refused[0].why;
        ASSERT_EQ(r.record.files.size(), 2u) << c.line;
        EXPECT_EQ(r.record.files[1].path, "after.txt");
        EXPECT_TRUE(r.record.programs.empty() && r.record.desktopLinks.empty() && r.record.groups.empty());
    }
}

TEST(InstallRecord, ADamagedRecordNamesItsLineAndGivesNothing) {
    struct Case { const char* text; const char* names; };
    const Case cases[] = {
        {"", "第 1 行"},
        {"Tavix install record 3\r\nfile 00000001 1 - a.txt", "第 1 行"},
        {"Tavix install record 2\r\nfile 00000001 1 a.txt", "第 2 行"},   // nothing said of what was seen
        {"Tavix install record 2\r\nfile 00000001 1 - ", "第 2 行"},
        {"Tavix install record 2\r\nfile 00000001 1 01dc6a1f2b3c4d5e a.txt", "第 2 行"},
        {"Tavix install record 2\r\nfile 00000001 1 01DC6A1F2B3C4D5E.01dc6a1f2b3c4d5f a.txt", "第 2 行"},
        {"Tavix install record 2\r\nfile 00000001 1 01dc6a1f2b3c4d5e.01dc6a1f2b3c4d5 a.txt", "第 2 行"},
        {"Tavix install record 2\r\nfile 00000001 1 01dc6a1f2b3c4d5e,01dc6a1f2b3c4d5f a.txt", "第 2 行"},
        {"\xEF\xBB\xBFTavix install record 1\r\nfile 00000001 1 a.txt", "第 1 行"},
        {"Tavix install record 1\r\nfile 0000001 1 a.txt", "第 2 行"},       // seven hex digits
        {"Tavix install record 1\r\nfile 0000000G 1 a.txt", "第 2 行"},
        {"Tavix install record 1\r\nfile 00000001 -1 a.txt", "第 2 行"},
        {"Tavix install record 1\r\nfile 00000001 1", "第 2 行"},              // no path
        {"Tavix install record 1\r\nfile 00000001  a.txt", "第 2 行"},
        {"Tavix install record 1\r\nfile a.txt\r\nprogram TAVI.exe", "第 2 行"},
        {"Tavix install record 1\r\nprogram TAVI.exe\r\n\r\nfile 00000001 1 a.txt", "第 3 行"},
        {"Tavix install record 1\r\ngroup start Quorvix", "第 2 行"},
        {"Tavix install record 1\r\ndelete C:\\Windows", "第 2 行"},
    };
    for (const Case& c : cases) {
        const RecordReading r = ReadInstallRecord(c.text);
        EXPECT_TRUE(r.damaged) << c.text;
        EXPECT_NE(r.damage.find(c.names), std::string::npos) << c.text << ": " << r.damage;
    }
}

TEST(InstallRecord, AnInstallationOverAnEarlierOneCoversBoth) {
    InstallRecord earlier;
    earlier.programs = {"TAVI.exe"};
    earlier.desktopLinks = {"\\Quorvixv2.8.0(m).lnk"};
    earlier.groups = {{true, "Quorvixv2.8.2.6"}};
    earlier.files = {{"TAVI.exe", 1, 10}, {"Old.txt", 2, 20}, {"cylib\\a.dat", 3, 30}};
    InstallRecord now;
    now.programs = {"tavi.EXE"};
    now.desktopLinks = {"\\Quorvixv2.8.3.lnk"};
    now.groups = {{false, "Quorvixv2.8.2.6"}, {true, "Quorvixv2.8.3.0"}};
    now.files = {{"TAVI.exe", 4, 40}, {"CYLib\\A.dat", 5, 50}, {"New.txt", 6, 60}};

    const InstallRecord done = MergeInstallRecords(earlier, now, false);
    EXPECT_EQ(done.programs, std::vector<std::string>{"TAVI.exe"});  // letter case ignored
    EXPECT_EQ(done.desktopLinks.size(), 2u);
    EXPECT_EQ(done.groups.size(), 3u);
    std::vector<std::string> files;
    for (const RecordedFile& f : done.files) files.push_back(f.path + "=" + std::to_string(f.crc32));
    EXPECT_EQ(files, (std::vector<std::string>{"Old.txt=2", "TAVI.exe=4", "CYLib\\A.dat=5", "New.txt=6"}));
    EXPECT_EQ(RecordedBytes(done), 20u + 40 + 50 + 60);

    // While the files are still being written both checksums count.
    const InstallRecord planned = MergeInstallRecords(earlier, now, true);
    EXPECT_EQ(planned.files.size(), 6u);
    EXPECT_EQ(RecordedBytes(planned), 20u + 40 + 50 + 60);
    // Merging again adds nothing.
    EXPECT_EQ(MergeInstallRecords(planned, now, true).files.size(), 6u);
    EXPECT_EQ(MergeInstallRecords(planned, now, false).files.size(), 4u);
}

TEST(InstallRecord, EachLineKeepsWhatWasSeenOfItsFile) {
    const FileTimes old = {1, 2}, later = {3, 4};
    InstallRecord earlier;
    earlier.files = {{"TAVI.exe", 1, 10, true, old}, {"Old.txt", 2, 20, true, old}};
    InstallRecord planned;  // the same release again, nothing written yet
    planned.files = {{"TAVI.exe", 1, 10}, {"Old.txt", 2, 20}};
    // Until a file is written anew, what was seen of it then still holds.
    const InstallRecord before = MergeInstallRecords(earlier, planned, true);
    ASSERT_EQ(before.files.size(), 2u);
    EXPECT_TRUE(before.files[0].seen && before.files[0].times == old);
    // Written: the same bytes, seen anew.
    InstallRecord written = planned;
    written.files[0].seen = true;
    written.files[0].times = later;
    for (bool keepEarlier : {true, false}) {
        const InstallRecord after = MergeInstallRecords(earlier, written, keepEarlier);
        ASSERT_EQ(after.files.size(), 2u);
        EXPECT_TRUE(after.files[0].seen && after.files[0].times == later) << keepEarlier;
        EXPECT_EQ(after.files[1].seen, keepEarlier) << "Old.txt: the planned line has nothing seen";
    }
}

TEST(UninstallEntryAdditions, WhatTheListOfInstalledProgramsShows) {
    const std::vector<RegValue> v =
        UninstallEntryAdditions("D:\\Program Files\\Tavix280\\", "TAVI.exe", 45926408, "20260314");
    struct Want { const char* name; RegKind kind; std::string value; std::uint32_t number; };
    const Want want[] = {
        {"DisplayIcon", RegKind::String, "D:\\Program Files\\Tavix280\\TAVI.exe,0", 0},
        {"InstallLocation", RegKind::String, "D:\\Program Files\\Tavix280\\", 0},
        {"EstimatedSize", RegKind::Dword, "", 44851},  // 45,926,408 bytes = 44,850.008 KB, rounded up
        {"InstallDate", RegKind::String, "20260314", 0},
        {"NoModify", RegKind::Dword, "", 1},
        {"NoRepair", RegKind::Dword, "", 1},
        {"QuietUninstallString", RegKind::String, "\"D:\\Program Files\\Tavix280\\Uninstall.exe\" /S", 0},
    };
    ASSERT_EQ(v.size(), std::size(want));
    for (std::size_t i = 0; i < v.size(); ++i) {
        EXPECT_EQ(v[i].root, RegRoot::CurrentUser);
        EXPECT_EQ(v[i].key, kUninstallKey);
        EXPECT_EQ(v[i].name, want[i].name);
        EXPECT_EQ(v[i].kind, want[i].kind) << want[i].name;
        EXPECT_EQ(v[i].value, want[i].value) << want[i].name;
        EXPECT_EQ(v[i].number, want[i].number) << want[i].name;
    }
    EXPECT_EQ(EstimatedSizeKb(0), 0u);
    EXPECT_EQ(EstimatedSizeKb(1), 1u);
    EXPECT_EQ(EstimatedSizeKb(1024), 1u);
    EXPECT_EQ(EstimatedSizeKb(1025), 2u);
    EXPECT_EQ(EstimatedSizeKb(~0ull), 0xFFFFFFFFu);
    EXPECT_EQ(InstallDateText(2026, 3, 4), "20260304");
}
