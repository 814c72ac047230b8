// The shape, colour and mode operations of a drawing context, drawn with GDI on its dc. They
// fill the context's operation slots; callers reach them through the slots.
#pragma once

#include "runtime/drawing/drawing_context.h"

int ShapeSetBackColor(DrawingContext* context, int color);
int ShapeBox(DrawingContext* context, int x, int y, int width, int height);
int ShapeRoundedBox(DrawingContext* context, int x, int y, int width, int height, int rx, int ry);
int ShapeCircle(DrawingContext* context, int x, int y, int r);
int ShapeSetMode(DrawingContext* context, int flags);
int ShapeEllipse(DrawingContext* context, int x, int y, int rx, int ry);
int ShapeFill(DrawingContext* context, int x, int y, int border);
int ShapeSetColor(DrawingContext* context, int color);
int ShapeLine(DrawingContext* context, int x1, int y1, int x2, int y2);
int ShapePlotCurrent(DrawingContext* context, int x, int y);
int ShapePlot(DrawingContext* context, int x, int y, int color);
int ShapePixel(DrawingContext* context, int x, int y);
