// Numbered images: each holds one GDI bitmap (a DIB section for images the runtime makes) or,
// for images that came from icons, an icon handle.
#pragma once

#include "qv/image.h"
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

// The record of image number; null when the number names no image.
ImageObject* ImageRecordOf(int number);

// Start-up routine: the registry of numbered images.
void StartImageRegistry();
// Shutdown routine: frees every image still registered.
void EndImageRegistry();

// True when an image of that size fits the record: 1 to 32767 pixels each way.
bool ImageSizeFits(int width, int height);

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
