#include "Centering.h"

#include <gtest/gtest.h>

namespace {

TEST(CenteredOrigin, HalvesTheSpareRoomTruncatingTowardZero) {
    struct Case {
        const char* what;
        ScreenRect reference;
        ScreenRect window;
        long left;
        long top;
    } cases[] = {
        {"487 x 101 on 640 x 480", {0, 0, 640, 480}, {0, 0, 487, 101}, 76, 189},
        {"700 wide on 640 x 480", {0, 0, 640, 480}, {0, 0, 700, 101}, 0, 189},
        {"taller than the screen", {0, 0, 640, 480}, {0, 0, 100, 481}, 270, 0},
        {"exactly the screen", {0, 0, 640, 480}, {10, 10, 650, 490}, 0, 0},
        {"on an offset reference", {100, 50, 301, 151}, {0, 0, 100, 50}, 150, 75},
        {"odd spare room", {0, 0, 1024, 768}, {5, 5, 492, 106}, 268, 333},
        {"reference left of the screen", {-300, 0, 100, 100}, {0, 0, 100, 50}, 0, 25},
    };
    for (const Case& c : cases) {
        ScreenPoint origin = centeredOrigin(c.reference, c.window);
        EXPECT_EQ(origin.x, c.left) << c.what;
        EXPECT_EQ(origin.y, c.top) << c.what;
    }
}

TEST(CenteredOrigin, TruncatesANegativeHalfTowardZeroBeforeClamping) {
    // (100 - 103) / 2 truncates to -1, and 2 + -1 = 1 stays on the screen.
    ScreenPoint origin = centeredOrigin({2, 2, 102, 102}, {0, 0, 103, 103});
    EXPECT_EQ(origin.x, 1);
    EXPECT_EQ(origin.y, 1);
}

} // namespace
