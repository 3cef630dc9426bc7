#include <gtest/gtest.h>

#include "ui/dpi_scale.h"

using ui::Bounds;
using ui::ScaleBoundsToDpi;
using ui::ScaleToDpi;

TEST(ScaleToDpi, RoundsToTheNearestPixelHalvesAwayFromZero) {
    struct Case { int units, dpi, pixels; };
    const Case cases[] = {
        {526, 96, 526}, {-9, 96, -9}, {0, 144, 0},        // 96 DPI keeps every position
        {526, 144, 789}, {1, 144, 2}, {3, 144, 5},        // 1.5 and 4.5 round up
        {-9, 144, -14},                                   // -13.5: away from zero
        {1, 120, 1}, {2, 120, 3}, {13, 120, 16},          // 1.25, 2.5, 16.25
        {352, 120, 440}, {14, 120, 18},                   // 17.5: up
        {12, 168, 21}, {1170, 192, 2340}, {57, 72, 43},   // 42.75: a screen below 96 DPI
    };
    for (const Case& c : cases) EXPECT_EQ(ScaleToDpi(c.units, c.dpi), c.pixels) << c.units << " at " << c.dpi;
}

TEST(ScaleBoundsToDpi, ControlsThatMeetAt96DpiMeetAtEveryDpi) {
    // The wizard's client area from the top: band, pages, separator, button
    // bar; and the grid inside its frame, one unit in from each side.
    const Bounds stack[] = {{0, 0, 526, 57}, {0, 57, 526, 247}, {0, 304, 526, 2}, {0, 306, 526, 46}};
    const Bounds frame = {18, 121, 388, 92}, grid = {19, 122, 386, 90};
    for (int dpi : {72, 96, 120, 144, 168, 192}) {
        for (std::size_t i = 0; i + 1 < std::size(stack); ++i) {
            const Bounds a = ScaleBoundsToDpi(stack[i], dpi), b = ScaleBoundsToDpi(stack[i + 1], dpi);
            EXPECT_EQ(a.y + a.height, b.y) << "band " << i << " at " << dpi;
            EXPECT_EQ(a.width, ScaleToDpi(526, dpi)) << "band " << i << " at " << dpi;
        }
        const Bounds last = ScaleBoundsToDpi(stack[3], dpi);
        EXPECT_EQ(last.y + last.height, ScaleToDpi(352, dpi)) << dpi;
        const Bounds f = ScaleBoundsToDpi(frame, dpi), g = ScaleBoundsToDpi(grid, dpi);
        EXPECT_GE(g.x, f.x) << dpi;
        EXPECT_LE(g.x + g.width, f.x + f.width) << dpi;
        EXPECT_EQ(f.x + f.width, ScaleToDpi(406, dpi)) << dpi;
    }
    // At 96 DPI nothing moves.
    for (const Bounds& b : stack) {
        const Bounds s = ScaleBoundsToDpi(b, 96);
        EXPECT_TRUE(s.x == b.x && s.y == b.y && s.width == b.width && s.height == b.height);
    }
    // Width and height follow from the scaled edges, not from the scaled size.
    const Bounds odd = ScaleBoundsToDpi({19, 122, 386, 89}, 120);
    EXPECT_EQ(odd.x, 24);            // 23.75
    EXPECT_EQ(odd.width, 506 - 24);  // right edge 405 -> 506.25; 386 alone would give 483
}
