#include "drawing/drawing_canvas.h"
#include "runtime/drawing/text_drawing.h"
#include "runtime_fixture.h"

#include <math.h>
#include <string.h>

namespace {

const COLORREF Black = RGB(0, 0, 0), White = RGB(255, 255, 255);
const COLORREF Red = RGB(255, 0, 0), Green = RGB(0, 255, 0);

// A TrueType font found through fontconfig.
HFONT MakeFont(BOOL italic) {
    return CreateFontA(-20, 0, 0, 0, FW_NORMAL, italic, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, 0, "DejaVu Sans");
}

SIZE Extent(HDC dc, const char* text) {
    SIZE size = {};
    GetTextExtentPoint32A(dc, text, static_cast<int>(strlen(text)), &size);
    return size;
}

// The box around the pixels that differ from background.
RECT Ink(const Canvas& canvas, COLORREF background) {
    RECT box = {canvas.width, canvas.height, 0, 0};
    for (int y = 0; y < canvas.height; y++)
        for (int x = 0; x < canvas.width; x++)
            if (canvas.At(x, y) != background) {
                box.left = x < box.left ? x : box.left,
                box.right = x >= box.right ? x + 1 : box.right;
                box.top = y < box.top ? y : box.top,
                box.bottom = y >= box.bottom ? y + 1 : box.bottom;
            }
    return box;
}

// A black plain output with a span begun on it in the TrueType font.
class TextTest : public RuntimeTest {
  protected:
    PlainCanvas* canvas = nullptr;
    DrawingContext* context = nullptr;
    HFONT font = nullptr, italic = nullptr;

    void SetUp() override {
        RuntimeTest::SetUp();
        font = MakeFont(FALSE);
        italic = MakeFont(TRUE);
        canvas = new PlainCanvas(200, 200);
        canvas->Clear(Black);
        context = PlainOutput(canvas->dc);
        BeginDrawing(context);
        ASSERT_EQ(SetDrawingFont(font), 1);
        char face[LF_FACESIZE] = {};
        GetTextFaceA(canvas->dc, sizeof face, face);
        ASSERT_STREQ(face, "DejaVu Sans") << "the TrueType fonts are not installed";
    }
    void TearDown() override {
        EndDrawing();
        delete canvas;
        DeleteObject(font);
        DeleteObject(italic);
        RuntimeTest::TearDown();
    }
};

TEST_F(TextTest, TextEndsWhereTheNextOneContinues) {
    int hello = Extent(canvas->dc, "Hello").cx, whole = Extent(canvas->dc, "Hello, world").cx;
    EXPECT_EQ(DrawString(30, 40, "", White), 30);
    EXPECT_EQ(DrawString(30, 40, nullptr, White), 30);
    // The end comes back in the caller's coordinates, ready for the next text.
    context->originX = 7;
    int end = DrawString(3, 10, "Hello", White);
    EXPECT_EQ(end, 3 + hello);
    EXPECT_EQ(DrawString(end, 10, ", world", White), 3 + whole);

    PlainCanvas once(200, 200);
    once.Clear(Black);
    EndDrawing();
    BeginDrawing(PlainOutput(once.dc));
    SetDrawingFont(font);
    DrawString(10, 10, "Hello, world", White);
    for (int y = 0; y < 200; y++)
        ASSERT_EQ(memcmp(canvas->Row(y), once.Row(y), once.pitch), 0) << "row " << y;
}

TEST_F(TextTest, ItalicOverhangIsTheSameForEveryText) {
    ASSERT_EQ(SetDrawingFont(italic), 1);
    int overhang = context->italicOverhang;
    EXPECT_GT(overhang, 0);
    for (const char* text : {"H", "Hello", "iiii", "WWW W"}) {
        SIZE size = Extent(canvas->dc, text);
        EXPECT_EQ(TextWidth(text), size.cx + overhang) << text;
        EXPECT_EQ(TextHeight(text), size.cy) << text;
    }
    for (HFONT upright : {font, DRAWING_SYSTEM_FONT}) {
        SetDrawingFont(upright);
        EXPECT_EQ(context->italicOverhang, 0);
        EXPECT_EQ(TextWidth("Hello"), Extent(canvas->dc, "Hello").cx);
    }
    EXPECT_EQ(context->font, GetStockObject(SYSTEM_FONT));
    EXPECT_EQ(TextWidth(""), 0);
    EXPECT_EQ(TextHeight(nullptr), 0);
}

TEST_F(TextTest, RotatedFontIsKeptForTheSameReducedAngle) {
    auto escapement = [&] {
        LOGFONTA description = {};
        GetObjectA(context->angledFont, sizeof description, &description);
        return description.lfEscapement;
    };
    EXPECT_NE(DrawAngledString(100, 100, "Hi", 10, White), 0);
    HFONT ten = context->angledFont;
    EXPECT_EQ(escapement(), 100);
    DrawAngledString(100, 100, "Hi", 370, White);
    EXPECT_EQ(context->angledFont, ten);
    DrawAngledString(100, 100, "Hi", -350, White);
    EXPECT_NE(context->angledFont, ten);
    EXPECT_EQ(GetObjectType(ten), 0u);
    EXPECT_EQ(escapement(), -3500);
    for (float small : {0.05f, -0.05f}) {
        DrawAngledString(100, 100, "Hi", small, White);
        EXPECT_EQ(escapement(), 0);
    }
    EXPECT_NE(DrawAngledString(100, 100, "Hi", 1e30f, White), 0);
    EXPECT_EQ(escapement(), static_cast<LONG>(static_cast<float>(fmod(1e30f, 360.0)) * 10));
    // Nothing to reduce: nothing drawn, and the rotated font is kept.
    HFONT kept = context->angledFont;
    canvas->Clear(Black);
    for (float odd : {NAN, INFINITY, -INFINITY})
        EXPECT_EQ(DrawAngledString(100, 100, "Hi", odd, White), 0);
    EXPECT_EQ(DrawAngledString(100, 100, "", 45, White), 0);
    EXPECT_EQ(canvas->CountOf(Black), 200 * 200);
    EXPECT_EQ(context->angledFont, kept);
    EXPECT_EQ(GetCurrentObject(canvas->dc, OBJ_FONT), font);

    SetDrawingFont(italic);
    EXPECT_EQ(GetObjectType(kept), 0u);
    EXPECT_EQ(context->angledFont, nullptr);
    DrawAngledString(100, 100, "Hi", 20, White);
    kept = context->angledFont;
    EndDrawing();
    EXPECT_EQ(GetObjectType(kept), 0u);
    EXPECT_EQ(GetObjectType(italic), static_cast<DWORD>(OBJ_FONT));
    EXPECT_EQ(GetCurrentObject(canvas->dc, OBJ_FONT), GetStockObject(SYSTEM_FONT));
}

TEST_F(TextTest, NinetyDegreesStandsTheTextUp) {
    DrawString(20, 20, "Hello", White);
    RECT straight = Ink(*canvas, Black);
    EXPECT_GT(straight.right - straight.left, straight.bottom - straight.top);
    canvas->Clear(Black);
    // Counter-clockwise: the line runs up from the start, the glyphs' tops face left.
    DrawAngledString(50, 150, "Hello", 90, White);
    RECT turned = Ink(*canvas, Black);
    EXPECT_GT(turned.bottom - turned.top, turned.right - turned.left);
    EXPECT_LE(turned.bottom, 150);
    EXPECT_GE(turned.left, 50);
}

TEST_F(TextTest, BackgroundIsPaintedOnlyInOpaqueMode) {
    context->setBackColor(context, Red);
    auto draw = [&](bool angled) {
        canvas->Clear(Green);
        if (angled)
            DrawAngledString(10, 10, "Hello", 0, White);
        else
            DrawString(10, 10, "Hello", White);
        return canvas->CountOf(Red);
    };
    // Opaque: the text's whole cell is painted, none of the green under it stays.
    SIZE cell = Extent(canvas->dc, "Hello");
    EXPECT_GT(draw(false), 0);
    for (int y = 10; y < 10 + cell.cy; y++)
        for (int x = 10; x < 10 + cell.cx; x++)
            ASSERT_NE(canvas->At(x, y), Green) << x << "," << y;
    EXPECT_EQ(draw(true), 0);
    EXPECT_EQ(GetBkMode(canvas->dc), OPAQUE);
    EXPECT_GT(draw(false), 0);
    context->setMode(context, MODE_TRANSPARENT);
    EXPECT_EQ(draw(false), 0);
    EXPECT_EQ(draw(true), 0);
    EXPECT_EQ(GetBkMode(canvas->dc), TRANSPARENT);
    EXPECT_GT(canvas->CountOf(White), 0);
}

TEST_F(TextTest, HandlesThatAreNoFontsAreRefused) {
    SetDrawingFont(italic);
    int overhang = context->italicOverhang;
    HFONT deleted = MakeFont(FALSE);
    DeleteObject(deleted);
    HPEN pen = CreatePen(PS_SOLID, 0, Red);
    DrawString(0, 0, "", White);
    for (HFONT handle : {HFONT(nullptr), deleted, reinterpret_cast<HFONT>(pen)}) {
        EXPECT_EQ(SetDrawingFont(handle), 0);
        EXPECT_EQ(context->font, italic);
        EXPECT_EQ(context->italicOverhang, overhang);
        EXPECT_EQ(GetCurrentObject(canvas->dc, OBJ_FONT), italic);
        EXPECT_EQ(GetCurrentObject(canvas->dc, OBJ_PEN), context->pen);
    }
    DeleteObject(pen);
    // Outside a begun span the entry points do nothing.
    EndDrawing();
    PlainOutput(canvas->dc);
    EXPECT_EQ(SetDrawingFont(font), 0);
    EXPECT_EQ(DrawString(5, 5, "Hi", White), 0);
    EXPECT_EQ(DrawAngledString(5, 5, "Hi", 10, White), 0);
    EXPECT_EQ(TextWidth("Hi"), 0);
    EXPECT_EQ(TextHeight("Hi"), 0);
    EXPECT_EQ(canvas->CountOf(Black), 200 * 200);
}

// A surface re-makes its DC after its memory was locked: the font and alignment come back. A
// DC that cannot be had any more leaves every operation without anything to read.
TEST_F(TextTest, TextOnASurfaceAfterItsMemoryWasLocked) {
    int hello = Extent(canvas->dc, "Hello").cx, height = Extent(canvas->dc, "Hello").cy;
    EndDrawing();
    SurfaceCanvas surface(100, 40);
    DrawingContext* locked = surface.Output(FORMAT_XRGB8888);
    BeginDrawing(locked);
    SetDrawingFont(font);
    for (int i = 0; i < 2; i++) {
        locked->bufferAddress(locked);
        EXPECT_EQ(DrawString(2, 2, "Hello", White), 2 + hello);
        locked->bufferAddress(locked);
        EXPECT_EQ(TextWidth("Hello"), hello);
        locked->bufferAddress(locked);
        EXPECT_NE(DrawAngledString(2, 2, "Hello", 30, White), 0);
    }
    EXPECT_EQ(surface.acquires, 6);
    EXPECT_GT(surface.CountOf(White), 0);

    locked->bufferAddress(locked);
    locked->acquireDC = [](DrawingContext*) -> HDC { return nullptr; };
    EXPECT_EQ(DrawString(7, 2, "Hello", White), 7);
    EXPECT_EQ(TextWidth("Hello"), 0);
    EXPECT_EQ(TextHeight("Hello"), 0);
    EXPECT_EQ(DrawAngledString(7, 2, "Hello", 45, White), 0);
    EXPECT_NE(height, 0);
}

} // namespace
