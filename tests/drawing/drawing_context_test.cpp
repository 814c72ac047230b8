#include "drawing/drawing_canvas.h"
#include "runtime_fixture.h"

#include <math.h>
#include <vector>

namespace {

// Every setColor that reaches the slot, in order.
std::vector<int> setColorCalls;
int (*realSetColor)(DrawingContext*, int);
int CountingSetColor(DrawingContext* context, int color) {
    setColorCalls.push_back(color);
    return realSetColor(context, color);
}
void CountSetColor(DrawingContext* context) {
    setColorCalls.clear();
    realSetColor = context->setColor;
    context->setColor = CountingSetColor;
}

class DrawingContextTest : public RuntimeTest {
  protected:
    void TearDown() override {
        EndDrawing();
        RuntimeTest::TearDown();
    }
};

TEST_F(DrawingContextTest, NoCurrentContextDrawsNothing) {
    PlainCanvas canvas(8, 8);
    EXPECT_EQ(BeginDrawing(nullptr), nullptr);
    EXPECT_EQ(currentContext, nullptr);
    EXPECT_EQ(DrawBox(0, 0, 8, 8, 0xFFFFFF), 0);
    EXPECT_EQ(DrawLineTo(0, 0, 7, 7, 0xFFFFFF), 0);
    EXPECT_EQ(FloodFill(1, 1, 0xFFFFFF, 0xFFFFFF), 0);
    EndDrawing();

    ASSERT_NE(BeginDrawing(PlainOutput(canvas.dc)), nullptr);
    EndDrawing();
    EXPECT_EQ(DrawBox(0, 0, 8, 8, 0xFFFFFF), 0);
    EXPECT_EQ(canvas.CountOf(0xFFFFFF), 0);
}

// An output function makes its context current at once; until BeginDrawing starts it, the
// entry points leave it alone, so start finds nothing of theirs to lose.
TEST_F(DrawingContextTest, EntryPointsWaitForTheSpanToBegin) {
    PlainCanvas canvas(8, 8);
    SurfaceCanvas surface(8, 8);
    canvas.Clear(0);
    surface.Clear(0);
    auto span = [](DrawingContext* context) {
        EXPECT_EQ(DrawBox(0, 0, 8, 8, 0xFFFFFF), 0);
        EXPECT_EQ(DrawLineTo(0, 0, 7, 7, 0x00FF00), 0);
        EXPECT_EQ(FloodFill(1, 1, -1, 0xFF0000), 0);
        EXPECT_EQ(context->color, -1);
        BeginDrawing(context);
        EXPECT_NE(DrawBox(0, 0, 2, 2, 0x123456), 0);
        EndDrawing();
    };
    // The first spans let GDI make what it makes once.
    span(PlainOutput(canvas.dc));
    span(surface.Output(FORMAT_XRGB8888));
    DWORD before = GdiObjectCount();
    ASSERT_GT(before, 0);
    for (int i = 0; i < 10; ++i) {
        span(PlainOutput(canvas.dc));
        span(surface.Output(FORMAT_XRGB8888));
    }
    EXPECT_EQ(GdiObjectCount(), before);
    const Canvas* drawn[] = {&canvas, &surface};
    for (const Canvas* output : drawn)
        EXPECT_EQ(output->CountOf(0x123456), 4) << "only the span's own box";
}

TEST_F(DrawingContextTest, OutputWithoutDCIsGivenBackAndFreed) {
    SurfaceCanvas surface(4, 4);
    size_t before = HeapBytesInUse(RuntimeHeap);
    DrawingContext* context = surface.Output(FORMAT_XRGB8888);
    SurfaceCanvas::GiveDC(context->dc);
    context->dc = nullptr;
    EXPECT_EQ(BeginDrawing(context), nullptr);
    EXPECT_EQ(surface.releases, 1);
    EXPECT_EQ(surface.releaseFlag, 0);
    EXPECT_EQ(currentContext, nullptr);
    EXPECT_EQ(TlsGetValue(drawingSlot), nullptr);
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), before);
    EXPECT_EQ(DrawBox(0, 0, 4, 4, 0xFFFFFF), 0);
}

TEST_F(DrawingContextTest, PlainOutputTakesTheBitmapsSize) {
    PlainCanvas canvas(24, 10);
    DrawingContext* context = PlainOutput(canvas.dc);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(context->kind, OUTPUT_PLAIN);
    EXPECT_EQ(context->dc, canvas.dc);
    EXPECT_EQ(context->width, 24);
    EXPECT_EQ(context->height, 10);
    EXPECT_EQ(context->depth, 32);
    EXPECT_EQ(BeginDrawing(context), canvas.dc);
    EXPECT_EQ(PlainOutput(nullptr), nullptr);
}

// The frame of the animation: clear in black, 360 white lines, a white fill.
TEST_F(DrawingContextTest, FrameSetsTheColourTwice) {
    PlainCanvas canvas(64, 48);
    canvas.Clear(RGB(9, 9, 9));
    DrawingContext* context = PlainOutput(canvas.dc);
    CountSetColor(context);
    BeginDrawing(context);
    DrawBox(0, 0, 64, 48, 0);
    int px = 0, py = 0;
    for (int i = 0; i <= 360; i++) {
        double a = i * 3.14159265358979 / 180;
        int x = static_cast<int>(32.5 + 15 * cos(a)), y = static_cast<int>(24.5 + 15 * sin(a));
        if (i)
            DrawLineTo(px, py, x, y, 0xFFFFFF);
        px = x;
        py = y;
    }
    FloodFill(32, 24, 0xFFFFFF, 0xFFFFFF);
    EXPECT_EQ(TlsGetValue(drawingSlot), context);
    EXPECT_EQ(setColorCalls, (std::vector<int>{0, 0xFFFFFF}));
    EXPECT_EQ(context->color, 0xFFFFFF);
    EndDrawing();
    EXPECT_EQ(TlsGetValue(drawingSlot), nullptr);
    EXPECT_EQ(canvas.At(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(canvas.At(63, 47), RGB(0, 0, 0));
    EXPECT_EQ(canvas.At(32, 24), RGB(255, 255, 255));
    EXPECT_EQ(canvas.At(32, 24 + 10), RGB(255, 255, 255));
    EXPECT_EQ(canvas.At(32, 24 + 20), RGB(0, 0, 0));
}

TEST_F(DrawingContextTest, ColourCache) {
    PlainCanvas canvas(8, 8);
    canvas.Clear(RGB(200, 200, 200));
    DrawingContext* context = PlainOutput(canvas.dc);
    CountSetColor(context);
    BeginDrawing(context);

    // -1 first matches the unset cache: the black defaults of start draw.
    DrawBox(1, 1, 1, 1, -1);
    EXPECT_TRUE(setColorCalls.empty());
    DrawLineTo(0, 7, 3, 7, -1);
    EXPECT_TRUE(setColorCalls.empty());
    EXPECT_EQ(canvas.At(0, 7), RGB(0, 0, 0));
    EXPECT_EQ(canvas.At(2, 7), RGB(0, 0, 0));

    DrawLineTo(0, 0, 3, 0, 0x0000FF);
    DrawLineTo(0, 1, 3, 1, 0x0000FF);
    EXPECT_EQ(setColorCalls, (std::vector<int>{0x0000FF}));

    // Only the fill colour goes through the cache.
    FloodFill(6, 6, 0x00FF00, 0x0000FF);
    EXPECT_EQ(setColorCalls.size(), 1u);
    FloodFill(6, 6, 0x0000FF, 0x00FF00);
    EXPECT_EQ(setColorCalls, (std::vector<int>{0x0000FF, 0x00FF00}));
    EXPECT_EQ(context->color, 0x00FF00);
}

TEST_F(DrawingContextTest, EntryPointsShiftByTheOrigin) {
    PlainCanvas canvas(16, 16);
    canvas.Clear(0);
    DrawingContext* context = PlainOutput(canvas.dc);
    BeginDrawing(context);
    context->originX = 5;
    context->originY = 3;
    DrawBox(0, 0, 1, 1, 0xFFFFFF);
    EXPECT_EQ(canvas.At(5, 3), RGB(255, 255, 255));
    DrawLineTo(0, 2, 2, 2, 0x00FF00);
    EXPECT_EQ(canvas.At(5, 5), RGB(0, 255, 0));
    EXPECT_EQ(canvas.At(7, 5), RGB(0, 255, 0));
    EXPECT_EQ(canvas.At(8, 5), RGB(0, 0, 0));
    // Sizes are not shifted: the box stays 2 x 2.
    DrawBox(4, 4, 2, 2, 0xFF0000);
    EXPECT_EQ(canvas.CountOf(RGB(0, 0, 255)), 4);
    EXPECT_EQ(canvas.At(9, 7), RGB(0, 0, 255));
    EXPECT_EQ(canvas.At(10, 8), RGB(0, 0, 255));
    FloodFill(-5, -3, -1, 0x808080);
    EXPECT_EQ(canvas.At(0, 0), RGB(128, 128, 128));
    EXPECT_EQ(canvas.At(5, 3), RGB(255, 255, 255));
}

TEST_F(DrawingContextTest, EndingTheSpanRestoresTheDCAndDeletesItsObjects) {
    PlainCanvas canvas(4, 4);
    HGDIOBJ brush = GetCurrentObject(canvas.dc, OBJ_BRUSH);
    HGDIOBJ pen = GetCurrentObject(canvas.dc, OBJ_PEN);
    HGDIOBJ font = GetCurrentObject(canvas.dc, OBJ_FONT);
    size_t before = HeapBytesInUse(RuntimeHeap);
    DrawingContext* context = PlainOutput(canvas.dc);
    BeginDrawing(context);
    HGDIOBJ made[] = {context->brush, context->defaultBrush, context->defaultPen, nullptr, nullptr};
    DrawBox(0, 0, 2, 2, 0x123456);
    made[3] = context->brush;
    made[4] = context->pen;
    EXPECT_EQ(GetObjectType(made[0]), 0u) << "setColor deletes the brush it replaces";
    for (int i = 1; i < 5; i++)
        EXPECT_NE(GetObjectType(made[i]), 0u);
    EndDrawing();
    for (HGDIOBJ object : made)
        EXPECT_EQ(GetObjectType(object), 0u);
    EXPECT_EQ(GetCurrentObject(canvas.dc, OBJ_BRUSH), brush);
    EXPECT_EQ(GetCurrentObject(canvas.dc, OBJ_PEN), pen);
    EXPECT_EQ(GetCurrentObject(canvas.dc, OBJ_FONT), font);
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), before);
}

// Spans that cannot begin give 0 and make nothing: a context a newer one replaced, one ended
// already, one begun already, and an output over a deleted DC. A begun span left unreachable
// would keep its objects and record for good. A new context leaves the one before it alone:
// its caller may still hold it.
TEST_F(DrawingContextTest, SpansThatCannotBeginMakeNothing) {
    PlainCanvas canvas(4, 4);
    SurfaceCanvas surface(4, 4);
    HDC deleted = CreateCompatibleDC(nullptr);
    DeleteDC(deleted);
    EXPECT_EQ(PlainOutput(deleted), nullptr);
    DrawingContext* replaced = PlainOutput(canvas.dc);
    DrawingContext* ended = PlainOutput(canvas.dc);
    BeginDrawing(ended);
    EndDrawing();
    DrawingContext* open = PlainOutput(canvas.dc);
    BeginDrawing(open);
    DrawBox(0, 0, 2, 2, 0x123456);
    const DWORD gdi = GdiObjectCount();
    for (DrawingContext* context : {replaced, ended, open})
        EXPECT_EQ(BeginDrawing(context), nullptr);
    DrawingContext* dead = surface.Output(FORMAT_XRGB8888);
    SurfaceCanvas::GiveDC(dead->dc);
    EXPECT_EQ(BeginDrawing(dead), nullptr);
    EXPECT_EQ(surface.releaseFlag, 0);
    EXPECT_EQ(currentContext, nullptr);
    EXPECT_EQ(GdiObjectCount(), gdi);
    EXPECT_NE(open->box(open, 2, 2, 2, 2), 0);
    EXPECT_EQ(canvas.CountOf(0x123456), 8);
    currentContext = open; // its caller ends it by hand, as nothing else can
    EndDrawing();
    EXPECT_LT(GdiObjectCount(), gdi);
    HeapFree(RuntimeHeap, 0, replaced);
}

TEST_F(DrawingContextTest, MemoryAccessIsForSurfacesOnly) {
    PlainCanvas canvas(4, 4);
    DrawingContext* context = PlainOutput(canvas.dc);
    BeginDrawing(context);
    EXPECT_EQ(context->bufferAddress(context), nullptr);
    EXPECT_EQ(context->bufferPitch(context), 0);
    EXPECT_EQ(context->bufferFormat(context), 0);
    EXPECT_EQ(context->access, ACCESS_DC);
    EXPECT_EQ(context->dc, canvas.dc);
}

TEST_F(DrawingContextTest, SurfaceSwitchesBetweenDCAndMemory) {
    SurfaceCanvas surface(8, 4);
    DrawingContext* context = surface.Output(FORMAT_XRGB8888);
    ASSERT_NE(BeginDrawing(context), nullptr);
    EXPECT_EQ(context->bufferFormat(context), FORMAT_XRGB8888);

    EXPECT_EQ(context->bufferAddress(context), surface.bits);
    EXPECT_EQ(context->bufferPitch(context), 32);
    EXPECT_EQ(context->access, ACCESS_BUFFER);
    EXPECT_EQ(context->dc, nullptr);
    // Asking again for the form held costs nothing.
    context->bufferAddress(context);
    EXPECT_EQ(surface.locks, 1);

    DrawBox(0, 0, 8, 4, 0xFFFFFF);
    EXPECT_EQ(context->access, ACCESS_DC);
    EXPECT_NE(context->dc, nullptr);
    EXPECT_EQ(surface.acquires, 1);
    EXPECT_EQ(surface.unlocks, 1);
    DrawBox(0, 0, 1, 1, 0);
    EXPECT_EQ(surface.acquires, 1);
    EXPECT_EQ(surface.At(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(surface.At(7, 3), RGB(255, 255, 255));
}

TEST_F(DrawingContextTest, ReacquiredDCGetsTheStateBack) {
    SurfaceCanvas surface(8, 8);
    DrawingContext* context = surface.Output(FORMAT_XRGB8888);
    BeginDrawing(context);
    DrawBox(0, 0, 8, 8, 0x00FF00);
    context->backColor = 0x0000FF;
    context->setMode(context, MODE_XOR | MODE_TRANSPARENT);
    HFONT font = context->font;

    context->bufferAddress(context);
    // The next shape finds fresh GDI defaults in a new DC and must put everything back.
    context->plotCurrent(context, 0, 0);
    HDC dc = context->dc;
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetTextColor(dc), 0x00FF00u);
    EXPECT_EQ(GetTextAlign(dc), static_cast<UINT>(TA_UPDATECP));
    EXPECT_EQ(GetBkColor(dc), 0x0000FFu);
    EXPECT_EQ(GetROP2(dc), R2_NOT);
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), context->brush);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), context->pen);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), font);

    // Mode 0: the brush is selected directly.
    context->setMode(context, 0);
    context->bufferAddress(context);
    context->pixel(context, 0, 0);
    dc = context->dc;
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), context->brush);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), context->pen);
    EXPECT_EQ(GetROP2(dc), R2_COPYPEN);
    EXPECT_EQ(surface.acquires, 2);
}

TEST_F(DrawingContextTest, EndingWhileTheMemoryIsLocked) {
    SurfaceCanvas surface(4, 4);
    size_t before = HeapBytesInUse(RuntimeHeap);
    DrawingContext* context = surface.Output(FORMAT_XRGB8888);
    BeginDrawing(context);
    DrawBox(0, 0, 4, 4, 0xFFFFFF);
    HGDIOBJ made[] = {context->brush, context->pen, context->defaultBrush, context->defaultPen};
    context->plot(context, 1, 1, 0x0000FF);
    ASSERT_EQ(context->access, ACCESS_BUFFER);
    EndDrawing();
    EXPECT_EQ(surface.releases, 1);
    EXPECT_EQ(surface.releaseFlag, 1);
    EXPECT_EQ(surface.unlocks, 1);
    for (HGDIOBJ object : made)
        EXPECT_EQ(GetObjectType(object), 0u);
    EXPECT_EQ(currentContext, nullptr);
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), before);
    EXPECT_EQ(surface.At(1, 1), RGB(255, 0, 0));
}

} // namespace
