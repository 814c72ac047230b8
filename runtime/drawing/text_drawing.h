// The text operations of a drawing context: the font, straight and rotated text, and text
// measures, drawn with GDI's ANSI calls on its dc in the context's colour. They fill the
// context's operation slots; the entry points of qv/drawing.h reach them for the current span.
#pragma once

#include "runtime/drawing/drawing_context.h"

// Selects font (or DRAWING_SYSTEM_FONT) and takes its italic overhang, measured once for each
// font description; 1, or 0 when the handle is no live font (the context then keeps its font).
// The font stays the caller's.
int TextSetFont(DrawingContext* context, HFONT font);
// Draws text with its top-left corner at (x, y); the x just after it (x for no text).
int TextDraw(DrawingContext* context, int x, int y, const char* text);
// Draws text turned counter-clockwise by angle degrees, never with a background; non-zero when
// drawn, 0 when nothing was (no text, an angle that is not finite, no rotated font). The
// rotated font is kept for the span while the angle asks for the same escapement (tenths of a
// degree).
int TextDrawAngled(DrawingContext* context, int x, int y, const char* text, float angle);
// Height in pixels; 0 for a null or empty text.
int TextMeasureHeight(DrawingContext* context, const char* text);
// Width in pixels including the italic overhang; 0 for a null or empty text.
int TextMeasureWidth(DrawingContext* context, const char* text);

// How far an italic font's capital H reaches beyond its reported width, measured anew on each
// call; 0 for an upright font or when the scratch DC or bitmap cannot be made.
int MeasureItalicOverhang(HFONT font);
