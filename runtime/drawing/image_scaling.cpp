#include "runtime/drawing/image_scaling.h"

#include <emmintrin.h>
#include <math.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

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

// The same for two channels at once, as 32-bit integers in the low lanes. Lanes are
// independent IEEE operations, so the sums match the one-channel code bit for bit.
inline __m128i StoreChannels(__m128d sum) {
    __m128d value = _mm_add_pd(sum, _mm_set1_pd(0.5));
    value = _mm_min_pd(_mm_max_pd(value, _mm_setzero_pd()), _mm_set1_pd(255));
    return _mm_cvttpd_epi32(value);
}

// Four channels from two pairs of sums, as four bytes.
inline uint32_t PackChannels(__m128d low, __m128d high) {
    __m128i words = _mm_unpacklo_epi64(StoreChannels(low), StoreChannels(high));
    __m128i bytes = _mm_packs_epi32(words, words);
    return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(bytes, bytes)));
}

// Eight bytes as eight doubles, in four registers.
struct EightChannels {
    __m128d c01, c23, c45, c67;
};

inline EightChannels LoadEight(const unsigned char* in) {
    const __m128i zero = _mm_setzero_si128();
    __m128i words = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in)), zero);
    __m128i low = _mm_unpacklo_epi16(words, zero), high = _mm_unpackhi_epi16(words, zero);
    return {_mm_cvtepi32_pd(low), _mm_cvtepi32_pd(_mm_shuffle_epi32(low, 0x4E)),
            _mm_cvtepi32_pd(high), _mm_cvtepi32_pd(_mm_shuffle_epi32(high, 0x4E))};
}

// Channel values as doubles, eight at a time.
void BytesToDoubles(const unsigned char* in, size_t count, double* out) {
    size_t k = 0;
    for (; k + 8 <= count; k += 8) {
        EightChannels eight = LoadEight(in + k);
        _mm_storeu_pd(out + k, eight.c01);
        _mm_storeu_pd(out + k + 2, eight.c23);
        _mm_storeu_pd(out + k + 4, eight.c45);
        _mm_storeu_pd(out + k + 6, eight.c67);
    }
    for (; k < count; ++k)
        out[k] = in[k];
}

// The contributors of an entry without the zero weights at either end: adding a zero
// product changes no sum, so skipping them keeps every result bit for bit.
struct Span {
    const double* weights;
    int first;
    int count;
};

inline Span NonZeroSpan(const ResampleWeights& entry) {
    int begin = 0, end = entry.last - entry.first;
    while (begin <= end && entry.weights[begin] == 0)
        ++begin;
    while (end >= begin && entry.weights[end] == 0)
        --end;
    return {entry.weights + begin, entry.first + begin, end - begin + 1};
}

// Each source row is turned into doubles once (line), then every output pixel sums its
// contributors from there, channel pairs in registers.
template <int Bytes>
void FilterRows(int rows, const unsigned char* source, int sourceWidth, unsigned char* destination,
                int destinationWidth, const ResampleWeights* table, double* line) {
    size_t sourceRow = static_cast<size_t>(sourceWidth) * Bytes;
    for (int r = 0; r < rows; ++r) {
        BytesToDoubles(source + r * sourceRow, sourceRow, line);
        unsigned char* out = destination + static_cast<size_t>(r) * destinationWidth * Bytes;
        for (int x = 0; x < destinationWidth; ++x, out += Bytes) {
            Span span = NonZeroSpan(table[x]);
            const double* pixel = line + static_cast<size_t>(span.first) * Bytes;
            const double* weight = span.weights;
            if constexpr (Bytes == 1) {
                double sum = 0;
                for (int i = 0; i < span.count; ++i)
                    sum += pixel[i] * weight[i];
                out[0] = StoreChannel(sum);
            } else {
                __m128d low = _mm_setzero_pd(), high = _mm_setzero_pd();
                for (int i = 0; i < span.count; ++i, pixel += Bytes) {
                    __m128d w = _mm_set1_pd(weight[i]);
                    low = _mm_add_pd(low, _mm_mul_pd(_mm_loadu_pd(pixel), w));
                    if constexpr (Bytes == 3)
                        high = _mm_add_pd(high, _mm_mul_pd(_mm_load_sd(pixel + 2), w));
                    if constexpr (Bytes == 4)
                        high = _mm_add_pd(high, _mm_mul_pd(_mm_loadu_pd(pixel + 2), w));
                }
                uint32_t bytes = PackChannels(low, high);
                memcpy(out, &bytes, Bytes);
            }
        }
    }
}

// Source rows of one strip of the columns, as doubles: slot j % rows holds row j while the
// output rows that need it are made. No output needs more than rows consecutive rows, so the
// rows of one output never share a slot, and every row is turned into doubles once a strip.
struct RowRing {
    double* values;        // rows x stripBytes
    const double** window; // the rows of the current output, first to last contributor
    int* held;             // the row in each slot, -1 for none
    int rows;
    size_t stripBytes;
};

// A ring of at most this many bytes of doubles; wide rows are done in strips.
constexpr size_t RingBudget = 512 * 1024;

// Along the columns every byte is a channel of its own, whatever the pixel size. Eight bytes
// of a row are summed at once over the contributing rows, in four registers.
void FilterColumns(const unsigned char* source, size_t sourceRow, unsigned char* destination,
                   size_t destinationRow, int destinationHeight, const ResampleWeights* table,
                   const RowRing& ring) {
    for (size_t strip = 0; strip < destinationRow; strip += ring.stripBytes) {
        size_t width =
            destinationRow - strip < ring.stripBytes ? destinationRow - strip : ring.stripBytes;
        for (int i = 0; i < ring.rows; ++i)
            ring.held[i] = -1;
        for (int y = 0; y < destinationHeight; ++y) {
            Span span = NonZeroSpan(table[y]);
            for (int i = 0; i < span.count; ++i) {
                int row = span.first + i, slot = row % ring.rows;
                double* values = ring.values + slot * ring.stripBytes;
                if (ring.held[slot] != row) {
                    BytesToDoubles(source + row * sourceRow + strip, width, values);
                    ring.held[slot] = row;
                }
                ring.window[i] = values;
            }
            unsigned char* out = destination + static_cast<size_t>(y) * destinationRow + strip;
            size_t k = 0;
            for (; k + 8 <= width; k += 8) {
                __m128d s0 = _mm_setzero_pd(), s1 = s0, s2 = s0, s3 = s0;
                for (int i = 0; i < span.count; ++i) {
                    __m128d w = _mm_set1_pd(span.weights[i]);
                    const double* in = ring.window[i] + k;
                    s0 = _mm_add_pd(s0, _mm_mul_pd(_mm_loadu_pd(in), w));
                    s1 = _mm_add_pd(s1, _mm_mul_pd(_mm_loadu_pd(in + 2), w));
                    s2 = _mm_add_pd(s2, _mm_mul_pd(_mm_loadu_pd(in + 4), w));
                    s3 = _mm_add_pd(s3, _mm_mul_pd(_mm_loadu_pd(in + 6), w));
                }
                uint32_t bytes[2] = {PackChannels(s0, s1), PackChannels(s2, s3)};
                memcpy(out + k, bytes, 8);
            }
            for (; k < width; ++k) {
                double sum = 0;
                for (int i = 0; i < span.count; ++i)
                    sum += ring.window[i][k] * span.weights[i];
                out[k] = StoreChannel(sum);
            }
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
    if (rows < 1 || sourceWidth < 1 || !ValidPixelSize(bytesPerPixel))
        return 0;
    ResampleWeights* table = BuildResampleWeights(destinationWidth, sourceWidth);
    size_t channels = static_cast<size_t>(sourceWidth) * bytesPerPixel;
    auto* line = channels <= SIZE_MAX / sizeof(double)
                     ? static_cast<double*>(malloc(channels * sizeof(double)))
                     : nullptr;
    if (!table || !line) {
        FreeResampleWeights(table, destinationWidth);
        free(line);
        return 0;
    }
    typedef void (*RowFilter)(int, const unsigned char*, int, unsigned char*, int,
                              const ResampleWeights*, double*);
    static const RowFilter filters[] = {FilterRows<1>, FilterRows<2>, FilterRows<3>, FilterRows<4>};
    filters[bytesPerPixel - 1](rows, source, sourceWidth, destination, destinationWidth, table,
                               line);
    free(line);
    FreeResampleWeights(table, destinationWidth);
    return 1;
}

int ScaleColumns(const unsigned char* source, int sourceWidth, int sourceHeight,
                 unsigned char* destination, int columns, int destinationHeight,
                 int bytesPerPixel) {
    // More columns than a source row holds would be read from the rows that follow it.
    if (sourceWidth < 1 || columns < 1 || columns > sourceWidth || !ValidPixelSize(bytesPerPixel))
        return 0;
    ResampleWeights* table = BuildResampleWeights(destinationHeight, sourceHeight);
    if (!table)
        return 0;
    RowRing ring = {};
    ring.rows = 1;
    for (int y = 0; y < destinationHeight; ++y)
        if (table[y].last - table[y].first + 1 > ring.rows)
            ring.rows = table[y].last - table[y].first + 1;
    size_t rowBytes = static_cast<size_t>(columns) * bytesPerPixel;
    ring.stripBytes = RingBudget / sizeof(double) / ring.rows / 8 * 8;
    ring.stripBytes = ring.stripBytes < 8          ? 8
                      : ring.stripBytes > rowBytes ? rowBytes
                                                   : ring.stripBytes;
    uint64_t bytes = static_cast<uint64_t>(ring.rows) *
                     (ring.stripBytes * sizeof(double) + sizeof(double*) + sizeof(int));
    void* block = bytes <= SIZE_MAX ? malloc(static_cast<size_t>(bytes)) : nullptr;
    if (block) {
        ring.values = static_cast<double*>(block);
        ring.window = reinterpret_cast<const double**>(ring.values + ring.rows * ring.stripBytes);
        ring.held = reinterpret_cast<int*>(ring.window + ring.rows);
        FilterColumns(source, static_cast<size_t>(sourceWidth) * bytesPerPixel, destination,
                      rowBytes, destinationHeight, table, ring);
        free(block);
    }
    FreeResampleWeights(table, destinationHeight);
    return block != nullptr;
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
