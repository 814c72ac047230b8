#include "runtime/drawing/image_scaling.h"

#include <math.h>
#include <stdint.h>
#include <stdlib.h>

namespace {

struct MitchellFilter {
    double p0, p2, p3, q0, q1, q2, q3;
};

MitchellFilter MakeMitchellFilter(double b, double c) {
    return {(6 - 2 * b) / 6,      (-18 + 12 * b + 6 * c) / 6, (12 - 9 * b - 6 * c) / 6,
            (8 * b + 24 * c) / 6, (-12 * b - 48 * c) / 6,     (6 * b + 30 * c) / 6,
            (-b - 6 * c) / 6};
}

double FilterAt(const MitchellFilter& f, double x) {
    double a = fabs(x);
    if (a < 1)
        return (f.p3 * a + f.p2) * a * a + f.p0;
    if (a < 2)
        return ((f.q3 * a + f.q2) * a + f.q1) * a + f.q0;
    return 0;
}

// Rounded to the nearest integer, half up, and clamped to a byte.
inline unsigned char StoreChannel(double sum) {
    double value = sum + 0.5;
    if (value <= 0)
        return 0;
    if (value >= 255)
        return 255;
    return static_cast<unsigned char>(value);
}

// The channels of a pixel are summed in fixed registers, so the pixel size is a constant.
template <int Bytes>
void FilterRows(int rows, const unsigned char* source, int sourceWidth, unsigned char* destination,
                int destinationWidth, const ResampleWeights* table) {
    size_t sourceRow = static_cast<size_t>(sourceWidth) * Bytes;
    for (int r = 0; r < rows; ++r) {
        const unsigned char* in = source + r * sourceRow;
        unsigned char* out = destination + static_cast<size_t>(r) * destinationWidth * Bytes;
        for (int x = 0; x < destinationWidth; ++x, out += Bytes) {
            const ResampleWeights& entry = table[x];
            double sum[Bytes] = {};
            const double* weight = entry.weights;
            for (int j = entry.first; j <= entry.last; ++j, ++weight) {
                const unsigned char* pixel = in + static_cast<size_t>(j) * Bytes;
                for (int c = 0; c < Bytes; ++c)
                    sum[c] += pixel[c] * *weight;
            }
            for (int c = 0; c < Bytes; ++c)
                out[c] = StoreChannel(sum[c]);
        }
    }
}

// Along the columns every byte is a channel of its own, whatever the pixel size. A block of a
// row's bytes is summed over the contributing rows at once, so the source is read row by row.
void FilterColumns(const unsigned char* source, size_t sourceRow, unsigned char* destination,
                   size_t destinationRow, int destinationHeight, const ResampleWeights* table) {
    constexpr size_t Block = 512;
    double sum[Block];
    for (int y = 0; y < destinationHeight; ++y) {
        const ResampleWeights& entry = table[y];
        unsigned char* out = destination + static_cast<size_t>(y) * destinationRow;
        for (size_t start = 0; start < destinationRow; start += Block) {
            size_t count = destinationRow - start < Block ? destinationRow - start : Block;
            for (size_t k = 0; k < count; ++k)
                sum[k] = 0;
            const double* weight = entry.weights;
            for (int j = entry.first; j <= entry.last; ++j, ++weight) {
                const unsigned char* in = source + static_cast<size_t>(j) * sourceRow + start;
                double w = *weight;
                for (size_t k = 0; k < count; ++k)
                    sum[k] += in[k] * w;
            }
            for (size_t k = 0; k < count; ++k)
                out[start + k] = StoreChannel(sum[k]);
        }
    }
}

bool ValidPixelSize(int bytesPerPixel) {
    return bytesPerPixel >= 1 && bytesPerPixel <= 4;
}

} // namespace

ResampleWeights* BuildResampleWeights(int destinationSize, int sourceSize) {
    if (destinationSize < 1 || sourceSize < 1)
        return nullptr;
    const double third = 1.0 / 3.0;
    MitchellFilter filter = MakeMitchellFilter(third, third);
    double scale = static_cast<double>(destinationSize) / sourceSize;
    double width = 2.0, filterScale = 1.0;
    if (scale < 1) {
        width = 2.0 / scale;
        filterScale = scale;
    }
    // 2n + 1 contributors at most; an entry never has more than the source's size, so a
    // filter wider than the whole source needs no more room than that.
    double n = ceil(width);
    int capacity = 2 * n + 1 > sourceSize ? sourceSize : 2 * static_cast<int>(n) + 1;
    double offset = 0.5 / scale - 0.5;
    if (static_cast<size_t>(destinationSize) > SIZE_MAX / sizeof(ResampleWeights) ||
        static_cast<size_t>(capacity) > SIZE_MAX / sizeof(double))
        return nullptr;

    auto* table = static_cast<ResampleWeights*>(malloc(destinationSize * sizeof(ResampleWeights)));
    if (!table)
        return nullptr;
    for (int i = 0; i < destinationSize; ++i) {
        ResampleWeights& entry = table[i];
        entry.weights = static_cast<double*>(malloc(capacity * sizeof(double)));
        if (!entry.weights) {
            FreeResampleWeights(table, i);
            return nullptr;
        }
        double centre = i / scale + offset;
        double low = floor(centre - width), high = ceil(centre + width);
        int first = low < 0 ? 0 : static_cast<int>(low);
        int last = high > sourceSize - 1 ? sourceSize - 1 : static_cast<int>(high);
        if (last - first + 1 > capacity) {
            if (first < sourceSize)
                ++first;
            else
                --last;
        }
        double sum = 0;
        for (int j = first; j <= last; ++j) {
            double weight = FilterAt(filter, (centre - j) * filterScale) * filterScale;
            entry.weights[j - first] = weight;
            sum += weight;
        }
        if (sum > 0 && sum != 1)
            for (int j = first; j <= last; ++j)
                entry.weights[j - first] /= sum;
        entry.first = first;
        entry.last = last;
    }
    return table;
}

void FreeResampleWeights(ResampleWeights* table, int destinationSize) {
    if (!table)
        return;
    for (int i = 0; i < destinationSize; ++i)
        free(table[i].weights);
    free(table);
}

int ScaleRows(int rows, const unsigned char* source, int sourceWidth, unsigned char* destination,
              int destinationWidth, int bytesPerPixel) {
    if (rows < 1 || !ValidPixelSize(bytesPerPixel))
        return 0;
    ResampleWeights* table = BuildResampleWeights(destinationWidth, sourceWidth);
    if (!table)
        return 0;
    switch (bytesPerPixel) {
    case 1:
        FilterRows<1>(rows, source, sourceWidth, destination, destinationWidth, table);
        break;
    case 2:
        FilterRows<2>(rows, source, sourceWidth, destination, destinationWidth, table);
        break;
    case 3:
        FilterRows<3>(rows, source, sourceWidth, destination, destinationWidth, table);
        break;
    case 4:
        FilterRows<4>(rows, source, sourceWidth, destination, destinationWidth, table);
        break;
    }
    FreeResampleWeights(table, destinationWidth);
    return 1;
}

int ScaleColumns(const unsigned char* source, int sourceWidth, int sourceHeight,
                 unsigned char* destination, int columns, int destinationHeight,
                 int bytesPerPixel) {
    if (sourceWidth < 1 || columns < 1 || !ValidPixelSize(bytesPerPixel))
        return 0;
    ResampleWeights* table = BuildResampleWeights(destinationHeight, sourceHeight);
    if (!table)
        return 0;
    FilterColumns(source, static_cast<size_t>(sourceWidth) * bytesPerPixel, destination,
                  static_cast<size_t>(columns) * bytesPerPixel, destinationHeight, table);
    FreeResampleWeights(table, destinationHeight);
    return 1;
}

int ScalePixels(const unsigned char* source, int sourceWidth, int sourceHeight,
                unsigned char* destination, int destinationWidth, int destinationHeight,
                int bitsPerPixel) {
    int bytes = bitsPerPixel / 8;
    if (sourceWidth < 1 || sourceHeight < 1 || destinationWidth < 1 || destinationHeight < 1 ||
        !ValidPixelSize(bytes))
        return 0;
    bool rowsFirst = static_cast<int64_t>(sourceHeight) * destinationWidth <=
                     static_cast<int64_t>(sourceWidth) * destinationHeight;
    uint64_t pixels = rowsFirst ? static_cast<uint64_t>(destinationWidth) * sourceHeight
                                : static_cast<uint64_t>(sourceWidth) * destinationHeight;
    if (pixels > SIZE_MAX / bytes)
        return 0;
    auto* intermediate = static_cast<unsigned char*>(malloc(static_cast<size_t>(pixels) * bytes));
    if (!intermediate)
        return 0;
    // A pass whose weights cannot be had writes nothing; the second pass then has no
    // intermediate to read, and the destination stays as it was.
    int done;
    if (rowsFirst)
        done =
            ScaleRows(sourceHeight, source, sourceWidth, intermediate, destinationWidth, bytes) &&
            ScaleColumns(intermediate, destinationWidth, sourceHeight, destination,
                         destinationWidth, destinationHeight, bytes);
    else
        done = ScaleColumns(source, sourceWidth, sourceHeight, intermediate, sourceWidth,
                            destinationHeight, bytes) &&
               ScaleRows(destinationHeight, intermediate, sourceWidth, destination,
                         destinationWidth, bytes);
    free(intermediate);
    return done;
}
