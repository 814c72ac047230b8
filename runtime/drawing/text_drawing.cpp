#include "runtime/drawing/text_drawing.h"

#include "runtime/image/image_objects.h"

#include <math.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

namespace {

// The escapement of a rotated font for a reduced angle, in tenths of a degree.
LONG EscapementOf(float reduced) {
    return static_cast<LONG>(reduced * 10);
}

// Selects the rotated copy of font for angle, made anew only when the reduced angle asks for
// another escapement: an angle that moves by less than a tenth of a degree draws the same.
int SelectAngledFont(DrawingContext* context, float angle) {
    // A NaN or infinite angle has no reduction and no escapement.
    if (!isfinite(angle))
        return 0;
    float reduced = static_cast<float>(fmod(angle, 360.0));
    if (context->angledFont && EscapementOf(context->angledFontAngle) == EscapementOf(reduced)) {
        SelectObject(context->dc, context->angledFont);
        return 1;
    }
    LOGFONTA description;
    if (GetObjectA(context->font, sizeof description, &description) != sizeof description)
        return 0;
    description.lfEscapement = description.lfOrientation = EscapementOf(reduced);
    // Only an outline font can be turned.
    description.lfOutPrecision = OUT_TT_ONLY_PRECIS;
    if (context->angledFont)
        DeleteObject(context->angledFont);
    context->angledFont = CreateFontIndirectA(&description);
    if (!context->angledFont)
        return 0;
    SelectObject(context->dc, context->angledFont);
    context->angledFontAngle = reduced;
    return 1;
}

// The rightmost lit column in the top rows of a top-down 1-bit picture, where an italic glyph's
// slant reaches furthest; -1 when none is lit. Read as memory: a GetPixel a pixel costs far
// more than drawing the glyph.
int RightmostLitColumn(const uint8_t* bits, int stride, int columns, int rows) {
    int rightmost = -1;
    for (int row = 0; row < rows; ++row) {
        const uint8_t* line = bits + static_cast<size_t>(row) * stride;
        for (int column = columns - 1; column > rightmost; --column)
            if (line[column >> 3] & (0x80 >> (column & 7))) {
                rightmost = column;
                break;
            }
    }
    return rightmost;
}

// Overhangs measured before, by the font's description: a program sets its font anew in every
// span, and the same description always measures the same.
struct KnownOverhang {
    LOGFONTA description;
    int overhang;
};
constexpr int KNOWN_OVERHANGS = 16;
KnownOverhang KnownOverhangs[KNOWN_OVERHANGS];
int KnownOverhangCount, NextKnownOverhang;

bool SameDescription(const LOGFONTA& a, const LOGFONTA& b) {
    return memcmp(&a, &b, offsetof(LOGFONTA, lfFaceName)) == 0 &&
           strncmp(a.lfFaceName, b.lfFaceName, LF_FACESIZE) == 0;
}

int ItalicOverhangOf(HFONT font) {
    LOGFONTA description;
    if (GetObjectA(font, sizeof description, &description) != sizeof description)
        return MeasureItalicOverhang(font);
    for (int i = 0; i < KnownOverhangCount; ++i)
        if (SameDescription(KnownOverhangs[i].description, description))
            return KnownOverhangs[i].overhang;
    KnownOverhang& known = KnownOverhangs[NextKnownOverhang];
    NextKnownOverhang = (NextKnownOverhang + 1) % KNOWN_OVERHANGS;
    if (KnownOverhangCount < KNOWN_OVERHANGS)
        ++KnownOverhangCount;
    known = {description, MeasureItalicOverhang(font)};
    return known.overhang;
}

// GDI's extent of text in the selected font; false for no text or when GDI cannot tell (and
// then size is never read).
bool Extent(DrawingContext* context, const char* text, SIZE* size) {
    if (!text || !*text)
        return false;
    EnsureDC(context);
    return GetTextExtentPoint32A(context->dc, text, static_cast<int>(strlen(text)), size) != 0;
}

} // namespace

int MeasureItalicOverhang(HFONT font) {
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc)
        return 0;
    SelectObject(dc, font);
    int overhang = 0;
    HBITMAP bitmap = nullptr;
    TEXTMETRICA metrics;
    SIZE size;
    if (GetTextMetricsA(dc, &metrics) && metrics.tmItalic &&
        GetTextExtentPoint32A(dc, "H", 1, &size)) {
        // One bit a pixel, top-down, black and white: what a bitmap compatible with a memory DC
        // is, but with its bits in reach.
        int width = 2 * size.cx, height = 2 * size.cy;
        struct {
            BITMAPINFOHEADER header;
            RGBQUAD colors[2];
        } info = {{sizeof(BITMAPINFOHEADER), width, -height, 1, 1, BI_RGB, 0, 0, 0, 2, 2},
                  {{0, 0, 0, 0}, {255, 255, 255, 0}}};
        void* bits = nullptr;
        bitmap = CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits,
                                  nullptr, 0);
        if (bitmap) {
            SelectObject(dc, bitmap);
            SetBkMode(dc, OPAQUE);
            SetTextAlign(dc, 0);
            SetBkColor(dc, 0);
            SetTextColor(dc, 0xFFFFFF);
            RECT all = {0, 0, width, height};
            FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
            TextOutA(dc, 0, 0, "H", 1);
            GdiFlush();
            int column = RightmostLitColumn(static_cast<uint8_t*>(bits), BitmapRowStride(width, 1),
                                            width, size.cy);
            if (column >= 0)
                overhang = column - size.cx + 2;
        }
    }
    DeleteDC(dc);
    if (bitmap)
        DeleteObject(bitmap);
    return overhang;
}

int TextSetFont(DrawingContext* context, HFONT font) {
    EnsureDC(context);
    if (font == DRAWING_SYSTEM_FONT)
        font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    // Anything but a live font would replace the pen or brush in the DC, or leave it a dead
    // handle to select on every re-acquired DC.
    if (GetObjectType(font) != OBJ_FONT)
        return 0;
    SelectObject(context->dc, font);
    context->font = font;
    context->italicOverhang = ItalicOverhangOf(font);
    // A rotated copy never outlives the font it was made from.
    if (context->angledFont) {
        DeleteObject(context->angledFont);
        context->angledFont = nullptr;
    }
    return 1;
}

// With TA_UPDATECP the text starts at the current position, and the position after it is the
// end of the text.
int TextDraw(DrawingContext* context, int x, int y, const char* text) {
    EnsureDC(context);
    HDC dc = context->dc;
    MoveToEx(dc, x, y, nullptr);
    if (text && *text)
        TextOutA(dc, 0, 0, text, static_cast<int>(strlen(text)));
    POINT end = {x, y}; // stays when there is no DC to ask
    MoveToEx(dc, 0, 0, &end);
    return end.x;
}

int TextDrawAngled(DrawingContext* context, int x, int y, const char* text, float angle) {
    EnsureDC(context);
    if (!text || !*text || !SelectAngledFont(context, angle))
        return 0;
    HDC dc = context->dc;
    bool opaque = !(context->mode & MODE_TRANSPARENT);
    if (opaque)
        SetBkMode(dc, TRANSPARENT);
    MoveToEx(dc, x, y, nullptr);
    int drawn = TextOutA(dc, 0, 0, text, static_cast<int>(strlen(text)));
    // The measures rely on the straight font being selected.
    SelectObject(dc, context->font);
    if (opaque)
        SetBkMode(dc, OPAQUE);
    return drawn;
}

int TextMeasureHeight(DrawingContext* context, const char* text) {
    SIZE size;
    return Extent(context, text, &size) ? size.cy : 0;
}

int TextMeasureWidth(DrawingContext* context, const char* text) {
    SIZE size;
    return Extent(context, text, &size) ? size.cx + context->italicOverhang : 0;
}

int SetDrawingFont(HFONT font) {
    DrawingContext* context = BegunContext();
    return context ? context->setFont(context, font) : 0;
}

int DrawString(int x, int y, const char* text, int color) {
    DrawingContext* context = BegunContext();
    if (!context)
        return 0;
    ApplyColor(context, color);
    return context->text(context, x + context->originX, y + context->originY, text) -
           context->originX;
}

int DrawAngledString(int x, int y, const char* text, float angle, int color) {
    DrawingContext* context = BegunContext();
    if (!context)
        return 0;
    ApplyColor(context, color);
    return context->angledText(context, x + context->originX, y + context->originY, text, angle);
}

int TextWidth(const char* text) {
    DrawingContext* context = BegunContext();
    return context ? context->textWidth(context, text) : 0;
}

int TextHeight(const char* text) {
    DrawingContext* context = BegunContext();
    return context ? context->textHeight(context, text) : 0;
}
