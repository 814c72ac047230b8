#include "drawing/drawing_canvas.h"
#include "runtime/drawing/text_drawing.h"
#include "runtime_fixture.h"

#include <algorithm>
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

// A 200 x 200 black plain output with a span begun on it in the upright font.
class TextTest : public RuntimeTest {
  protected:
    PlainCanvas* canvas = nullptr;
    DrawingContext* context = nullptr;
    HFONT font = MakeFont(FALSE), italic = MakeFont(TRUE);

    void SetUp() override {
        RuntimeTest::SetUp();
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
    SIZE Extent(const char* text) {
        SIZE size = {};
        GetTextExtentPoint32A(canvas->dc, text, static_cast<int>(strlen(text)), &size);
        return size;
    }
    // The box around the pixels that are not black.
    RECT Ink() {
        RECT box = {200, 200, 0, 0};
        for (int y = 0; y < 200; y++)
            for (int x = 0; x < 200; x++)
                if (canvas->At(x, y) != Black)
                    box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y),
                           std::max<LONG>(box.right, x + 1), std::max<LONG>(box.bottom, y + 1)};
        return box;
    }
};

TEST_F(TextTest, TextEndsWhereTheNextOneContinues) {
    int hello = Extent("Hello").cx, whole = Extent("Hello, world").cx;
    EXPECT_EQ(DrawString(30, 40, "", White), 30);
    EXPECT_EQ(DrawString(30, 40, nullptr, White), 30);
    // The end comes back in the caller's coordinates, ready for the next text.
    context->originX = 7;
    EXPECT_EQ(DrawString(3, 10, "Hello", White), 3 + hello);
    EXPECT_EQ(DrawString(3 + hello, 10, ", world", White), 3 + whole);

    PlainCanvas once(200, 200);
    once.Clear(Black);
    EndDrawing();
    BeginDrawing(PlainOutput(once.dc));
    SetDrawingFont(font);
    DrawString(10, 10, "Hello, world", White);
    for (int y = 0; y < 200; y++)
        ASSERT_EQ(memcmp(canvas->Row(y), once.Row(y), once.pitch), 0) << "row " << y;
}

// The overhang as the pixels show it, asked for one by one: the rightmost lit column in the top
// half of a bitmap compatible with a memory DC, "H" drawn white on black at its top left.
int OverhangByPixels(HFONT font) {
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, font);
    SIZE size;
    GetTextExtentPoint32A(dc, "H", 1, &size);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 2 * size.cx, 2 * size.cy);
    SelectObject(dc, bitmap);
    SetTextColor(dc, 0xFFFFFF);
    SetBkColor(dc, 0);
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, nullptr, "H", 1, nullptr);
    int lit = -1;
    for (int column = 2 * size.cx - 1; column >= 0 && lit < 0; --column)
        for (int row = 0; row < size.cy && lit < 0; ++row)
            lit = GetPixel(dc, column, row) ? column : -1;
    DeleteDC(dc);
    DeleteObject(bitmap);
    return lit < 0 ? 0 : lit - size.cx + 2;
}

TEST_F(TextTest, ItalicOverhangIsTheSameForEveryText) {
    // Each font keeps its own, whatever was set before, and it is what the pixels show.
    HFONT bold = CreateFontA(-40, 0, 0, 0, FW_BOLD, TRUE, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, 0, "DejaVu Serif");
    for (HFONT each : {italic, bold, italic, bold}) {
        ASSERT_EQ(SetDrawingFont(each), 1);
        EXPECT_EQ(context->italicOverhang, OverhangByPixels(each));
    }
    DeleteObject(bold);
    ASSERT_EQ(SetDrawingFont(italic), 1);
    int overhang = context->italicOverhang;
    EXPECT_GT(overhang, 0);
    for (const char* text : {"H", "Hello", "iiii", "WWW W"}) {
        EXPECT_EQ(TextWidth(text), Extent(text).cx + overhang) << text;
        EXPECT_EQ(TextHeight(text), Extent(text).cy) << text;
    }
    for (HFONT upright : {font, DRAWING_SYSTEM_FONT}) {
        SetDrawingFont(upright);
        EXPECT_EQ(context->italicOverhang, 0);
        EXPECT_EQ(TextWidth("Hello"), Extent("Hello").cx);
    }
    EXPECT_EQ(context->font, GetStockObject(SYSTEM_FONT));
    EXPECT_EQ(TextWidth(""), 0);
    EXPECT_EQ(TextHeight(nullptr), 0);
}

TEST_F(TextTest, RotatedFontIsKeptForTheSameReducedAngle) {
    auto angled = [&](float angle) {
        LOGFONTA description = {};
        if (!DrawAngledString(100, 100, "Hi", angle, White))
            return -1L;
        EXPECT_EQ(GetCurrentObject(canvas->dc, OBJ_FONT), context->font);
        GetObjectA(context->angledFont, sizeof description, &description);
        return description.lfEscapement;
    };
    EXPECT_EQ(angled(10), 100);
    HFONT ten = context->angledFont;
    EXPECT_EQ(angled(370), 100);
    EXPECT_EQ(context->angledFont, ten);
    EXPECT_EQ(angled(10.05f), 100); // the same escapement: the same font
    EXPECT_EQ(context->angledFont, ten);
    EXPECT_EQ(angled(-350), -3500);
    EXPECT_EQ(GetObjectType(ten), 0u);
    EXPECT_EQ(angled(0.05f), 0);
    EXPECT_EQ(angled(-0.05f), 0);
    EXPECT_EQ(angled(1e30f), static_cast<LONG>(static_cast<float>(fmod(1e30f, 360.0)) * 10));
    // Nothing to reduce: nothing drawn, and the rotated font is kept.
    HFONT kept = context->angledFont;
    canvas->Clear(Black);
    for (float odd : {NAN, INFINITY, -INFINITY})
        EXPECT_EQ(angled(odd), -1);
    EXPECT_EQ(canvas->CountOf(Black), 200 * 200);
    EXPECT_EQ(context->angledFont, kept);

    SetDrawingFont(italic);
    EXPECT_EQ(GetObjectType(kept), 0u);
    EXPECT_EQ(context->angledFont, nullptr);
    angled(20);
    kept = context->angledFont;
    EndDrawing();
    EXPECT_EQ(GetObjectType(kept), 0u);
    EXPECT_EQ(GetObjectType(italic), static_cast<DWORD>(OBJ_FONT));
    EXPECT_EQ(GetCurrentObject(canvas->dc, OBJ_FONT), GetStockObject(SYSTEM_FONT));
}

TEST_F(TextTest, NinetyDegreesStandsTheTextUp) {
    DrawString(20, 20, "Hello", White);
    RECT straight = Ink();
    EXPECT_GT(straight.right - straight.left, straight.bottom - straight.top);
    canvas->Clear(Black);
    // Counter-clockwise: the line runs up from the start, the glyphs' tops face left.
    DrawAngledString(50, 150, "Hello", 90, White);
    RECT turned = Ink();
    EXPECT_GT(turned.bottom - turned.top, turned.right - turned.left);
    EXPECT_LE(turned.bottom, 150);
    EXPECT_GE(turned.left, 50);
}

TEST_F(TextTest, BackgroundIsPaintedOnlyInOpaqueMode) {
    EXPECT_EQ(SetDrawingBackColor(Red), static_cast<int>(White)); // a new DC's
    EXPECT_EQ(SetDrawingBackColor(Red), static_cast<int>(Red));
    auto reds = [&](bool angled) {
        canvas->Clear(Green);
        angled ? DrawAngledString(10, 10, "Hello", 0, White) : DrawString(10, 10, "Hello", White);
        return canvas->CountOf(Red);
    };
    EXPECT_GT(reds(false), 0);
    // The text's whole cell is painted over.
    for (int y = 10; y < 10 + Extent("Hello").cy; y++)
        for (int x = 10; x < 10 + Extent("Hello").cx; x++)
            ASSERT_NE(canvas->At(x, y), Green) << x << "," << y;
    EXPECT_EQ(reds(true), 0);
    EXPECT_EQ(GetBkMode(canvas->dc), OPAQUE);
    EXPECT_GT(reds(false), 0);
    EXPECT_EQ(SetDrawingMode(MODE_TRANSPARENT), 1);
    EXPECT_EQ(reds(false), 0);
    EXPECT_EQ(reds(true), 0);
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
    // A context made but not begun: the entry points do nothing.
    EndDrawing();
    PlainOutput(canvas->dc);
    EXPECT_EQ(SetDrawingFont(font) + DrawString(5, 5, "Hi", White) + TextWidth("Hi") +
                  TextHeight("Hi") + DrawAngledString(5, 5, "Hi", 10, White) +
                  SetDrawingMode(MODE_TRANSPARENT) + SetDrawingBackColor(Red),
              0);
    EXPECT_EQ(canvas->CountOf(Black), 200 * 200);
}

// A surface re-makes its DC after its memory was locked: font and alignment come back. When no
// DC can be had any more, nothing is read from the failed calls.
TEST_F(TextTest, TextOnASurfaceAfterItsMemoryWasLocked) {
    SIZE hello = Extent("Hello");
    EndDrawing();
    SurfaceCanvas surface(100, 40);
    DrawingContext* locked = surface.Output(FORMAT_XRGB8888);
    BeginDrawing(locked);
    SetDrawingFont(font);
    SetDrawingBackColor(Red); // and a fresh DC paints it too
    locked->bufferAddress(locked);
    EXPECT_EQ(DrawString(2, 2, "Hello", White), 2 + hello.cx);
    EXPECT_GT(surface.CountOf(Red), 0);
    locked->bufferAddress(locked);
    EXPECT_EQ(TextHeight("Hello"), hello.cy);
    locked->bufferAddress(locked);
    EXPECT_NE(DrawAngledString(2, 2, "Hello", 30, White), 0);
    EXPECT_EQ(surface.acquires, 3);
    EXPECT_GT(surface.CountOf(White), 0);

    locked->bufferAddress(locked);
    locked->acquireDC = [](DrawingContext*) -> HDC { return nullptr; };
    EXPECT_EQ(DrawString(7, 2, "Hello", White), 7);
    EXPECT_EQ(TextWidth("Hello") + TextHeight("Hello"), 0);
    EXPECT_EQ(DrawAngledString(7, 2, "Hello", 45, White), 0);
}

} // namespace
