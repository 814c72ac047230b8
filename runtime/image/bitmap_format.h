// The "BM" bitmap file format on plain bytes: recognising a file and decoding its pixels. It
// needs nothing of the platform, so the same code also builds natively for fuzzing.
//
// The data may come from anyone: every read stays inside the size given, whatever the
// headers, offsets and run lengths claim, and every write inside height x pitch bytes of the
// destination.
#pragma once

#include <stddef.h>
#include <stdint.h>

// The header bytes read: the 14-byte file header and the information header up to and
// including its compression field. Shorter data is not a bitmap file.
constexpr size_t BITMAP_HEADER_BYTES = 34;

struct BitmapHeader {
    int width;
    int height; // negative for a top-down file, which decodes to nothing
    int bitsPerPixel;
};

// True when the data starts with the file header of a bitmap file: "BM" and both reserved
// words 0. Needs 14 bytes, so a stream can be tested before the rest is read.
bool IsBitmapSignature(const uint8_t* data, size_t size);

// 1 when the data is a bitmap file long enough to hold the header fields read, with the
// picture's size and the file's bits per pixel in header; else 0. Whether that format
// decodes is not tested.
int ReadBitmapHeader(const uint8_t* data, size_t size, BitmapHeader* header);

// How many of the picture's pixels the data can fill at most, never more than width x height:
// those of the rows wholly present for an uncompressed format, 255 for every two bytes of
// run-length data, 0 for a format without decoding, a width below 1 or a height of 0. A
// top-down file (negative height) counts as many rows, which a loader may decode the other way
// up. A loader refuses a picture larger than this rather than make pixels that the data leaves
// black.
uint64_t BitmapFillablePixels(const uint8_t* data, size_t size);

// Writes the picture as 24-bit pixels (blue, green, red), top row first, pitch bytes apart.
// Nothing is written for a format without decoding, for width or height below 1, a pitch
// below 3 x width, or height x pitch bytes that memory cannot hold. Rows and pixels that the
// data does not cover keep what the destination had; a colour-table index past the table in
// the data gives black.
void DecodeBitmapPixels(const uint8_t* data, size_t size, int width, int height,
                        uint8_t* destination, int pitch);
