// Numbered images: each holds one GDI bitmap (a DIB section for images the runtime makes) or,
// for images that came from icons, an icon handle.
#pragma once

#include "runtime/core/layout.h"
#include "runtime/core/registry.h"

#include <stdint.h>
#include <windows.h>

struct ImageObject {
    HANDLE handle; // HBITMAP or HICON; non-zero while the image exists
    int16_t width;
    int16_t height;
    uint8_t depth; // bits per pixel of the output the image was taken from
    uint8_t unused[11];
};
QV_ASSERT_SIZE(ImageObject, 20);

extern ObjectRegistry* ImageRegistry;

// Start-up routine: the registry of numbered images.
void StartImageRegistry();
// Shutdown routine: frees every image still registered.
void EndImageRegistry();

// Frees an image: bitmaps with DeleteObject, icons with DestroyIcon. -1 frees every image.
// 0 when there is no such image, also after the runtime has ended. A dynamic number is valid
// until it is freed; after that it may name a new image, which a second free would free.
int ImageFree(int number);

// True when an image of that size fits the record: 1 to 32767 pixels each way.
bool ImageSizeFits(int width, int height);

// Registers handle under number (-1: a dynamic number) with its size and depth; a number that
// holds an image frees it first. The record, or null when the handle is 0, the size does not
// fit the record (ImageSizeFits) or the registry has no room; the handle stays the caller's then.
ImageObject* RegisterImage(int number, HANDLE handle, int width, int height, int depth);

// A bottom-up DIB section of depth bits per pixel (at least 24), pixels undefined; bitsOut, when
// given, receives their address. Null for sizes below 1 or beyond what memory can address.
HBITMAP CreateImageBitmap(int width, int height, int depth, void** bitsOut = nullptr);

// Bytes per row of a DIB of that width and depth, a multiple of 4; 0 for a negative width or a
// row too long to count in 32 bits.
int BitmapRowStride(int width, int bitsPerPixel);
// Bytes of the pixels of a DIB of that size and depth: 0 for sizes below 1 and for pictures of
// more than MAX_IMAGE_BYTES, whose byte count would not survive 32-bit arithmetic. Never
// overflows, whatever the arguments.
size_t BitmapByteSize(int width, int height, int bitsPerPixel);
constexpr size_t MAX_IMAGE_BYTES = 0x7FFFFFFF;
// The header of an uncompressed DIB, no colour table; a negative height stores rows top-down.
BITMAPINFO DibHeader(int width, int height, int bitsPerPixel);

// The bitmap's BITMAP record; false for a handle that is no live bitmap (0, a deleted bitmap,
// a pen), whose memory is then never touched.
bool ReadBitmapRecord(HANDLE bitmap, BITMAP* info);

// The bitmap's pixels as 32-bit blue, green, red, alpha. A 32-bit DIB section lends its own
// memory (rows as stored) and *mustFreeOut is 0; anything else is converted into a top-down
// copy in RuntimeHeap and *mustFreeOut is 1 (free it with HeapFree). Null on failure.
void* ReadBitmapPixels32(HBITMAP bitmap, int* mustFreeOut);
