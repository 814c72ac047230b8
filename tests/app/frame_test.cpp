#include "app/frame.h"
#include "runtime/drawing/drawing_context.h"
#include "runtime/drawing/plain_output.h"
#include "runtime_fixture.h"

#include <math.h>
#include <stdio.h>

namespace {

struct Point {
    int x, y;
};

TEST(Outline, FirstFramePointsLieWhereTheCurveSays) {
    const struct {
        int i;
        Point at;
    } expected[] = {
        {0, {370, 240}}, {45, {348, 268}}, {90, {320, 285}}, {180, {270, 240}}, {270, {320, 185}}};
    for (auto e : expected) {
        Point p;
        OutlinePoint(e.i, 0.0f, &p.x, &p.y);
        EXPECT_EQ(p.x, e.at.x) << "point " << e.i;
        EXPECT_EQ(p.y, e.at.y) << "point " << e.i;
    }
}

TEST(Outline, LastPointClosesTheOutlineAndRadiusStaysInItsBand) {
    for (float t : {0.0f, 0.017f, 1.6999989f, 123.456f}) {
        Point first, last;
        OutlinePoint(0, t, &first.x, &first.y);
        OutlinePoint(360, t, &last.x, &last.y);
        EXPECT_LE(abs(first.x - last.x), 1);
        EXPECT_LE(abs(first.y - last.y), 1);
        for (int i = 0; i <= 360; ++i) {
            Point p;
            OutlinePoint(i, t, &p.x, &p.y);
            double r = hypot(p.x - 320, p.y - 240);
            EXPECT_GE(r, 34.0);
            EXPECT_LE(r, 66.0);
        }
    }
}

// A 640 x 480 top-down 32-bit DIB section as a plain output.
class FrameOnBitmap : public RuntimeTest {
  protected:
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    uint32_t* pixels = nullptr;

    void SetUp() override {
        RuntimeTest::SetUp();
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = 640;
        info.bmiHeader.biHeight = -480;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc = CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_NE(bitmap, nullptr);
        pixels = static_cast<uint32_t*>(bits);
        for (int i = 0; i < 640 * 480; ++i)
            pixels[i] = 0x123456; // neither black nor white: the frame must paint every pixel
        previous = SelectObject(dc, bitmap);
    }
    void TearDown() override {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
        RuntimeTest::TearDown();
    }
    uint32_t At(int x, int y) {
        GdiFlush();
        return pixels[y * 640 + x] & 0xFFFFFF;
    }
};

TEST_F(FrameOnBitmap, FirstFrameIsAClosedWhiteFilledOutlineOnBlack) {
    DrawOutlineFrame(PlainOutput(dc));
    EXPECT_EQ(currentContext, nullptr);
    for (Point p : {Point{370, 240}, {348, 268}, {320, 285}, {270, 240}, {320, 185}, {320, 240}})
        EXPECT_EQ(At(p.x, p.y), 0xFFFFFFu) << p.x << "," << p.y;
    for (Point p : {Point{0, 0}, {639, 0}, {0, 479}, {639, 479}})
        EXPECT_EQ(At(p.x, p.y), 0u) << p.x << "," << p.y;
    // The fill stays inside: black on a ring well outside, white on a disc well inside.
    for (int degree = 0; degree < 360; degree += 3) {
        double a = degree * 3.14159265358979 / 180;
        for (int r : {70, 100, 200}) {
            int x = 320 + static_cast<int>(lround(r * cos(a)));
            int y = 240 + static_cast<int>(lround(r * sin(a)));
            ASSERT_EQ(At(x, y), 0u) << "radius " << r << " degree " << degree;
        }
        for (int r : {0, 10, 20, 33}) {
            int x = 320 + static_cast<int>(lround(r * cos(a)));
            int y = 240 + static_cast<int>(lround(r * sin(a)));
            ASSERT_EQ(At(x, y), 0xFFFFFFu) << "radius " << r << " degree " << degree;
        }
    }
}

int colorChanges;
int (*realSetColor)(DrawingContext*, int);
int CountingSetColor(DrawingContext* context, int color) {
    ++colorChanges;
    return realSetColor(context, color);
}

TEST_F(FrameOnBitmap, EachFrameChangesColourExactlyTwice) {
    for (int frame = 0; frame < 3; ++frame) {
        DrawingContext* output = PlainOutput(dc);
        ASSERT_NE(output, nullptr);
        realSetColor = output->setColor;
        output->setColor = CountingSetColor;
        colorChanges = 0;
        DrawOutlineFrame(output);
        EXPECT_EQ(colorChanges, 2) << "frame " << frame;
    }
}

TEST_F(FrameOnBitmap, PhaseIsTheRunningFloatSumOfItsSteps) {
    for (int frame = 0; frame < 100; ++frame)
        DrawOutlineFrame(nullptr); // no output: nothing is drawn, the phase still moves
    char text[32];
    snprintf(text, sizeof text, "%.8g", Program.phase);
    EXPECT_STREQ(text, "1.6999989");
    EXPECT_NE(Program.phase, 1.7f);
    EXPECT_EQ(At(0, 0), 0x123456u);
}

} // namespace
