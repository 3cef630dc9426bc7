#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "setupdata/ini.h"
#include "test_names.h"

using tavix::IniLookup;

namespace {

struct IniCase {
    const char* what;
    std::string text;
    const char* section;
    const char* key;
    std::string expected;
};
void PrintTo(const IniCase& c, std::ostream* os) { *os << c.what; }


class IniLookupTable : public ::testing::TestWithParam<IniCase> {};

TEST_P(IniLookupTable, FindsTheValue) {
    const IniCase& c = GetParam();
    EXPECT_EQ(IniLookup(c.text, c.section, c.key), c.expected) << c.what;
}

const std::string kShippedHead =
    "[***]\r\n[Form]\r\nCaption=Quorvixv2.8.2.6（标准版-m）\r\nSerial=02080206\r\n"
    "desKtopLink=\\Quorvixv2.8.0(m).lnk\r\n[SetupDir]\r\nDrive=D:\r\nSetupPath=D:\\Program Files\\Tavix280\r\n"
    "[Run]\r\nFileName=TAVI.exe\r\nRJSize=12\r\n\r\n-以前的备份：--------------------\r\n"
    "Ren [Form]\r\nRen Serial=27200\r\n\r\nRen FileName=TAVI.exe\r\nRen RJSize=15\r\n\r\n\r\n";

INSTANTIATE_TEST_SUITE_P(
    Documents, IniLookupTable,
    ::testing::Values(
        IniCase{"current value, not the Ren block", kShippedHead, "Run", "RJSize", "12"},
        IniCase{"Ren keys are keys of their own", kShippedHead, "Run", "Ren RJSize", "15"},
        IniCase{"inner blank kept", kShippedHead, "SetupDir", "SetupPath", "D:\\Program Files\\Tavix280"},
        IniCase{"names ignore ASCII case", kShippedHead, "form", "DESKTOPLINK", "\\Quorvixv2.8.0(m).lnk"},
        IniCase{"GBK value unconverted", kShippedHead, "FORM", "caption", "Quorvixv2.8.2.6（标准版-m）"},
        IniCase{"empty section holds nothing", kShippedHead, "***", "Caption", ""},
        IniCase{"missing key", kShippedHead, "Form", "Version", ""},
        IniCase{"missing section", kShippedHead, "Option", "Reset", ""},
        IniCase{"blanks around names and values", "[A]\r\n  k \t=\t v  w \r\n", " A ", "k ", "v  w"},
        IniCase{"first of duplicate keys", "[A]\r\nk=1\r\nk=2\r\n", "A", "K", "1"},
        IniCase{"only the first section of a name", "[A]\r\nx=1\r\n[B]\r\n[a]\r\nk=2\r\n", "A", "k", ""},
        IniCase{"first = splits", "[A]\r\nk=a=b\r\n", "A", "k", "a=b"},
        IniCase{"line without = hides a later key", "[A]\r\nk\r\nk=1\r\n", "A", "k", ""},
        IniCase{"LF only", "[A]\nk=1\nj=2", "A", "j", "2"},
        IniCase{"CR only", "[A]\rk=1\rj=2\r", "A", "j", "2"},
        IniCase{"blanks inside brackets", "[ A ]\r\nk=1\r\n", "A", "k", "1"},
        IniCase{"quotes around a value removed", "[A]\r\nk=\"x y\"\r\nj='z'\r\nq=\"w\r\n", "A", "k", "x y"},
        IniCase{"unmatched quote kept", "[A]\r\nq=\"w\r\n", "A", "q", "\"w"},
        IniCase{"section header with a GBK ] trail byte",
                std::string("[\x81]x]\r\nk=1\r\n"), "\x81]x", "k", "1"},
        IniCase{"key before any section is unreachable", "k=1\r\n[A]\r\n", "A", "k", ""}),
    tavix_test::CaseName<IniCase>);

TEST(IniLookup, CutsLongValuesTo2047Bytes) {
    for (std::size_t n : {2046u, 2047u, 2048u, 5000u}) {
        std::string value(n, 'v');
        std::string got = IniLookup("[A]\r\nk=" + value + "\r\n", "A", "k");
        EXPECT_EQ(got, value.substr(0, 2047)) << n;
    }
}

TEST(IniLookup, CutsBetweenDoubleByteCharacters) {
    std::string value;
    for (int i = 0; i < 1100; ++i) value += "汉";  // 2200 bytes
    std::string got = IniLookup("[A]\r\nk=" + value + "\r\n", "A", "k");
    EXPECT_EQ(got, value.substr(0, 2046));
}

TEST(ReadIniFile, ReadsTheFileAfreshAndIsEmptyWithoutOne) {
    std::string path = ::testing::TempDir() + "ini_test.ini";
    std::remove(path.c_str());
    EXPECT_EQ(tavix::ReadIniFile(path, "Run", "FileName"), "");
    for (const char* v : {"TAVI.exe", "Other.exe"}) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fprintf(f, "[Run]\r\nFileName=%s\r\n", v);
        std::fclose(f);
        EXPECT_EQ(tavix::ReadIniFile(path, "Run", "FileName"), v);
    }
    std::remove(path.c_str());
}

} // namespace
