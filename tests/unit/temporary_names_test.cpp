#include <gtest/gtest.h>

#include "setupdata/temporary_names.h"

using tavix::IsTemporaryItemName;
using tavix::TemporaryItemName;

TEST(TemporaryItemName, SixteenHexDigitsOfTheRandomBitsThatTheRuleKnowsAgain) {
    EXPECT_EQ(TemporaryItemName(0), "~tx0000000000000000.tmp");
    EXPECT_EQ(TemporaryItemName(0x0123456789ABCDEFull), "~tx0123456789ABCDEF.tmp");
    EXPECT_EQ(TemporaryItemName(~0ull), "~txFFFFFFFFFFFFFFFF.tmp");
    for (std::uint64_t bits : {0ull, 0x8000000000000001ull, 0xDEADBEEFull})
        EXPECT_TRUE(IsTemporaryItemName(TemporaryItemName(bits))) << bits;
}

TEST(IsTemporaryItemName, OnlyTheNamesTheSetupWritesOrWrote) {
    struct Case { const char* name; bool temporary; };
    const Case cases[] = {
        {"~tx1A2B.tmp", true},                // an earlier release's four digits
        {"~TX1a2b.TMP", true},                // letter case ignored
        {"~tx0123456789ABCDEF.tmp", true},
        {"~tx123.tmp", false},                // too few digits
        {"~tx0123456789ABCDEF0.tmp", false},  // too many
        {"~tx12G4.tmp", false},               // not hex
        {"~tx1234.tmp.bak", false},
        {"~tx1234.tm", false},
        {"tx1234.tmp", false},
        {"~tx.tmp", false},
        {"~tx12 4.tmp", false},
        {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsTemporaryItemName(c.name), c.temporary) << c.name;
}
