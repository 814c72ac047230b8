// The screen's back buffer as an output of the drawing layer: lent either as a GDI DC or as
// locked pixel memory, never both at once.
#pragma once

#include "runtime/drawing/drawing_context.h"

// A new current drawing context on the open screen's back buffer, its DC already taken; null
// when no screen is open, the surface refuses its DC or no context can be made.
DrawingContext* BackBufferOutput();

// The context's callbacks. They always act on the screen's present back buffer.
HDC BackBufferAcquireDC(DrawingContext* context);
void* BackBufferLock(DrawingContext* context, int* pitchOut);
void BackBufferRelease(DrawingContext* context, int flag);
