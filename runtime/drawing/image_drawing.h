// The image operations of a drawing context: bitmaps and icons drawn plainly, stretched or
// blended onto the output, and areas of the output grabbed into numbered images. They fill the
// context's operation slots; the entry points below reach them for the current span.
#pragma once

#include "runtime/drawing/drawing_context.h"

#include <stdint.h>

// Slots 9 and 10: a bitmap (BitBlt, or StretchBlt with HALFTONE when width and height are both
// non-zero and differ from its size; XOR mode combines with SRCINVERT) or an icon (DrawIconEx;
// 0 in either size: its own size). A write-only output gets a 24-bit device-independent copy.
// Non-zero when drawn; 0 for a handle that is neither a bitmap nor an icon.
int ImageDraw(DrawingContext* context, HANDLE image, int x, int y);
int ImageDrawScaled(DrawingContext* context, HANDLE image, int x, int y, int width, int height);
// Slot 11: a bitmap at its own size, blended by its per-pixel alpha scaled by alpha (0..255)
// when it has an alpha channel (HasAlphaChannel), else copied (255), blended by alpha alone, or
// left out (0). Non-zero when drawn; 0 for alpha 0, a handle that is no bitmap, or a failure.
int ImageDrawBlended(DrawingContext* context, HANDLE image, int x, int y, int alpha);
// Slot 17: copies the area into a new DIB section registered under number, recorded with the
// output's depth (a 32-bit output under grabAs24 gets a 24-bit section). The bitmap for a
// static number, the dynamic number for -1; 0 on a write-only output, for a size the image
// record cannot hold (ImageSizeFits; nothing is made then), or when the section, the copy or
// the registration fails.
intptr_t ImageGrab(DrawingContext* context, int number, int x, int y, int width, int height);

// The bitmap as one GlobalAlloc block: a 24-bit bottom-up BITMAPINFOHEADER and the pixels
// right behind it. Null on failure; free it with GlobalFree.
BITMAPINFOHEADER* MakeDibCopy(HBITMAP bitmap);
