#include "runtime/drawing/shapes.h"

#include <stdint.h>

int ShapeSetBackColor(DrawingContext* context, int color) {
    EnsureDC(context);
    return static_cast<int>(SetBkColor(context->dc, color));
}

// Does not write color: the entry points and setMode have stored it already. The new object is
// always selected before the old one is deleted.
int ShapeSetColor(DrawingContext* context, int color) {
    EnsureDC(context);
    HDC dc = context->dc;
    if (!(context->mode & MODE_OUTLINED)) {
        if (HBRUSH brush = CreateSolidBrush(color)) {
            SelectObject(dc, brush);
            if (context->brush)
                DeleteObject(context->brush);
            context->brush = brush;
        }
    }
    if (HPEN pen = CreatePen(PS_SOLID, 0, color)) {
        SelectObject(dc, pen);
        if (context->pen)
            DeleteObject(context->pen);
        context->pen = pen;
    }
    return static_cast<int>(SetTextColor(dc, color));
}

int ShapeSetMode(DrawingContext* context, int flags) {
    EnsureDC(context);
    HDC dc = context->dc;
    context->mode = flags;
    SetROP2(dc, (flags & MODE_XOR) ? R2_NOT : R2_COPYPEN);
    SelectObject(dc, (flags & MODE_OUTLINED) ? GetStockObject(NULL_BRUSH) : context->brush);
    SetBkMode(dc, (flags & MODE_TRANSPARENT) ? TRANSPARENT : OPAQUE);
    // Re-creates the pen and (unless outlined) the brush, so no brush from before an outlined
    // period survives.
    context->setColor(context, context->color);
    return 0;
}

int ShapeBox(DrawingContext* context, int x, int y, int width, int height) {
    EnsureDC(context);
    if ((width == 1 || width == -1) && (height == 1 || height == -1)) {
        int px = width == 1 ? x : x - 1;
        int py = height == 1 ? y : y - 1;
        return SetPixelV(context->dc, px, py, context->color);
    }
    return Rectangle(context->dc, x, y, x + width, y + height);
}

int ShapeRoundedBox(DrawingContext* context, int x, int y, int width, int height, int rx, int ry) {
    EnsureDC(context);
    return RoundRect(context->dc, x, y, x + width, y + height, 2 * rx, 2 * ry);
}

int ShapeEllipse(DrawingContext* context, int x, int y, int rx, int ry) {
    EnsureDC(context);
    HDC dc = context->dc;
    if (rx > 1 || ry > 1)
        return Ellipse(dc, x - rx, y - ry, x + rx + 1, y + ry + 1);
    COLORREF color = context->color;
    int result = 0;
    if (rx == 1) {
        SetPixelV(dc, x - 1, y, color);
        result = SetPixelV(dc, x + 1, y, color);
    }
    if (ry == 1) {
        SetPixelV(dc, x, y - 1, color);
        result = SetPixelV(dc, x, y + 1, color);
    }
    if (!((context->mode & MODE_OUTLINED) && rx != 0 && ry != 0))
        result = SetPixelV(dc, x, y, color);
    return result;
}

int ShapeCircle(DrawingContext* context, int x, int y, int r) {
    EnsureDC(context);
    HDC dc = context->dc;
    COLORREF color = context->color;
    if (r == 0) {
        SetPixelV(dc, x, y, color);
    } else if (r == 1) {
        SetPixelV(dc, x, y - 1, color);
        SetPixelV(dc, x, y + 1, color);
        SetPixelV(dc, x - 1, y, color);
        int result = SetPixelV(dc, x + 1, y, color);
        if (!(context->mode & MODE_OUTLINED))
            result = SetPixelV(dc, x, y, color);
        return result;
    }
    return Ellipse(dc, x - r, y - r, x + r + 1, y + r + 1);
}

// LineTo leaves out the end point; SetPixelV adds it, so a line covers both ends.
int ShapeLine(DrawingContext* context, int x1, int y1, int x2, int y2) {
    EnsureDC(context);
    HDC dc = context->dc;
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
    return SetPixelV(dc, x2, y2, context->color);
}

// A fill always paints solidly: an outlined mode is lifted for its duration.
int ShapeFill(DrawingContext* context, int x, int y, int border) {
    EnsureDC(context);
    int savedMode = context->mode;
    bool outlined = (savedMode & MODE_OUTLINED) != 0;
    HBRUSH temporary = nullptr;
    HGDIOBJ replaced = nullptr;
    if (outlined) {
        context->setMode(context, savedMode & ~MODE_OUTLINED);
        temporary = CreateSolidBrush(context->color);
        if (temporary)
            replaced = SelectObject(context->dc, temporary);
    }
    HDC dc = context->dc;
    int result;
    if (border == -1)
        result = ExtFloodFill(dc, x, y, GetPixel(dc, x, y), FLOODFILLSURFACE);
    else
        result = ExtFloodFill(dc, x, y, border, FLOODFILLBORDER);
    if (outlined) {
        if (temporary) {
            SelectObject(dc, replaced);
            DeleteObject(temporary);
        }
        context->setMode(context, savedMode);
    }
    return result;
}

int ShapePlotCurrent(DrawingContext* context, int x, int y) {
    EnsureDC(context);
    return SetPixelV(context->dc, x, y, context->color);
}

int ShapePixel(DrawingContext* context, int x, int y) {
    EnsureDC(context);
    return static_cast<int>(GetPixel(context->dc, x, y));
}

// Writes straight into a surface's locked memory where its format allows; a point outside the
// output, or memory that could not be locked, is ignored.
int ShapePlot(DrawingContext* context, int x, int y, int color) {
    if (context->kind != OUTPUT_SURFACE) {
        SetPixelV(context->dc, x, y, color);
        return 0;
    }
    int format = context->pixelFormat;
    if (format != FORMAT_PALETTED8 && format != FORMAT_RGB555 && format != FORMAT_RGB565 &&
        format != FORMAT_XRGB8888) {
        EnsureDC(context);
        SetPixelV(context->dc, x, y, color);
        return 0;
    }
    if (context->access == ACCESS_DC) {
        context->buffer = context->lockBuffer(context, &context->pitch);
        context->access = ACCESS_BUFFER;
    }
    if (!context->buffer || x < 0 || y < 0 || x >= context->width || y >= context->height)
        return 0;
    unsigned r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
    uint8_t* row =
        static_cast<uint8_t*>(context->buffer) + static_cast<intptr_t>(y) * context->pitch;
    switch (format) {
    case FORMAT_PALETTED8:
        row[x] = static_cast<uint8_t>(r);
        break;
    case FORMAT_RGB555:
        reinterpret_cast<uint16_t*>(row)[x] =
            static_cast<uint16_t>((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
        break;
    case FORMAT_RGB565:
        reinterpret_cast<uint16_t*>(row)[x] =
            static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
        break;
    default:
        reinterpret_cast<uint32_t*>(row)[x] = 0xFFu << 24 | r << 16 | g << 8 | b;
        break;
    }
    return 0;
}
