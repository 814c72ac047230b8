// The decoder of "BM" bitmap files, as the image decoder table sees it: check, decode and
// clean-up over a loader's LoadContext. The format itself is in bitmap_format.h.
#pragma once

#include "runtime/image/image_codecs.h"

extern ImageCodec BitmapCodec; // tag "BMP"

// Start-up routine: fills BitmapCodec and registers it.
void StartBitmapDecoder();

// 1 when the context's file or memory holds a bitmap file: fills width, height, depth (24),
// data, sourceBitsPerPixel and fillablePixels (BitmapFillablePixels), and for a file reads all
// of it into ownedBuffer and sets size. Whether its format decodes is not tested.
// For memory, size must be the number of bytes at memory. On failure nothing stays allocated.
int BitmapCheck(LoadContext* context);
// Writes the checked picture as 24-bit rows, top row first, pitch bytes apart, into a
// destination of height x pitch bytes; returns 1. option is not used.
int BitmapDecode(LoadContext* context, void* destination, int pitch, int option);
// Frees what the check read.
void BitmapCleanup(LoadContext* context);
