#include <gtest/gtest.h>

#include "app/layout.h"

TEST(Layout, ScalesWithTheMonitorsDpi)
{
    struct Case {
        int value;
        UINT dpi;
        int scaled;
    };
    const Case cases[] = {
        {357, 96, 357}, {357, 144, 536}, {408, 144, 612}, {297, 144, 446},
        {-12, 144, -18}, {-16, 120, -20}, {10, 192, 20}, {27, 168, 47},
    };
    for (const Case& c : cases) EXPECT_EQ(ScaleToDpi(c.value, c.dpi), c.scaled) << c.value << " at " << c.dpi;

    const Bounds box = ScaleToDpi(Bounds{10, 20, 30, 40}, 144);
    EXPECT_EQ(box.left, 15);
    EXPECT_EQ(box.top, 30);
    EXPECT_EQ(box.width, 45);
    EXPECT_EQ(box.height, 60);
}

TEST(Layout, LogoFitsItsBoxKeepingItsProportions)
{
    struct Case {
        Bounds box;
        int width, height;
        Bounds expected;
    };
    const Case cases[] = {
        // 3 px in from the left edge, flush with the top, as drawn at 96 dpi.
        {{27, 27, 304, 297}, 512, 512, {30, 27, 297, 297}},
        {{41, 41, 456, 446}, 512, 512, {46, 41, 446, 446}}, // 144 dpi
        {{0, 0, 100, 100}, 200, 100, {0, 25, 100, 50}},      // wide picture: centred vertically
        {{0, 0, 100, 100}, 50, 100, {25, 0, 50, 100}},
    };
    for (const Case& c : cases) {
        const Bounds fitted = FitPicture(c.box, c.width, c.height);
        EXPECT_EQ(fitted.left, c.expected.left);
        EXPECT_EQ(fitted.top, c.expected.top);
        EXPECT_EQ(fitted.width, c.expected.width);
        EXPECT_EQ(fitted.height, c.expected.height);
    }
}
