#include "runtime/drawing/drawing_context.h"

#include "runtime/core/heap.h"
#include "runtime/drawing/image_drawing.h"
#include "runtime/drawing/shapes.h"
#include "runtime/drawing/text_drawing.h"

DWORD drawingSlot;
DrawingContext* currentContext;

namespace {

void* BufferAddress(DrawingContext* context) {
    if (context->kind != OUTPUT_SURFACE)
        return nullptr;
    if (context->access == ACCESS_DC) {
        context->buffer = context->lockBuffer(context, &context->pitch);
        context->access = ACCESS_BUFFER;
    }
    return context->buffer;
}

int BufferPitch(DrawingContext* context) {
    return context->kind == OUTPUT_SURFACE ? context->pitch : 0;
}

int BufferFormat(DrawingContext* context) {
    return context->kind == OUTPUT_SURFACE ? context->pixelFormat : 0;
}

HDC Start(DrawingContext* context) {
    context->defaultBrush = CreateSolidBrush(0);
    context->defaultPen = CreatePen(PS_SOLID, 0, 0);
    context->mode = 0;
    context->access = ACCESS_DC;
    HDC dc = context->dc;
    if (!IsLiveDC(dc)) {
        DeleteObject(context->defaultBrush);
        DeleteObject(context->defaultPen);
        context->defaultBrush = nullptr;
        context->defaultPen = nullptr;
        return nullptr;
    }
    SetTextAlign(dc, TA_UPDATECP);
    context->font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    context->brush = CreateSolidBrush(0);
    context->savedBrush = SelectObject(dc, context->defaultBrush);
    context->savedPen = SelectObject(dc, context->defaultPen);
    context->savedFont = SelectObject(dc, context->font);
    return dc;
}

// Without EnsureDC: while a surface's memory is locked dc is 0, the selections do nothing and
// the objects are selected in no DC of ours.
int Stop(DrawingContext* context) {
    HDC dc = context->dc;
    if (dc) {
        SelectObject(dc, context->savedBrush);
        SelectObject(dc, context->savedPen);
        SelectObject(dc, context->savedFont);
    }
    if (context->brush)
        DeleteObject(context->brush);
    if (context->pen)
        DeleteObject(context->pen);
    if (context->angledFont)
        DeleteObject(context->angledFont);
    if (context->defaultBrush)
        DeleteObject(context->defaultBrush);
    if (context->defaultPen)
        DeleteObject(context->defaultPen);
    if (context->imageDC)
        DeleteDC(context->imageDC);
    context->imageDC = nullptr;
    context->brush = nullptr;
    context->pen = nullptr;
    context->angledFont = nullptr;
    context->defaultBrush = nullptr;
    context->defaultPen = nullptr;
    return 0;
}

void FreeContext(DrawingContext* context) {
    RuntimeFree(context);
    TlsSetValue(drawingSlot, nullptr);
    currentContext = nullptr;
}

} // namespace

bool IsLiveDC(HDC dc) {
    switch (dc ? GetObjectType(dc) : 0) {
    case OBJ_DC:
    case OBJ_MEMDC:
    case OBJ_METADC:
    case OBJ_ENHMETADC:
        return true;
    default:
        return false;
    }
}

void ApplyColor(DrawingContext* context, int color) {
    if (color != context->color) {
        context->color = color;
        context->setColor(context, color);
    }
}

void StartDrawingSlot() {
    drawingSlot = TlsAlloc();
    // A span left open when the runtime ends has its record in the heap that goes: no call
    // after the end may reach it. Its GDI objects stay, as nothing can end it any more.
    RuntimeHeap_OnDestroy([] {
        currentContext = nullptr;
        TlsSetValue(drawingSlot, nullptr);
    });
}

// A context that was current before is left as it is: its caller may still hold it, and
// callers end one span before starting the next.
DrawingContext* CreateDrawingContext() {
    DrawingContext* context =
        static_cast<DrawingContext*>(RuntimeAlloc(sizeof(DrawingContext), HEAP_ZERO_MEMORY));
    if (!context)
        return nullptr;
    TlsSetValue(drawingSlot, context);
    currentContext = context;
    context->color = -1;
    context->backColor = -1;

    context->setBackColor = ShapeSetBackColor;
    context->box = ShapeBox;
    context->roundedBox = ShapeRoundedBox;
    context->circle = ShapeCircle;
    context->setFont = TextSetFont;
    context->bufferAddress = BufferAddress;
    context->bufferPitch = BufferPitch;
    context->bufferFormat = BufferFormat;
    context->setMode = ShapeSetMode;
    context->image = ImageDraw;
    context->imageScaled = ImageDrawScaled;
    context->imageBlended = ImageDrawBlended;
    context->text = TextDraw;
    context->angledText = TextDrawAngled;
    context->ellipse = ShapeEllipse;
    context->fill = ShapeFill;
    context->setColor = ShapeSetColor;
    context->grab = ImageGrab;
    context->line = ShapeLine;
    context->plotCurrent = ShapePlotCurrent;
    context->plot = ShapePlot;
    context->pixel = ShapePixel;
    context->start = Start;
    context->stop = Stop;
    context->textHeight = TextMeasureHeight;
    context->textWidth = TextMeasureWidth;
    return context;
}

HDC BeginDrawing(DrawingContext* context) {
    // Any other context was replaced by a newer one, so no EndDrawing could reach its span, or
    // has been ended and freed; it is not touched. A span begun already is not begun again.
    if (!context || context != currentContext || context->access != 0)
        return nullptr;
    HDC dc = context->start(context);
    if (dc)
        return dc;
    if (context->release)
        context->release(context, 0);
    FreeContext(context);
    return nullptr;
}

void EndDrawing() {
    DrawingContext* context = currentContext;
    if (!context)
        return;
    context->stop(context);
    if (context->release)
        context->release(context, 1);
    FreeContext(context);
}

int DrawBox(int x, int y, int width, int height, int color) {
    DrawingContext* context = BegunContext();
    if (!context)
        return 0;
    ApplyColor(context, color);
    return context->box(context, x + context->originX, y + context->originY, width, height);
}

int DrawLineTo(int x1, int y1, int x2, int y2, int color) {
    DrawingContext* context = BegunContext();
    if (!context)
        return 0;
    ApplyColor(context, color);
    return context->line(context, x1 + context->originX, y1 + context->originY,
                         x2 + context->originX, y2 + context->originY);
}

int FloodFill(int x, int y, int borderColor, int fillColor) {
    DrawingContext* context = BegunContext();
    if (!context)
        return 0;
    ApplyColor(context, fillColor);
    return context->fill(context, x + context->originX, y + context->originY, borderColor);
}

int SetDrawingMode(int flags) {
    DrawingContext* context = BegunContext();
    if (!context)
        return 0;
    context->setMode(context, flags);
    return 1;
}

// Stored first, as the entry points store color: a re-acquired DC is given backColor again.
int SetDrawingBackColor(int color) {
    DrawingContext* context = BegunContext();
    if (!context)
        return 0;
    context->backColor = color;
    return context->setBackColor(context, color);
}

void EnsureDC(DrawingContext* context) {
    if (context->kind != OUTPUT_SURFACE || context->access != ACCESS_BUFFER)
        return;
    context->access = ACCESS_DC;
    HDC dc = context->acquireDC(context);
    context->dc = dc;
    SetTextColor(dc, context->color);
    SetTextAlign(dc, TA_UPDATECP);
    SetBkColor(dc, context->backColor);
    if (context->mode)
        context->setMode(context, context->mode);
    else
        SelectObject(dc, context->brush);
    SelectObject(dc, context->pen);
    SelectObject(dc, context->font);
}
