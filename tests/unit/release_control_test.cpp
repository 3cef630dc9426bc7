// The release as a whole: encodings of the two documents, the control file's
// refusals and warnings, size, files left out, summary and version resource.
// Literals are GBK (the sources compile with -fexec-charset=GBK); messages
// are UTF-8, so expected Chinese in them is written as u8"...".
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "release_fake_folder.h"
#include "tools/host_text.h"
#include "tools/release_check.h"

using namespace tavix;
using release_test::FakeFolder;
using release_test::Joined;

namespace {

const char kGoodIni[] =
    "[***]\r\n[Form]\r\nCaption=Quorvixv2.8.2.6（标准版-m）\r\nSerial=02080206\r\n"
    "Version=2.8.2.6（标准版-m）\r\nSQXY=用户授权协议\r\ndesKtopLink=\\Quorvixv2.8.0(m).lnk\r\n\r\n"
    "[SetupDir]\r\nDrive=D:\r\nDirName=Tavix280\r\nSetupPath=D:\\Program Files\\Tavix280\r\n\r\n"
    "[Run]\r\nFileName=TAVI.exe\r\nRJSize=12\r\n";

// The same control file saved as UTF-8.
const char kGoodIniInUtf8[] =
    u8"[***]\r\n[Form]\r\nCaption=Quorvixv2.8.2.6（标准版-m）\r\nSerial=02080206\r\n"
    u8"Version=2.8.2.6（标准版-m）\r\nSQXY=用户授权协议\r\ndesKtopLink=\\Quorvixv2.8.0(m).lnk\r\n\r\n"
    u8"[SetupDir]\r\nDrive=D:\r\nDirName=Tavix280\r\nSetupPath=D:\\Program Files\\Tavix280\r\n\r\n"
    u8"[Run]\r\nFileName=TAVI.exe\r\nRJSize=12\r\n";

const char kGoodManifest[] =
    "FileExe exename TAVI.exe\r\nuninstall exename Uninstall.exe\r\nFileTxt4 txtname 用户授权协议.txt\r\n"
    "FileTxt5 txtname Setup.log\r\nFileTxt6 txtname Setup.ini\r\nCYLibDB1d DBname1 CYLib\\CYFood.dat";

// The files of kGoodManifest, with sizes.
FakeFolder GoodFolder() {
    FakeFolder f;
    f.Add("TAVI.exe", 1500000);
    f.Add("Uninstall.exe", 20000);
    f.Add("用户授权协议.txt", 2538);
    f.Add("Setup.log", 190);
    f.Add("Setup.ini", 300);
    f.Add("CYLib\\CYFood.dat", 27704320);
    return f;
}

ReleaseReport Check(const std::string& manifest, const std::string& ini, const FakeFolder& folder = GoodFolder()) {
    return CheckRelease(manifest, &ini, folder.Folder());
}

std::string Replace(std::string s, const std::string& from, const std::string& to) {
    std::size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) s.replace(at, from.size(), to);
    return s;
}

TEST(CheckRelease, AGoodReleaseHasNoProblemAndNoWarning) {
    ReleaseReport r = Check(kGoodManifest, kGoodIni);
    EXPECT_EQ(Joined(r.problems), "");
    EXPECT_EQ(Joined(r.warnings), "");
    EXPECT_EQ(r.items.size(), 6u);
    // Names and the main program compare without regard to ASCII case.
    std::string manifest = Replace(kGoodManifest, "FileExe exename TAVI.exe", "FILEEXE EXENAME tavi.EXE");
    manifest = Replace(manifest, "FileTxt6 txtname Setup.ini", "filetxt6 TxtName setup.INI");
    FakeFolder f = GoodFolder();
    f.files.erase("rel/TAVI.exe");
    f.files.erase("rel/Setup.ini");
    f.Add("tavi.EXE");
    f.Add("setup.INI");
    r = Check(manifest, kGoodIni, f);
    EXPECT_EQ(Joined(r.problems), "");
    EXPECT_EQ(Joined(r.warnings), "");
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

TEST(CheckRelease, WarnsOnceForEachFault) {
    struct Case { std::string ini; std::string manifest; const char* words; };
    const std::string ini = kGoodIni, man = kGoodManifest;
    const Case cases[] = {
        {Replace(ini, "Serial=02080206", "Serial=3000000000"), man, "does not fit a signed 32-bit integer"},
        {Replace(ini, "Serial=02080206", "Serial=2.8.2.6"), man, "is not all digits"},
        {Replace(ini, "Serial=02080206\r\n", ""), man, "[Form] Serial is empty"},
        {Replace(ini, "Serial=02080206", "Serial=123456789"), man, "more than eight digits"},
        {Replace(ini, "FileName=TAVI.exe", "FileName=Tavi3.exe"), man,
         "[Run] FileName \"Tavi3.exe\" is not a target path of the manifest"},
        {Replace(ini, "DirName=Tavix280", "DirName="), man, "[SetupDir] DirName is empty"},
        {Replace(ini, "\r\n[Run]", "\n[Run]"), man,
         "Setup.ini: 1 line end is a lone LF or CR; expected GBK text (code page 936) with CR LF line ends"},
        {ini, Replace(man, "\r\nuninstall", "\nuninstall"), "Setup.log: 1 line end is a lone LF or CR"},
        {ini, Replace(man, "FileExe exename TAVI.exe\r\n", "Main exename TAVI.exe\r\n"),
         "names no item FileExe (the main program"},
        {ini, Replace(man, "uninstall exename", "Uninst exename"), "names no item uninstall"},
        {ini, Replace(man, "FileTxt4 txtname", "Licence txtname"), "names no item FileTxt4 (the licence"},
        {ini, Replace(man, "FileTxt5 txtname", "Manifest txtname"), "names no item FileTxt5 (the manifest"},
        {ini, Replace(man, "FileTxt6 txtname", "Control txtname"), "names no item FileTxt6 (the control file"},
        {ini, Replace(man, "FileTxt6 txtname", "FileTxt6 ininame"),
         "manifest line 5: item FileTxt6 has the type \"ininame\", but the setup fetches it as \"txtname\""},
        {ini, Replace(man, "FileExe exename", "FileExe name"), "item FileExe has the type \"name\""},
        {ini, Replace(man, "FileTxt6 txtname Setup.ini", "FileTxt6 txtname Setup.log2"),
         "item FileTxt6 (the control file) is \"Setup.log2\", not \"Setup.ini\""},
    };
    for (const Case& c : cases) {
        FakeFolder f = GoodFolder();
        f.Add("Setup.log2");
        ReleaseReport r = CheckRelease(c.manifest, &c.ini, f.Folder());
        EXPECT_EQ(Joined(r.problems), "") << c.words;
        std::vector<std::string> w;
        for (const std::string& x : r.warnings)
            if (x.find("is not named by the manifest") == std::string::npos) w.push_back(x);
        ASSERT_EQ(w.size(), 1u) << c.words << "\n" << Joined(r.warnings);
        EXPECT_NE(w[0].find(c.words), std::string::npos) << w[0];
    }
}

TEST(CheckRelease, RefusesEachControlFileFault) {
    struct Case { std::string ini; std::string words; };
    const std::string ini = kGoodIni;
    const Case cases[] = {
        {Replace(ini, "Caption=Quorvixv2.8.2.6（标准版-m）\r\n", ""), "Setup.ini: [Form] Caption is missing or empty"},
        {Replace(ini, "Caption=Quorvixv2.8.2.6（标准版-m）", "Caption="), "[Form] Caption is missing or empty"},
        {Replace(ini, "FileName=TAVI.exe", "FileName=bin\\TAVI.exe"),
         "Setup.ini: [Run] FileName \"bin\\TAVI.exe\" is not a plain file name (has a folder part): the main program is "
         "written into the installation folder before any other folder exists"},
        {Replace(ini, "FileName=TAVI.exe", "FileName=C:TAVI.exe"), "is not a plain file name (holds a character"},
        {Replace(ini, "FileName=TAVI.exe", "FileName=TAVI.exe."), "is not a plain file name (ends in a dot"},
        {Replace(ini, "FileName=TAVI.exe", "FileName=.."), "is not a plain file name (is only dots"},
        {Replace(ini, "FileName=TAVI.exe", "FileName="), "[Run] FileName is missing or empty"},
        {Replace(ini, "desKtopLink=\\Quorvixv2.8.0(m).lnk", "desKtopLink=Quorvixv2.8.0(m).lnk"),
         "Setup.ini: [Form] desKtopLink \"Quorvixv2.8.0(m).lnk\" is not \"\\\" and a file name ending in \".lnk\""},
        {Replace(ini, "desKtopLink=\\Quorvixv2.8.0(m).lnk", "desKtopLink=\\Quorvix.txt"), "[Form] desKtopLink"},
        {Replace(ini, "desKtopLink=\\Quorvixv2.8.0(m).lnk", "desKtopLink=\\Links\\Quorvix.lnk"), "[Form] desKtopLink"},
        {Replace(ini, "desKtopLink=\\Quorvixv2.8.0(m).lnk\r\n", ""), "[Form] desKtopLink is missing or empty"},
        {Replace(ini, "SetupPath=D:\\Program Files\\Tavix280", "SetupPath="), "[SetupDir] SetupPath is missing or empty"},
        {Replace(ini, "SetupPath=D:\\Program Files\\Tavix280", "SetupPath=Program Files\\Tavix280"),
         "[SetupDir] SetupPath \"Program Files\\Tavix280\" is not a full folder path"},
        {Replace(ini, "SetupPath=D:\\Program Files\\Tavix280", "SetupPath=D:\\Tavix280\\"), "ends in \"\\\""},
        {Replace(ini, "SetupPath=D:\\Program Files\\Tavix280", "SetupPath=D:\\Program Files.\\Tavix280"),
         "[SetupDir] SetupPath \"D:\\Program Files.\\Tavix280\" has a level \"Program Files.\" that ends in a dot"},
        {Replace(ini, "SetupPath=D:\\Program Files\\Tavix280", "SetupPath=D:\\" + std::string(250, 'p')),
         "is 253 characters long, more than the 247 Windows allows for a folder"},
        {Replace(ini, "DirName=Tavix280", "DirName=Tavix\\280"),
         "[SetupDir] DirName \"Tavix\\280\" holds a character that Windows does not allow"},
        {Replace(ini, "DirName=Tavix280", "DirName=aux"), "[SetupDir] DirName \"aux\" is a device name"},
    };
    for (const Case& c : cases) {
        ReleaseReport r = Check(kGoodManifest, c.ini);
        ASSERT_EQ(r.problems.size(), 1u) << c.words << "\n" << Joined(r.problems);
        EXPECT_NE(r.problems[0].find(c.words), std::string::npos) << r.problems[0];
    }
}

TEST(CheckRelease, AMissingOrEmptyControlFileIsRefused) {
    FakeFolder f = GoodFolder();
    ReleaseReport r = CheckRelease(kGoodManifest, nullptr, f.Folder());
    ASSERT_EQ(r.problems.size(), 1u) << Joined(r.problems);
    EXPECT_EQ(r.problems[0], "Setup.ini: the control file is missing or empty");
    const std::string empty;
    EXPECT_EQ(Joined(CheckRelease(kGoodManifest, &empty, f.Folder()).problems),
              "Setup.ini: the control file is missing or empty\n");
}

// What the encodings of the two documents look like when they are not GBK.
TEST(TextEncodingProblem, NamesWhatWasFound) {
    const std::string utf8 = u8"[Form]\r\nCaption=Quorvix轻量版\r\n";
    struct Case { std::string text; std::string found; };
    const Case cases[] = {
        {kGoodIni, ""},
        {kGoodManifest, ""},
        {"plain ASCII\r\n", ""},
        {"", ""},
        {"\xEF\xBB\xBF[Form]\r\n", "UTF-8 text with a byte-order mark (EF BB BF)"},
        {std::string("\xFF\xFE[\0F\0", 6), "UTF-16 text (little-endian, byte-order mark FF FE)"},
        {std::string("\xFE\xFF\0[\0F", 6), "UTF-16 text (big-endian, byte-order mark FE FF)"},
        {std::string("[\0F\0o\0r\0m\0]\0", 12), "UTF-16 text without a byte-order mark (a NUL byte beside each character)"},
        {std::string("\0[\0F\0o\0r\0m\0]", 12), "UTF-16 text without a byte-order mark (a NUL byte beside each character)"},
        {std::string("A a x\r\nB b y\0\r\nC c z", 20), "a NUL byte (byte 13, line 2)"},
        {utf8, u8"UTF-8 text (line 2 has \"轻\" in UTF-8)"},
    };
    for (const Case& c : cases) EXPECT_EQ(TextEncodingProblem(c.text), c.found) << c.found;
}

TEST(CountBareLineEnds, LoneLfAndCr) {
    const std::pair<std::string, std::size_t> cases[] = {
        {"a\r\nb", 0}, {"a\r\nb\r\n", 0}, {"a\nb\r\n", 1}, {"a\rb\n", 2}, {"a\n\rb", 2}, {"", 0},
    };
    for (const auto& [text, n] : cases) EXPECT_EQ(CountBareLineEnds(text), n) << text;
}

// Each document in each wrong encoding is refused with the file, what was
// found and what is expected; nothing else is checked in it.
TEST(CheckRelease, RefusesEachDocumentInAnotherEncoding) {
    const std::string ini = kGoodIni, man = kGoodManifest;
    auto utf16 = [](const std::string& ascii) {
        std::string out("\xFF\xFE", 2);
        for (char c : ascii) out += std::string{c, '\0'};
        return out;
    };
    const std::string expected = "; expected GBK text (code page 936) with CR LF line ends";
    struct Case { std::string manifest, ini, message; };
    const Case cases[] = {
        {"\xEF\xBB\xBF" + man, ini, "Setup.log: found UTF-8 text with a byte-order mark (EF BB BF)" + expected},
        {man, "\xEF\xBB\xBF" + ini, "Setup.ini: found UTF-8 text with a byte-order mark (EF BB BF)" + expected},
        {Replace(man, "用户授权协议.txt", u8"用户授权协议.txt"), ini,
         u8"Setup.log: found UTF-8 text (line 3 has \"用\" in UTF-8)" + expected},
        {man, kGoodIniInUtf8, u8"Setup.ini: found UTF-8 text (line 3 has \"（\" in UTF-8)" + expected},
        {utf16("FileExe exename TAVI.exe"), ini,
         "Setup.log: found UTF-16 text (little-endian, byte-order mark FF FE)" + expected},
        {man, utf16("[Form]\r\nCaption=Quorvix\r\n"),
         "Setup.ini: found UTF-16 text (little-endian, byte-order mark FF FE)" + expected},
        {Replace(man, "FileTxt4", std::string("\0ileTxt4", 8)), ini, "Setup.log: found a NUL byte (byte 60, line 3)" + expected},
        {man, Replace(ini, "RJSize=12", std::string("RJSize=1\0", 9)), "Setup.ini: found a NUL byte"},
        {man, Replace(ini, "RJSize=12", "RJSize=1\xff"), "Setup.ini: found a byte that is not GBK text"},
    };
    for (const Case& c : cases) {
        ReleaseReport r = Check(c.manifest, c.ini);
        ASSERT_EQ(r.problems.size(), 1u) << c.message << "\n" << Joined(r.problems);
        EXPECT_EQ(r.problems[0].substr(0, c.message.size()), c.message);
    }
}

// The limit holds for the payload as the setup carries it, compressed; the
// release check refuses only an item too large to be counted.
TEST(CheckRelease, APayloadTooLargeToStart) {
    EXPECT_EQ(PayloadSizeProblem(kMaxPayloadBytes), "");
    EXPECT_EQ(PayloadSizeProblem(kMaxPayloadBytes + 1),
              "the payload as written into the setup is 1,610,612,737 bytes, more than the 1,610,612,736 bytes "
              "(1.5 GiB) a setup may carry: a 32-bit program's image must fit below 2 GB with the system's own "
              "code, and a larger setup does not start (error 8, not enough memory)");
    FakeFolder f = GoodFolder();
    f.Add("CYLib\\CYFood.dat", kMaxPayloadBytes * 2);
    EXPECT_EQ(Joined(Check(kGoodManifest, kGoodIni, f).problems), "");
    f.Add("CYLib\\CYFood.dat", 0x100000000ull);
    ReleaseReport r = Check(kGoodManifest, kGoodIni, f);
    ASSERT_EQ(r.problems.size(), 1u);
    EXPECT_NE(r.problems[0].find("has 4,294,967,296 bytes, more than the 4,294,967,295 bytes an item may have"),
              std::string::npos)
        << r.problems[0];
}

// Host names are shown as they are (UTF-8 on Linux), never re-read as GBK.
TEST(CheckRelease, NamesEveryFileNoLineNamesAsItIs) {
    FakeFolder f = GoodFolder();
    f.Add("CYLib\\CYFood.bak");
    f.Add(".DS_Store");
    f.Add("tavi.exe");  // release folders live on a case-sensitive file system: another file
    f.extra = {u8"rel/文档/备注.txt"};
    ReleaseReport r = Check(kGoodManifest, kGoodIni, f);
    EXPECT_EQ(Joined(r.problems), "");
    EXPECT_EQ(Joined(r.warnings), u8"the file rel/文档/备注.txt is not named by the manifest and is left out\n"
                                  "the file rel/.DS_Store is not named by the manifest and is left out\n"
                                  "the file rel/CYLib\\CYFood.bak is not named by the manifest and is left out\n"
                                  "the file rel/tavi.exe is not named by the manifest and is left out\n");
}

TEST(ReleaseSummary, CountsTotalsAndTheLargestItem) {
    ReleaseReport r = Check(kGoodManifest, kGoodIni);
    EXPECT_EQ(Joined(ReleaseSummary(r.items, kGoodIni)),
              u8"items:        6\n"
              u8"total bytes:  29,227,348\n"
              u8"largest item: CYLib\\CYFood.dat (27,704,320 bytes)\n"
              u8"caption:      Quorvixv2.8.2.6（标准版-m）\n"
              u8"serial:       02080206 (file version 2.8.2.6)\n");
    std::vector<std::string> empty = ReleaseSummary({}, "");
    EXPECT_EQ(empty[0], "items:        0");
    EXPECT_EQ(empty[2], "largest item: none");
}

TEST(GroupDigits, ThousandsSeparated) {
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "0"}, {999, "999"}, {1000, "1,000"}, {45926920, "45,926,920"}, {100000000000ull, "100,000,000,000"}};
    for (const auto& [n, text] : cases) EXPECT_EQ(GroupDigits(n), text);
}

// ---- the version resource, read back the way Windows walks it --------------

struct VersionBlock {
    std::u16string key;
    unsigned type = 0;
    std::string value;  // raw bytes
    std::vector<VersionBlock> children;
};

unsigned U16(const std::string& d, std::size_t at) {
    return static_cast<unsigned char>(d[at]) | static_cast<unsigned char>(d[at + 1]) << 8;
}
std::uint32_t U32(const std::string& d, std::size_t at) { return U16(d, at) | U16(d, at + 2) << 16; }
std::size_t Align4(std::size_t n) { return (n + 3) & ~std::size_t{3}; }

// Reads the block at `at`; fails the test when a length leaves its parent.
VersionBlock ReadBlock(const std::string& d, std::size_t at, std::size_t end) {
    VersionBlock b;
    EXPECT_LE(at + 6, end);
    if (at + 6 > end) return b;
    std::size_t length = U16(d, at), valueLength = U16(d, at + 2);
    b.type = U16(d, at + 4);
    EXPECT_LE(at + length, end) << "block at " << at;
    end = std::min(end, at + length);
    std::size_t p = at + 6;
    for (; p + 1 < end && U16(d, p) != 0; p += 2) b.key += static_cast<char16_t>(U16(d, p));
    p = Align4(p + 2);
    std::size_t valueBytes = b.type == 1 ? valueLength * 2 : valueLength;
    EXPECT_LE(p + valueBytes, end);
    b.value = d.substr(p, std::min(valueBytes, end - std::min(p, end)));
    for (p = Align4(p + valueBytes); p < end; p = Align4(p + U16(d, p))) {
        b.children.push_back(ReadBlock(d, p, end));
        if (U16(d, p) == 0) break;
    }
    return b;
}

std::u16string Text(const std::string& raw) {
    std::u16string s;
    for (std::size_t i = 0; i + 1 < raw.size(); i += 2) s += static_cast<char16_t>(U16(raw, i));
    if (!s.empty() && s.back() == u'\0') s.pop_back();
    return s;
}

struct VersionFacts {
    std::uint32_t fileMS = 0, fileLS = 0, productMS = 0, productLS = 0;
    std::map<std::u16string, std::u16string> strings;
    std::u16string table;
    std::uint32_t translation = 0;
};

VersionFacts ReadVersion(const std::string& d) {
    VersionFacts f;
    VersionBlock root = ReadBlock(d, 0, d.size());
    EXPECT_EQ(U16(d, 0), d.size());
    EXPECT_EQ(root.key, u"VS_VERSION_INFO");
    EXPECT_EQ(root.value.size(), 52u);
    if (root.value.size() == 52) {
        EXPECT_EQ(U32(root.value, 0), 0xFEEF04BDu);
        f.fileMS = U32(root.value, 8);
        f.fileLS = U32(root.value, 12);
        f.productMS = U32(root.value, 16);
        f.productLS = U32(root.value, 20);
        EXPECT_EQ(U32(root.value, 32), 0x40004u);  // Windows NT, 32-bit
        EXPECT_EQ(U32(root.value, 36), 1u);        // an application
    }
    for (const VersionBlock& c : root.children) {
        if (c.key == u"StringFileInfo" && !c.children.empty()) {
            f.table = c.children[0].key;
            for (const VersionBlock& s : c.children[0].children) f.strings[s.key] = Text(s.value);
        }
        if (c.key == u"VarFileInfo" && !c.children.empty() && c.children[0].value.size() == 4)
            f.translation = U32(c.children[0].value, 0);
    }
    return f;
}

TEST(VersionResourceData, NumbersFromTheSerialTextsFromTheControlFile) {
    VersionFacts v = ReadVersion(VersionResourceData(kGoodIni));
    EXPECT_EQ(v.fileMS, (2u << 16) | 8);
    EXPECT_EQ(v.fileLS, (2u << 16) | 6);
    EXPECT_EQ(v.productMS, v.fileMS);
    EXPECT_EQ(v.productLS, v.fileLS);
    EXPECT_EQ(v.table, u"080404b0");
    EXPECT_EQ(v.translation, 0x04B00804u);  // Chinese (PRC), UTF-16
    const std::map<std::u16string, std::u16string> want = {
        {u"CompanyName", u"Velmora"},
        {u"FileDescription", u"Quorvixv2.8.2.6（标准版-m） 安装程序"},
        {u"FileVersion", u"2.8.2.6（标准版-m）"},
        {u"InternalName", u"TavixSetup"},
        {u"OriginalFilename", u"TavixSetup.exe"},
        {u"ProductName", u"Quorvix"},
        {u"ProductVersion", u"2.8.2.6（标准版-m）"},
    };
    EXPECT_EQ(v.strings, want);

    // A five-digit serial and no version text: the dotted numbers stand in.
    std::string older = Replace(Replace(kGoodIni, "Serial=02080206", "Serial=27200"),
                                "Version=2.8.2.6（标准版-m）", "Version=");
    v = ReadVersion(VersionResourceData(older));
    EXPECT_EQ(v.fileMS, (2u << 16) | 72);
    EXPECT_EQ(v.fileLS, 0u);
    EXPECT_EQ(v.strings[u"FileVersion"], u"2.72.0.0");
}

// Every character of the caption is kept exactly, whatever a resource
// script would have to escape; odd lengths keep the blocks aligned.
TEST(VersionResourceData, KeepsEveryCharacterExactly) {
    const std::pair<std::string, std::u16string> cases[] = {
        {"say \"hi\"", u"say \"hi\" 安装程序"},
        {"a\\b", u"a\\b 安装程序"},
        {"tab\tx", u"tab\tx 安装程序"},
        {"安A", u"安A 安装程序"},
        {"x", u"x 安装程序"},
        {"xy", u"xy 安装程序"},
    };
    for (const auto& [caption, description] : cases) {
        VersionFacts v = ReadVersion(VersionResourceData(Replace(kGoodIni, "Caption=Quorvixv2.8.2.6（标准版-m）",
                                                                  "Caption=" + caption)));
        EXPECT_EQ(v.strings[u"FileDescription"], description) << caption;
        EXPECT_EQ(v.strings[u"ProductName"], u"Quorvix") << caption;
        EXPECT_EQ(v.strings.size(), 7u) << caption;
    }
}

} // namespace
