// The placement rule of the About box: centred, then kept on the work area.
#include "window_placement.h"

#include <gtest/gtest.h>

namespace {

TEST(CentredPosition, CentredOverTheAnchorAndKeptOnTheWorkArea) {
    const RECT work{0, 0, 1000, 700};
    const struct {
        const char* what;
        int width, height;
        RECT anchor;
        POINT expected;
    } cases[] = {
        {"centred over a larger owner", 200, 100, {100, 100, 500, 400}, {200, 200}},
        {"centred over a smaller owner", 300, 200, {400, 300, 500, 360}, {300, 230}},
        {"owner near the right edge", 300, 200, {850, 100, 1000, 200}, {700, 50}},
        {"owner near the bottom", 300, 200, {100, 650, 200, 700}, {0, 500}},
        {"owner off the left and top", 300, 200, {-400, -300, -100, -100}, {0, 0}},
        {"box larger than the work area", 1200, 800, {0, 0, 1000, 700}, {0, 0}},
    };
    for (const auto& c : cases) {
        const POINT at = zym::centredPosition(c.width, c.height, c.anchor, work);
        EXPECT_EQ(at.x, c.expected.x) << c.what;
        EXPECT_EQ(at.y, c.expected.y) << c.what;
    }
    const RECT secondMonitor{1000, 0, 2000, 700};
    const POINT at = zym::centredPosition(200, 100, {1100, 100, 1500, 400}, secondMonitor);
    EXPECT_EQ(at.x, 1200) << "work areas need not start at 0";
}

} // namespace
