#include "drawing/drawing_canvas.h"
#include "runtime_fixture.h"

namespace {

const COLORREF Black = RGB(0, 0, 0), White = RGB(255, 255, 255);
const COLORREF Red = RGB(255, 0, 0), Green = RGB(0, 255, 0);

// A 16 x 16 black plain output with a span begun on it.
class ShapesTest : public RuntimeTest {
  protected:
    PlainCanvas* canvas = nullptr;
    DrawingContext* context = nullptr;

    void SetUp() override {
        RuntimeTest::SetUp();
        canvas = new PlainCanvas(16, 16);
        canvas->Clear(Black);
        context = PlainOutput(canvas->dc);
        BeginDrawing(context);
        Use(White);
    }
    void TearDown() override {
        EndDrawing();
        delete canvas;
        RuntimeTest::TearDown();
    }
    // As the entry points do: store the colour, then apply it.
    void Use(COLORREF color) {
        context->color = color;
        context->setColor(context, color);
    }
    int Count(COLORREF color) { return canvas->CountOf(color); }
    COLORREF At(int x, int y) { return canvas->At(x, y); }
    void Clear() { canvas->Clear(Black); }
};

TEST_F(ShapesTest, SinglePixelBoxes) {
    context->box(context, 5, 5, 1, 1);
    EXPECT_EQ(Count(White), 1);
    EXPECT_EQ(At(5, 5), White);
    Clear();
    context->box(context, 5, 5, -1, -1);
    EXPECT_EQ(Count(White), 1);
    EXPECT_EQ(At(4, 4), White);
    Clear();
    context->box(context, 5, 5, 1, -1);
    EXPECT_EQ(Count(White), 1);
    EXPECT_EQ(At(5, 4), White);
    Clear();
    context->box(context, 5, 5, -1, 1);
    EXPECT_EQ(Count(White), 1);
    EXPECT_EQ(At(4, 5), White);
}

TEST_F(ShapesTest, BoxCoversWidthTimesHeight) {
    context->box(context, 2, 3, 4, 5);
    EXPECT_EQ(Count(White), 20);
    EXPECT_EQ(At(2, 3), White);
    EXPECT_EQ(At(5, 7), White);
    EXPECT_EQ(At(6, 7), Black);
    EXPECT_EQ(At(5, 8), Black);
    Clear();
    context->box(context, 6, 8, -4, -5);
    EXPECT_EQ(Count(White), 20);
    EXPECT_EQ(At(2, 3), White);
}

TEST_F(ShapesTest, OutlinedBoxDrawsItsBorderOnly) {
    context->setMode(context, MODE_OUTLINED);
    context->box(context, 2, 2, 5, 5);
    EXPECT_EQ(Count(White), 16);
    EXPECT_EQ(At(4, 4), Black);
    EXPECT_EQ(At(6, 6), White);
    Clear();
    context->box(context, 9, 9, 1, 1);
    EXPECT_EQ(Count(White), 1);
    EXPECT_EQ(At(9, 9), White);
}

TEST_F(ShapesTest, SmallEllipsesAreSetPixelByPixel) {
    context->ellipse(context, 8, 8, 1, 1);
    EXPECT_EQ(Count(White), 5);
    EXPECT_EQ(At(8, 8), White);
    EXPECT_EQ(At(7, 8), White);
    EXPECT_EQ(At(8, 9), White);
    Clear();
    context->ellipse(context, 8, 8, 0, 0);
    EXPECT_EQ(Count(White), 1);

    context->setMode(context, MODE_OUTLINED);
    Clear();
    context->ellipse(context, 8, 8, 1, 1);
    EXPECT_EQ(Count(White), 4);
    EXPECT_EQ(At(8, 8), Black);
    // One radius 0: the centre is part of the shape, also outlined.
    Clear();
    context->ellipse(context, 8, 8, 0, 1);
    EXPECT_EQ(Count(White), 3);
    EXPECT_EQ(At(8, 7), White);
    EXPECT_EQ(At(8, 8), White);
    EXPECT_EQ(At(8, 9), White);
}

TEST_F(ShapesTest, FlatEllipseStaysInItsBox) {
    context->ellipse(context, 8, 8, 2, 0);
    int inside = 0;
    for (int x = 6; x <= 10; x++)
        inside += At(x, 8) == White;
    EXPECT_GT(inside, 0);
    EXPECT_EQ(Count(White), inside);
}

TEST_F(ShapesTest, SmallCircles) {
    context->circle(context, 8, 8, 1);
    EXPECT_EQ(Count(White), 5);
    EXPECT_EQ(At(8, 7), White);
    EXPECT_EQ(At(9, 8), White);
    Clear();
    context->circle(context, 8, 8, 0);
    EXPECT_EQ(Count(White), 1);
    EXPECT_EQ(At(8, 8), White);

    context->setMode(context, MODE_OUTLINED);
    Clear();
    context->circle(context, 8, 8, 1);
    EXPECT_EQ(Count(White), 4);
    EXPECT_EQ(At(8, 8), Black);
}

TEST_F(ShapesTest, LinesCoverBothEnds) {
    context->line(context, 2, 3, 9, 3);
    EXPECT_EQ(Count(White), 8);
    EXPECT_EQ(At(2, 3), White);
    EXPECT_EQ(At(9, 3), White);
    Clear();
    context->line(context, 12, 1, 1, 12);
    EXPECT_EQ(At(12, 1), White);
    EXPECT_EQ(At(1, 12), White);
    Clear();
    context->line(context, 4, 4, 4, 4);
    EXPECT_EQ(Count(White), 1);
    EXPECT_EQ(At(4, 4), White);
    POINT position;
    GetCurrentPositionEx(canvas->dc, &position);
    EXPECT_EQ(position.x, 4);
}

// Whether the end pixel is inverted or set in colour is up to GDI's SetPixelV; it is covered.
TEST_F(ShapesTest, XorLineInvertsAndCoversItsEnd) {
    Use(Red);
    context->setMode(context, MODE_XOR);
    context->line(context, 1, 1, 5, 1);
    EXPECT_EQ(At(1, 1), White);
    EXPECT_EQ(At(4, 1), White);
    EXPECT_NE(At(5, 1), Black);
    EXPECT_EQ(At(6, 1), Black);
}

TEST_F(ShapesTest, FillToTheBorderOrOverTheStartColour) {
    Use(Green);
    context->setMode(context, MODE_OUTLINED);
    context->box(context, 2, 2, 8, 8);
    context->setMode(context, 0);
    Use(Red);
    EXPECT_NE(context->fill(context, 5, 5, Green), 0);
    EXPECT_EQ(Count(Red), 36);
    EXPECT_EQ(Count(Green), 28);
    EXPECT_EQ(At(0, 0), Black);

    Use(White);
    EXPECT_NE(context->fill(context, 0, 0, -1), 0);
    EXPECT_EQ(Count(White), 256 - 64);
    EXPECT_EQ(Count(Green), 28);
    // Started on the border colour: nothing to paint.
    context->fill(context, 2, 2, Green);
    EXPECT_EQ(Count(Green), 28);
}

TEST_F(ShapesTest, FillPaintsSolidlyInOutlinedMode) {
    context->setMode(context, MODE_OUTLINED | MODE_TRANSPARENT);
    Use(Red);
    context->fill(context, 3, 3, -1);
    EXPECT_EQ(Count(Red), 256);
    EXPECT_EQ(context->mode, MODE_OUTLINED | MODE_TRANSPARENT);
    EXPECT_EQ(GetCurrentObject(canvas->dc, OBJ_BRUSH), GetStockObject(NULL_BRUSH));
    EXPECT_EQ(GetBkMode(canvas->dc), TRANSPARENT);
}

TEST_F(ShapesTest, SetColorAlwaysReplacesPenAndBrush) {
    HGDIOBJ brush = context->brush, pen = context->pen;
    Use(White);
    EXPECT_NE(context->brush, brush);
    EXPECT_NE(context->pen, pen);
    EXPECT_EQ(GetObjectType(brush), 0u);
    EXPECT_EQ(GetObjectType(pen), 0u);
    EXPECT_EQ(GetCurrentObject(canvas->dc, OBJ_BRUSH), context->brush);
    EXPECT_EQ(GetCurrentObject(canvas->dc, OBJ_PEN), context->pen);
    EXPECT_EQ(GetTextColor(canvas->dc), White);
    // Outlined: the brush is left alone.
    context->setMode(context, MODE_OUTLINED);
    brush = context->brush;
    Use(Red);
    EXPECT_EQ(context->brush, brush);
}

TEST_F(ShapesTest, PixelsAndPlotsOnAPlainOutput) {
    context->plotCurrent(context, 1, 2);
    EXPECT_EQ(At(1, 2), White);
    context->plot(context, 3, 4, Green);
    EXPECT_EQ(At(3, 4), Green);
    EXPECT_EQ(context->pixel(context, 3, 4), static_cast<int>(Green));
    EXPECT_EQ(context->pixel(context, 40, 4), static_cast<int>(CLR_INVALID));
    context->plot(context, 40, 4, Green);
    EXPECT_EQ(Count(Green), 1);
}

// plot on surfaces of each pixel format writes memory directly.
class PlotTest : public RuntimeTest {
  protected:
    void TearDown() override {
        EndDrawing();
        RuntimeTest::TearDown();
    }
};

TEST_F(PlotTest, WritesEachFormat) {
    {
        SurfaceCanvas surface(8, 4, 8);
        DrawingContext* context = surface.Output(FORMAT_PALETTED8);
        BeginDrawing(context);
        context->plot(context, 3, 1, 0x123456);
        EXPECT_EQ(surface.Row(1)[3], 0x56);
        EndDrawing();
    }
    {
        SurfaceCanvas surface(8, 4, 16);
        DrawingContext* context = surface.Output(FORMAT_RGB555);
        BeginDrawing(context);
        context->plot(context, 2, 1, 0x0000FF);
        context->plot(context, 3, 1, 0xFFFFFF);
        const uint16_t* row = reinterpret_cast<uint16_t*>(surface.Row(1));
        EXPECT_EQ(row[2], 0x7C00);
        EXPECT_EQ(row[3], 0x7FFF);
        EndDrawing();
    }
    {
        SurfaceCanvas surface(8, 4, 16);
        DrawingContext* context = surface.Output(FORMAT_RGB565);
        BeginDrawing(context);
        context->plot(context, 0, 0, 0xFFFFFF);
        context->plot(context, 1, 0, 0x0000FF);
        context->plot(context, 2, 0, 0x0F0F0F); // channels cut, not rounded
        const uint16_t* row = reinterpret_cast<uint16_t*>(surface.Row(0));
        EXPECT_EQ(row[0], 0xFFFF);
        EXPECT_EQ(row[1], 0xF800);
        EXPECT_EQ(row[2], 0x0861);
        EXPECT_EQ(surface.locks, 1) << "a run of plots locks once";
        EndDrawing();
    }
    {
        SurfaceCanvas surface(8, 4, 32);
        DrawingContext* context = surface.Output(FORMAT_XRGB8888);
        BeginDrawing(context);
        context->plot(context, 7, 3, 0x563412);
        EXPECT_EQ(reinterpret_cast<uint32_t*>(surface.Row(3))[7], 0xFF123456u);
        EndDrawing();
    }
}

TEST_F(PlotTest, PointsOutsideTheOutputAreIgnored) {
    SurfaceCanvas surface(8, 4, 32);
    surface.Clear(0);
    DrawingContext* context = surface.Output(FORMAT_XRGB8888);
    BeginDrawing(context);
    const int points[][2] = {{-1, 0}, {8, 0}, {0, -1}, {0, 4}, {100000, 100000}, {-9, 3}};
    for (const auto& p : points)
        context->plot(context, p[0], p[1], 0xFFFFFF);
    EXPECT_EQ(surface.CountOf(0), 32);
}

TEST_F(PlotTest, FailedLockWritesNothing) {
    SurfaceCanvas surface(8, 4, 32);
    surface.Clear(0);
    surface.failLock = true;
    DrawingContext* context = surface.Output(FORMAT_XRGB8888);
    BeginDrawing(context);
    context->plot(context, 1, 1, 0xFFFFFF);
    EXPECT_EQ(context->bufferAddress(context), nullptr);
    // The next shape takes a DC again.
    surface.failLock = false;
    DrawBox(2, 2, 1, 1, 0xFFFFFF);
    EXPECT_NE(context->dc, nullptr);
    EndDrawing();
    EXPECT_EQ(surface.At(1, 1), 0u);
    EXPECT_EQ(surface.At(2, 2), White);
}

TEST_F(PlotTest, OtherFormatsGoThroughTheDC) {
    SurfaceCanvas surface(8, 4, 32);
    surface.Clear(0);
    DrawingContext* context = surface.Output(0);
    BeginDrawing(context);
    context->plot(context, 1, 1, 0xFFFFFF);
    EXPECT_EQ(surface.locks, 0);
    context->bufferAddress(context);
    context->plot(context, 2, 1, 0xFFFFFF);
    EXPECT_EQ(context->access, ACCESS_DC);
    EndDrawing();
    EXPECT_EQ(surface.At(1, 1), White);
    EXPECT_EQ(surface.At(2, 1), White);
}

} // namespace
