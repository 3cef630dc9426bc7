#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setupdata/checksums.h"

using namespace tavix;

namespace {

bool Same(const ItemChecksum& a, const ItemChecksum& b) {
    return a.name == b.name && a.type == b.type && a.crc32 == b.crc32 && a.size == b.size;
}

TEST(FormatChecksumTable, OneLinePerItemUpperCaseHexAndDecimal) {
    std::vector<ItemChecksum> items = {
        {"FileExe", "exename", 0x0a1b2c3d, 1486848},
        {"SdbFileDB8a", "DBname8", 0, 0},
        {"X", "T", 0xFFFFFFFFu, 0xFFFFFFFFu},
    };
    EXPECT_EQ(FormatChecksumTable(items),
              "FILEEXE EXENAME 0a1b2c3d 1486848\r\n"
              "SDBFILEDB8A DBNAME8 00000000 0\r\n"
              "X T ffffffff 4294967295\r\n");
    EXPECT_EQ(FormatChecksumTable({}), "");
}

TEST(ParseChecksumTable, ReadsBackWhatWasWritten) {
    std::vector<ItemChecksum> items = {
        {"FILEEXE", "EXENAME", 0x0a1b2c3d, 1486848},
        {"__LINE__", "RCDATA", 0xCBF43926, 9},
        {"B", "T", 0, 0},
        {"X", "T", 0xFFFFFFFFu, 0xFFFFFFFFu},
    };
    ChecksumTable t = ParseChecksumTable(FormatChecksumTable(items));
    EXPECT_EQ(t.damagedLines, 0u);
    ASSERT_EQ(t.items.size(), items.size());
    for (std::size_t i = 0; i < items.size(); ++i) EXPECT_TRUE(Same(t.items[i], items[i])) << i;
}

TEST(ParseChecksumTable, KeepsTheWellFormedLinesOfADamagedTable) {
    const std::string good = "GOOD T 0000000a 10";
    struct Case { std::string bad; std::size_t damaged; };
    const Case cases[] = {
        {"", 1},                                 // an empty line
        {"A T 0000000a", 1},                     // no size
        {"A T 0000000a 10 extra", 1},            // a fifth field
        {"A T 0000000a 10 ", 1},                 // a blank after the size
        {"A  T 0000000a 10", 1},                 // two blanks
        {"A T 000000a 10", 1},                   // seven digits
        {"A T 00000000a 10", 1},                 // nine
        {"A T 0000000g 10", 1},
        {"A T 0000000a -1", 1},
        {"A T 0000000a 4294967296", 1},          // more than 32 bits
        {"A T 0000000a 99999999999", 1},
        {"A T 0000000a 1x", 1},
        {"A\tT 0000000a 10", 1},
        {std::string("A T 0000\0" "00a 10", 15), 1},  // a NUL in the checksum
        {"A \xc3\xa9 0000000a 10", 1},
        {"A", 1},
        {" ", 1},
        {"\r", 1},
    };
    for (const Case& c : cases) {
        ChecksumTable t = ParseChecksumTable(good + "\r\n" + c.bad + "\r\n" + good);
        EXPECT_EQ(t.damagedLines, c.damaged) << c.bad;
        ASSERT_EQ(t.items.size(), 2u) << c.bad;
        EXPECT_EQ(t.items[1].size, 10u);
    }
}

TEST(ParseChecksumTable, LineEndsAndUpperCaseHex) {
    ChecksumTable t = ParseChecksumTable("a t 0000000A 1\nB T 0000000b 2\r\nC T 0000000c 3");
    EXPECT_EQ(t.damagedLines, 0u);
    ASSERT_EQ(t.items.size(), 3u);
    EXPECT_EQ(t.items[0].name, "A");
    EXPECT_EQ(t.items[0].type, "T");
    EXPECT_EQ(t.items[0].crc32, 10u);
    EXPECT_EQ(t.items[2].size, 3u);
}

// A table cut at any byte never breaks the reader, and the lines before the
// cut read back unchanged.
TEST(ParseChecksumTable, ATableCutAnywhere) {
    std::vector<ItemChecksum> items = {{"ONE", "T1", 0x11111111, 111}, {"TWO", "T2", 0x22222222, 2222},
                                       {"THREE", "T3", 0x33333333, 33333}};
    const std::string text = FormatChecksumTable(items);
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        ChecksumTable t = ParseChecksumTable(text.substr(0, cut));
        std::size_t whole = 0;
        for (std::size_t at = text.find("\r\n"); at != std::string::npos && at + 2 <= cut;
             at = text.find("\r\n", at + 2))
            ++whole;
        ASSERT_GE(t.items.size(), whole) << cut;
        for (std::size_t i = 0; i < whole; ++i) EXPECT_TRUE(Same(t.items[i], items[i])) << cut;
        EXPECT_LE(t.items.size() + t.damagedLines, whole + 1) << cut;
    }
}

TEST(ChecksumTableFind, TypeAndNameIgnoringCase) {
    ChecksumTable t = ParseChecksumTable("FILEEXE EXENAME 00000001 1\r\nFILEEXE OTHER 00000002 2\r\n"
                                         "FILEEXE EXENAME 00000003 3\r\n");
    ASSERT_NE(t.Find("exename", "FileExe"), nullptr);
    EXPECT_EQ(t.Find("exename", "FileExe")->crc32, 1u);  // the first of two
    ASSERT_NE(t.Find("Other", "fileexe"), nullptr);
    EXPECT_EQ(t.Find("Other", "fileexe")->crc32, 2u);
    EXPECT_EQ(t.Find("txtname", "FileExe"), nullptr);
    EXPECT_EQ(t.Find("exename", "FileEx"), nullptr);
    EXPECT_EQ(ParseChecksumTable("").Find("A", "B"), nullptr);
}

} // namespace

namespace {

// An item in a compressed block carries the block's ID and its offset there.
TEST(ChecksumTable, ThePlaceOfAnItemInABlock) {
    std::vector<ItemChecksum> items = {{"A", "T", 0x0a, 10, 0, 0},
                                       {"B", "T", 0x0b, 11, 7002, 0},
                                       {"C", "T", 0x0c, 12, 7002, 11},
                                       {"D", "T", 0x0d, 13, 0x7FFF, 123456789012ull}};
    const std::string text = FormatChecksumTable(items);
    EXPECT_EQ(text, "A T 0000000a 10\r\nB T 0000000b 11 7002 0\r\nC T 0000000c 12 7002 11\r\n"
                    "D T 0000000d 13 32767 123456789012\r\n");
    ChecksumTable t = ParseChecksumTable(text);
    ASSERT_EQ(t.items.size(), 4u);
    EXPECT_EQ(t.damagedLines, 0u);
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_TRUE(Same(t.items[i], items[i])) << i;
        EXPECT_EQ(t.items[i].block, items[i].block) << i;
        EXPECT_EQ(t.items[i].offset, items[i].offset) << i;
    }
    for (const char* bad : {"A T 0000000a 10 7001 0", "A T 0000000a 10 32768 0", "A T 0000000a 10 7002",
                            "A T 0000000a 10 7002 ", "A T 0000000a 10 7002 1 9", "A T 0000000a 10 7002 -1",
                            "A T 0000000a 10 x7002 1", "A T 0000000a 10 7002 12345678901234567890"}) {
        ChecksumTable d = ParseChecksumTable(bad);
        EXPECT_EQ(d.items.size(), 0u) << bad;
        EXPECT_EQ(d.damagedLines, 1u) << bad;
    }
}

} // namespace
