// Numbered images: each holds one GDI bitmap (or an icon), drawn with the image calls of
// qv/drawing.h through its handle. Pictures are loaded from "BM" bitmap files (1, 4, 8, 16, 24
// and 32 bits per pixel, 8-bit run-length compression, rows stored bottom-up or top-down) into
// 24-bit images.
#pragma once

#include "qv/core.h"

#include <windows.h>

#include <stddef.h>
#include <stdint.h>

// The record of one numbered image.
struct ImageObject;

// Why a load returned 0, as GetLastError() tells right after it.
constexpr DWORD IMAGE_ERROR_OPEN = ERROR_OPEN_FAILED;         // no file or memory given, or the
                                                              // file cannot be opened
constexpr DWORD IMAGE_ERROR_FORMAT = ERROR_BAD_FORMAT;        // no decoder knows these bytes
constexpr DWORD IMAGE_ERROR_DATA = ERROR_INVALID_DATA;        // a known format, but no picture its
                                                              // data can fill (no width or height,
                                                              // rows missing, no decoding for it,
                                                              // run-length data too short)
constexpr DWORD IMAGE_ERROR_TOO_LARGE = ERROR_FILE_TOO_LARGE; // the picture is more than 32767
                                                              // pixels wide or high
constexpr DWORD IMAGE_ERROR_NUMBER = ERROR_INVALID_PARAMETER; // the number cannot be had
constexpr DWORD IMAGE_ERROR_MEMORY = ERROR_NOT_ENOUGH_MEMORY; // no memory for the picture

// Load the picture in the file at path, or in size bytes at memory, into a new 24-bit image
// under number (AutoNumber: a dynamic image); a number that holds an image frees it first, once
// the picture is decoded. The bitmap for a static number, the new image's number for AutoNumber.
// 0 on failure, with the reason as the last-error value: IMAGE_ERROR_OPEN (path or memory null,
// the file cannot be opened, size beyond 4 GiB), IMAGE_ERROR_FORMAT (no decoder accepts the
// data), IMAGE_ERROR_DATA, IMAGE_ERROR_TOO_LARGE, IMAGE_ERROR_NUMBER (negative but not
// AutoNumber, above 65520, or the runtime not running) or IMAGE_ERROR_MEMORY. Nothing stays
// allocated then, and the number keeps what it held. What a load allocates is bounded by what
// the data can fill: a short file that claims a large picture is refused before any of it is
// made.
intptr_t LoadImageFromFile(int number, const char* path);
intptr_t LoadImageFromMemory(int number, const void* memory, size_t size);

// Resizes image number to width x height pixels with the cubic filter of ScalePixels (where
// DrawImageScaled stretches a copy with GDI each time it draws). The image keeps its number and its
// depth class (a 32-bit image keeps its alpha; any other becomes 24-bit); its old bitmap is
// deleted. Returns the new bitmap. 0, with the image as it was, when number names no image or an
// icon, a size is not 1 to 32767, or no memory can be had.
HBITMAP ResizeImage(int number, int width, int height);

// The bitmap (or icon) of an image, to draw it; null when number names no image.
HANDLE ImageHandleOf(int number);
// The size of an image in pixels; 0 when number names no image.
int ImageWidth(int number);
int ImageHeight(int number);
// Frees an image: its bitmap is deleted (an icon destroyed). AutoNumber frees every image and
// returns 1. 0 when number names no image, also after the runtime has ended. A dynamic number is
// valid until its image is freed; after that it may name a new image, which a second free would
// free.
int ImageFree(int number);

// Makes handle (a bitmap or icon of the caller's) image number (AutoNumber: a dynamic image,
// whose number is the address of the record returned) of width x height pixels at depth bits per
// pixel; a number that holds an image frees it first. From then on the image owns the handle.
// The image's record; null, with the handle still the caller's, when handle is null, a size is
// not 1 to 32767, or the number cannot be had.
ImageObject* RegisterImage(int number, HANDLE handle, int width, int height, int depth);
// A new bottom-up DIB section of width x height pixels at depth bits per pixel (below 24: 24)
// for RegisterImage; bitsOut, when given, receives the address of its pixels, which start
// undefined. Null for a size below 1, pixels of more than 2 GiB, or when GDI refuses the section.
HBITMAP CreateImageBitmap(int width, int height, int depth, void** bitsOut = nullptr);
// Bytes per row of a DIB section of that width and depth, a multiple of 4; 0 for a negative
// width or a row too long to count in 32 bits.
int BitmapRowStride(int width, int bitsPerPixel);
// The bitmap's pixels as 32-bit blue, green, red, alpha, rows BitmapRowStride(width, 32) bytes
// apart. A 32-bit DIB section lends its own memory, rows as stored (bottom row first for the
// sections CreateImageBitmap and the loader make), and *mustFreeOut is 0; any other bitmap is
// converted into a copy with its top row first, and *mustFreeOut is 1: free it with
// HeapFree(RuntimeHeap, 0, pixels) (qv/core.h). Null when bitmap is no live bitmap, or, for a
// copy, when no memory can be had or the runtime is not running.
void* ReadBitmapPixels32(HBITMAP bitmap, int* mustFreeOut);
