// Any GDI DC as a drawing output of the plain kind, held by its owner for the whole span.
#pragma once

#include "runtime/drawing/drawing_context.h"

// A context over dc, made current, for BeginDrawing; null when dc is no live DC (IsLiveDC) or
// the context cannot be made. The size and depth are those of the bitmap selected in a memory DC,
// else the device's. The DC stays the caller's: ending the span gives nothing back.
DrawingContext* PlainOutput(HDC dc);
