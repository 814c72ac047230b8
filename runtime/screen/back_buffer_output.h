// The screen's back buffer as an output of the drawing layer: lent either as a GDI DC or as
// locked pixel memory, never both at once.
#pragma once

#include "qv/screen.h" // BackBufferOutput: a new current context, the back buffer's DC taken
#include "runtime/drawing/drawing_context.h"

// The context's callbacks. They always act on the screen's present back buffer.
HDC BackBufferAcquireDC(DrawingContext* context);
void* BackBufferLock(DrawingContext* context, int* pitchOut);
void BackBufferRelease(DrawingContext* context, int flag);
