#include <gtest/gtest.h>

#include <string>

#include "startup/gradient.h"
#include "common/product.h"

using namespace tavix;

TEST(GradientBands, ThreeRowBandsOn768Rows) {
    auto bands = GradientBands(768);
    ASSERT_EQ(bands.size(), 256u);
    for (int k = 0; k < 256; ++k) {
        EXPECT_EQ(bands[k].top, 3 * k);
        EXPECT_EQ(bands[k].bottom, 3 * k + 3);
        EXPECT_EQ(bands[k].blue, 255 - k);
    }
}

TEST(GradientBands, OneRowBandsOn256Rows) {
    auto bands = GradientBands(256);
    for (int k = 0; k < 256; ++k) {
        EXPECT_EQ(bands[k].top, k);
        EXPECT_EQ(bands[k].bottom, k + 1);
    }
}

TEST(GradientBands, HalvesGoToTheEvenRowOn100Rows) {
    auto bands = GradientBands(100);
    // Y is 12.5 at band 32: band 31 ends at row 12 and is empty, band 32 is row 12 alone.
    EXPECT_EQ(bands[31].top, 12);
    EXPECT_EQ(bands[31].bottom, 12);
    EXPECT_EQ(bands[32].top, 12);
    EXPECT_EQ(bands[32].bottom, 13);
    EXPECT_EQ(bands[255].top, 100);  // rows up to 99 are covered already
    EXPECT_EQ(bands[255].bottom, 100);
    // Bands never overlap or leave a gap, and they end at the last row.
    for (int k = 1; k < 256; ++k) EXPECT_EQ(bands[k].top, bands[k - 1].bottom) << k;
    EXPECT_EQ(bands[254].bottom, 100);
}

TEST(ProductExeName, OnlyTheFourShippedSpellings) {
    struct Case { const char* exe; bool product; };
    const Case cases[] = {
        {"TAVI.EXE", true},        {"TAVI.exe", true},
        {"tavi.EXE", true},        {"tavi.exe", true},
        {"Tavi.exe", false},       {"TAVI.Exe", false},
        {"C:\\Q\\tavi.exe", true}, {"D:tavi.exe", true},
        {"TAVI.exe.bak", false},   {"XTAVI.exe", false},
        {"", false},               {"C:\\TAVI.exe\\other.exe", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsProductExeName(c.exe), c.product) << c.exe;
}

TEST(ProductTexts, QuestionUsesBareCarriageReturns) {
    std::string q = ProductRunningQuestion();
    EXPECT_EQ(q, "Quorvix正在运行中，只有结束其\r运行后，才能进行软件更新。\r\r要结束正在运行的Quorvix吗?");
    EXPECT_EQ(q.find('\n'), std::string::npos);
}

TEST(ProductTexts, TheBackdropNamesTheReleaseItCarries) {
    struct Case { const char* caption; const char* title; };
    const Case cases[] = {
        {"Quorvixv2.8.2.6（标准版-m）", "  Quorvixv2.8.2.6（标准版）安装程序 "},  // the sample release, as it always read
        {"Quorvixv2.8.3.0（标准版-m）", "  Quorvixv2.8.3.0（标准版）安装程序 "},
        {"Quorvix轻量版v3.1.0.2（试用版）", "  Quorvix轻量版v3.1.0.2（试用版）安装程序 "},
        {"Quorvix v3（2024-2025版）", "  Quorvix v3（2024-2025版）安装程序 "},  // no build mark
        {"Quorvix-m（标准版）", "  Quorvix-m（标准版）安装程序 "},
        {"Quorvix v3 (beta-2)", "  Quorvix v3 (beta-2)安装程序 "},
        {"", "  Quorvix安装程序 "},
    };
    for (const Case& c : cases) EXPECT_EQ(BackdropTitle(c.caption), c.title) << c.caption;
}
