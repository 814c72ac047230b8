// The table of image decoders. Decoders register at start-up; a loader asks each in turn
// whether it knows the data and lets the first that does decode it.
#pragma once

#include "runtime/core/layout.h"

struct LoadContext; // the loader's record of one load; the decoders read and fill it

// Is the data in this format? On success it fills in the picture's width, height and depth
// and returns 1; on failure it leaves nothing allocated and returns 0.
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
