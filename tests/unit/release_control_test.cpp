// Warnings, summary and version resource of a release, from its control file
// and manifest. Literals are GBK (the sources compile with -fexec-charset=GBK).
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tools/host_text.h"
#include "tools/release_check.h"

using namespace tavix;

namespace {

const char kGoodIni[] =
    "[***]\r\n[Form]\r\nCaption=Quorvixv2.8.2.6（标准版-m）\r\nSerial=02080206\r\n"
    "Version=2.8.2.6（标准版-m）\r\n[SetupDir]\r\nDirName=Tavix280\r\n[Run]\r\nFileName=TAVI.exe\r\nRJSize=12\r\n";

const char kGoodManifest[] =
    "FileExe exename TAVI.exe\r\nuninstall exename Uninstall.exe\r\nFileTxt4 txtname 用户授权协议.txt\r\n"
    "FileTxt5 txtname Setup.log\r\nFileTxt6 txtname Setup.ini\r\nCYLibDB1d DBname1 CYLib\\CYFood.dat";

bool AnyExists(const std::string&) { return true; }
std::string RelPath(const std::string& t) { return "rel/" + t; }

std::vector<ReleaseItem> Items(const std::string& manifest) {
    ReleaseReport r = CheckManifest(manifest, AnyExists, RelPath);
    EXPECT_TRUE(r.problems.empty()) << r.problems.front();
    return r.items;
}

std::string Replace(std::string s, const std::string& from, const std::string& to) {
    std::size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) s.replace(at, from.size(), to);
    return s;
}

std::string Joined(const std::vector<std::string>& v) {
    std::string out;
    for (const std::string& s : v) out += s + "\n";
    return out;
}

TEST(SerialToVersion, TwoDigitsPerPartFromTheLeft) {
    struct Case { const char* serial; bool ok; VersionNumbers v; };
    const Case cases[] = {
        {"02080206", true, {2, 8, 2, 6}},
        {"27200", true, {2, 72, 0, 0}},
        {"123456", true, {12, 34, 56, 0}},
        {"7", true, {7, 0, 0, 0}},
        {"99999999", true, {99, 99, 99, 99}},
        {"", false, {0, 0, 0, 0}},
        {"123456789", false, {0, 0, 0, 0}},
        {"0208a206", false, {0, 0, 0, 0}},
        {"-1", false, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        VersionNumbers v{9, 9, 9, 9};
        EXPECT_EQ(SerialToVersion(c.serial, v), c.ok) << c.serial;
        EXPECT_EQ(v, c.v) << c.serial;
    }
}

TEST(SerialProblem, DigitsThatFitASigned32BitInteger) {
    struct Case { const char* serial; const char* words; };  // words: empty when fine
    const Case cases[] = {
        {"02080206", ""},
        {"27200", ""},
        {"0", ""},
        {"2147483647", ""},
        {"0002147483647", ""},
        {"2147483648", "does not fit a signed 32-bit integer"},
        {"99999999999", "does not fit a signed 32-bit integer"},
        {"", "is empty"},
        {"2.8.2.6", "is not all digits"},
        {"+123", "is not all digits"},
        {"-1", "is not all digits"},
        {"0208 0206", "is not all digits"},
    };
    for (const Case& c : cases) {
        std::string why = SerialProblem(c.serial);
        if (!*c.words) EXPECT_EQ(why, "") << c.serial;
        else EXPECT_NE(why.find(c.words), std::string::npos) << c.serial << ": " << why;
    }
}

TEST(CheckControlFile, AGoodReleaseHasNoWarning) {
    EXPECT_EQ(Joined(CheckControlFile(kGoodIni, Items(kGoodManifest))), "");
    // Names and the main program compare without regard to ASCII case.
    std::string manifest = Replace(kGoodManifest, "FileExe exename TAVI.exe", "FILEEXE EXENAME tavi.EXE");
    manifest = Replace(manifest, "FileTxt6 txtname Setup.ini", "filetxt6 TxtName setup.INI");
    EXPECT_EQ(Joined(CheckControlFile(kGoodIni, Items(manifest))), "");
}

TEST(CheckControlFile, WarnsOnceForEachFault) {
    struct Case { std::string ini; std::string manifest; const char* words; };
    const std::string ini = kGoodIni, man = kGoodManifest;
    const Case cases[] = {
        {Replace(ini, "Serial=02080206", "Serial=3000000000"), man, "does not fit a signed 32-bit integer"},
        {Replace(ini, "Serial=02080206", "Serial=2.8.2.6"), man, "is not all digits"},
        {Replace(ini, "Serial=02080206\r\n", ""), man, "[Form] Serial is empty"},
        {Replace(ini, "Serial=02080206", "Serial=123456789"), man, "more than eight digits"},
        {Replace(ini, "FileName=TAVI.exe", "FileName=Tavi3.exe"), man,
         "[Run] FileName \"Tavi3.exe\" is not a target path of the manifest"},
        {Replace(ini, "FileName=TAVI.exe", "FileName="), man, "[Run] FileName is empty"},
        {ini, Replace(man, "FileExe exename TAVI.exe\r\n", "Main exename TAVI.exe\r\n"),
         "names no item FileExe (the main program"},
        {ini, Replace(man, "uninstall exename", "Uninst exename"), "names no item uninstall"},
        {ini, Replace(man, "FileTxt4 txtname", "Licence txtname"), "names no item FileTxt4 (the licence"},
        {ini, Replace(man, "FileTxt5 txtname", "Manifest txtname"), "names no item FileTxt5 (the manifest"},
        {ini, Replace(man, "FileTxt6 txtname", "Control txtname"), "names no item FileTxt6 (the control file"},
        {ini, Replace(man, "FileTxt6 txtname", "FileTxt6 ininame"),
         "manifest line 5: item FileTxt6 has the type \"ininame\", but the setup fetches it as \"txtname\""},
        {ini, Replace(man, "FileExe exename", "FileExe name"), "item FileExe has the type \"name\""},
        {ini, Replace(man, "FileTxt6 txtname Setup.ini", "FileTxt6 txtname Setup2.ini"),
         "item FileTxt6 (the control file) is \"Setup2.ini\", not \"Setup.ini\""},
        {ini, Replace(man, "FileTxt5 txtname Setup.log", "FileTxt5 txtname Doc\\Setup.log"),
         "item FileTxt5 (the manifest) is \"Doc\\Setup.log\", not \"Setup.log\""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> w = CheckControlFile(c.ini, Items(c.manifest));
        ASSERT_EQ(w.size(), 1u) << c.words << "\n" << Joined(w);
        EXPECT_NE(w[0].find(c.words), std::string::npos) << w[0];
    }
}

TEST(CheckControlFile, AMissingControlFileSaysSo) {
    std::vector<std::string> w = CheckControlFile("", Items(kGoodManifest));
    std::string all = Joined(w);
    EXPECT_NE(all.find("Setup.ini is missing or empty"), std::string::npos) << all;
    EXPECT_NE(all.find("[Form] Serial is empty"), std::string::npos) << all;
    EXPECT_NE(all.find("[Run] FileName is empty"), std::string::npos) << all;
    EXPECT_EQ(w.size(), 3u) << all;
}

TEST(CheckUnnamedFiles, NamesEveryFileNoLineNames) {
    std::vector<ReleaseItem> items = Items(kGoodManifest);
    std::vector<std::string> files = {"rel/TAVI.exe", "rel/CYLib\\CYFood.dat", "rel/CYLib\\CYFood.bak",
                                      "rel/Setup.ini", "rel/.DS_Store", "rel/tavi.exe"};
    std::vector<std::string> w = CheckUnnamedFiles(files, items);
    ASSERT_EQ(w.size(), 3u) << Joined(w);
    EXPECT_NE(w[0].find("rel/CYLib\\CYFood.bak is not named by the manifest"), std::string::npos) << w[0];
    EXPECT_NE(w[1].find("rel/.DS_Store"), std::string::npos) << w[1];
    // Release folders live on a case-sensitive file system: another spelling is another file.
    EXPECT_NE(w[2].find("rel/tavi.exe"), std::string::npos) << w[2];
    EXPECT_TRUE(CheckUnnamedFiles({"rel/TAVI.exe", "rel/Setup.log"}, items).empty());
}

std::map<std::string, std::uint64_t> gSizes;
std::uint64_t FakeSize(const std::string& f) { return gSizes[f]; }

TEST(ReleaseSummary, CountsTotalsAndTheLargestItem) {
    gSizes = {{"rel/TAVI.exe", 1500000}, {"rel/Uninstall.exe", 20000}, {"rel/用户授权协议.txt", 2538},
              {"rel/Setup.log", 190}, {"rel/Setup.ini", 300}, {"rel/CYLib\\CYFood.dat", 27704320}};
    std::vector<std::string> lines = ReleaseSummary(Items(kGoodManifest), FakeSize, kGoodIni);
    EXPECT_EQ(Joined(lines),
              "items:        6\n"
              "total bytes:  29,227,348\n"
              "largest item: CYLib\\CYFood.dat (27,704,320 bytes)\n"
              "caption:      Quorvixv2.8.2.6（标准版-m）\n"
              "serial:       02080206 (file version 2.8.2.6)\n");
    std::vector<std::string> empty = ReleaseSummary({}, FakeSize, "");
    EXPECT_EQ(empty[0], "items:        0");
    EXPECT_EQ(empty[2], "largest item: none");
}

TEST(GroupDigits, ThousandsSeparated) {
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "0"}, {999, "999"}, {1000, "1,000"}, {45926920, "45,926,920"}, {100000000000ull, "100,000,000,000"}};
    for (const auto& [n, text] : cases) EXPECT_EQ(GroupDigits(n), text);
}

TEST(RcWideString, KeepsEveryCharacterExactly) {
    const std::pair<std::u16string, const char*> cases[] = {
        {u"Quorvix", "L\"Quorvix\""},
        {u"say \"hi\"", "L\"say \"\"hi\"\"\""},
        {u"a\\b", "L\"a\\\\b\""},
        {u"\u5b89A", "L\"\\x5b89A\""},   // an escape is exactly four digits, so "A" stays a letter
        {u"\uff08x\uff09", "L\"\\xff08x\\xff09\""},
        {u"tab\t", "L\"tab\\x0009\""},
        {u"", "L\"\""},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(RcWideString(in), out);
}

TEST(VersionResourceScript, NumbersFromTheSerialTextsFromTheControlFile) {
    std::string rc = VersionResourceScript(kGoodIni, GbkToUtf16);
    EXPECT_NE(rc.find("FILEVERSION 2,8,2,6\n"), std::string::npos) << rc;
    EXPECT_NE(rc.find("PRODUCTVERSION 2,8,2,6\n"), std::string::npos) << rc;
    EXPECT_NE(rc.find("VALUE \"CompanyName\", L\"Velmora\""), std::string::npos) << rc;
    EXPECT_NE(rc.find("VALUE \"ProductName\", L\"Quorvix\""), std::string::npos) << rc;
    // 2.8.2.6（标准版-m）
    const std::string version = "L\"2.8.2.6\\xff08\\x6807\\x51c6\\x7248-m\\xff09\"";
    EXPECT_NE(rc.find("VALUE \"FileVersion\", " + version), std::string::npos) << rc;
    EXPECT_NE(rc.find("VALUE \"ProductVersion\", " + version), std::string::npos) << rc;
    // the caption, then " 安装程序"
    EXPECT_NE(rc.find("VALUE \"FileDescription\", L\"Quorvixv2.8.2.6\\xff08\\x6807\\x51c6\\x7248-m\\xff09 "
                      "\\x5b89\\x88c5\\x7a0b\\x5e8f\""),
              std::string::npos)
        << rc;
    EXPECT_NE(rc.find("BLOCK \"080404b0\""), std::string::npos);
    EXPECT_NE(rc.find("VALUE \"Translation\", 0x804, 1200"), std::string::npos);

    // A five-digit serial and no version text: the dotted numbers stand in.
    std::string older = Replace(Replace(kGoodIni, "Serial=02080206", "Serial=27200"),
                                "Version=2.8.2.6（标准版-m）", "Version=");
    rc = VersionResourceScript(older, GbkToUtf16);
    EXPECT_NE(rc.find("FILEVERSION 2,72,0,0\n"), std::string::npos) << rc;
    EXPECT_NE(rc.find("VALUE \"FileVersion\", L\"2.72.0.0\""), std::string::npos) << rc;
}

} // namespace
