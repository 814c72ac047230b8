// Filtered image scaling: a block of pixels resized with a separable cubic filter (the
// Mitchell-Netravali filter, B = C = 1/3), one pass along the rows and one along the columns.
// Every byte of a pixel is an independent 8-bit channel; all filtering is in double precision.
//
// Pixel blocks are rows one after another without padding, 1 to 4 bytes per pixel.
#pragma once

#include "qv/drawing.h" // ScalePixels
#include "runtime/core/layout.h"

// The contributions of source positions first..last to one output position (none when last <
// first). The weights of an entry sum to 1 wherever any weight is positive.
struct ResampleWeights {
    double* weights; // room for 2n + 1, n the filter's width rounded up
    int first;
    int last;
};
QV_ASSERT_SIZE(ResampleWeights, 12);

// A table of destinationSize entries mapping sourceSize positions to destinationSize, from
// malloc; null when memory runs out or a size is below 1.
ResampleWeights* BuildResampleWeights(int destinationSize, int sourceSize);
void FreeResampleWeights(ResampleWeights* table, int destinationSize);

// Each pass returns 1 when it ran, 0 with nothing written when its weights or working rows
// cannot be had or an argument is out of range (a size below 1, bytesPerPixel not 1 to 4, and
// for ScaleColumns more columns than sourceWidth).
// Resamples each of rows rows from sourceWidth to destinationWidth pixels.
int ScaleRows(int rows, const unsigned char* source, int sourceWidth, unsigned char* destination,
              int destinationWidth, int bytesPerPixel);
// Resamples each of the leading columns from sourceHeight to destinationHeight pixels; source
// rows are sourceWidth pixels long, destination rows columns pixels.
int ScaleColumns(const unsigned char* source, int sourceWidth, int sourceHeight,
                 unsigned char* destination, int columns, int destinationHeight, int bytesPerPixel);
// ScalePixels runs the pass first that keeps the intermediate block the smaller.
