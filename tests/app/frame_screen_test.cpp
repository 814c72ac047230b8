#include "app/frame.h"
#include "program_screen.h"

#include <math.h>

#include <vector>

namespace {

class FrameOnScreen : public ProgramScreen {};

TEST_F(FrameOnScreen, FirstFrameOnTheBackBufferIsAClosedFilledOutline) {
    std::vector<uint32_t> pixels(640 * 480);
    DrawFrame();
    ASSERT_TRUE(ReadBackBuffer(pixels.data()));
    auto at = [&](int x, int y) { return pixels[y * 640 + x]; };
    const int points[][2] = {{370, 240}, {348, 268}, {320, 285}, {270, 240}, {320, 185}};
    for (auto& p : points)
        EXPECT_EQ(at(p[0], p[1]), 0xFFFFFFu) << p[0] << "," << p[1];
    for (int degree = 0; degree < 360; degree += 5) {
        double a = degree * 3.14159265358979 / 180;
        for (int r : {70, 150}) {
            int x = 320 + static_cast<int>(lround(r * cos(a)));
            int y = 240 + static_cast<int>(lround(r * sin(a)));
            ASSERT_EQ(at(x, y), 0u) << "radius " << r << " degree " << degree;
        }
        for (int r : {0, 15, 33}) {
            int x = 320 + static_cast<int>(lround(r * cos(a)));
            int y = 240 + static_cast<int>(lround(r * sin(a)));
            ASSERT_EQ(at(x, y), 0xFFFFFFu) << "radius " << r << " degree " << degree;
        }
    }
    EXPECT_EQ(at(0, 0), 0u);
    EXPECT_EQ(at(639, 479), 0u);
    PresentFrame();
}

TEST_F(FrameOnScreen, TheShapeMovesFromFrameToFrame) {
    std::vector<uint32_t> first(640 * 480), later(640 * 480);
    DrawFrame();
    PresentFrame();
    ASSERT_TRUE(ReadBackBuffer(first.data()));
    for (int i = 0; i < 30; ++i) {
        DrawFrame();
        PresentFrame();
    }
    ASSERT_TRUE(ReadBackBuffer(later.data()));
    EXPECT_NE(first, later);
}

} // namespace
