// The table of image decoders. Decoders register at start-up; a loader asks each in turn
// whether it knows the data and lets the first that does decode it.
#pragma once

#include "runtime/core/layout.h"

#include <stdio.h>

// The loader's record of one load: the loader names the data, a decoder's check fills in what
// the picture is, and its clean-up frees what the check took.
struct LoadContext {
    // Named by the loader.
    FILE* file;         // the open file, when fromMemory is 0
    const void* memory; // the file's bytes, when fromMemory is non-zero
    int fromMemory;
    unsigned size; // bytes at memory; a check that reads a file sets it. Nothing past it is read.
    // Filled by the check.
    int width;
    int height;
    int depth;                  // bits per pixel of the decoded output
    unsigned char* ownedBuffer; // the file's bytes read into the runtime heap, or null
    const unsigned char* data;  // start of the file's bytes: ownedBuffer or memory
    int sourceBitsPerPixel;     // the file's own bits per pixel
    unsigned fillablePixels;    // at most this many pixels can the data fill (up to UINT_MAX)
};
QV_ASSERT_SIZE(LoadContext, 44);

// Is the data in this format? On success it fills in the picture's width, height, depth and
// fillablePixels and returns 1; on failure it leaves nothing allocated and returns 0. A loader
// makes nothing for a picture with more pixels than the data can fill.
typedef int (*ImageCheckFunction)(LoadContext* context);
// Writes the picture as 24-bit rows, top row first, pitch bytes apart.
typedef int (*ImageDecodeFunction)(LoadContext* context, void* destination, int pitch, int option);
// Frees what the check allocated.
typedef void (*ImageCleanupFunction)(LoadContext* context);

struct ImageCodec {
    ImageCheckFunction check;
    ImageDecodeFunction decode;
    ImageCleanupFunction cleanup;
    char tag[4]; // three letters and a zero byte
};
QV_ASSERT_SIZE(ImageCodec, 16);

constexpr int IMAGE_CODEC_CAPACITY = 30;

struct ImageCodecTable {
    ImageCodec* codecs[IMAGE_CODEC_CAPACITY];
    int count;
};

extern ImageCodecTable ImageCodecs;
extern void* ImageDecoderBlock; // the decoders' shared 76-byte data block

// Start-up routine: empties the table and allocates the decoders' data block.
void StartImageDecoders();
// Appends a decoder; a table that is full stays as it is.
void RegisterImageCodec(ImageCodec* codec);
