#include "runtime/drawing/image_scaling.h"

#include <gtest/gtest.h>

#include <math.h>

#include <random>
#include <vector>

namespace {

typedef std::vector<uint8_t> Block;

// The scaling written out plainly: weights worked out afresh for every output sample of
// every channel, one axis at a time, and the rounding and clamping as defined. The lowest
// and highest sums seen before clamping show that a case reaches past 0 and 255.
double LowestSum, HighestSum;

double Mitchell(double x) {
    const double b = 1.0 / 3.0, c = 1.0 / 3.0;
    double p0 = (6 - 2 * b) / 6, p2 = (-18 + 12 * b + 6 * c) / 6, p3 = (12 - 9 * b - 6 * c) / 6;
    double q0 = (8 * b + 24 * c) / 6, q1 = (-12 * b - 48 * c) / 6, q2 = (6 * b + 30 * c) / 6;
    double q3 = (-b - 6 * c) / 6;
    double a = fabs(x);
    if (a < 1)
        return (p3 * a + p2) * a * a + p0;
    if (a < 2)
        return ((q3 * a + q2) * a + q1) * a + q0;
    return 0;
}

// outSize samples from inSize, each step bytes after the one before.
void ReferenceLine(const uint8_t* in, int inSize, uint8_t* out, int outSize, size_t step) {
    double scale = static_cast<double>(outSize) / inSize;
    double support = scale < 1 ? 2.0 / scale : 2.0, filterScale = scale < 1 ? scale : 1.0;
    int n = static_cast<int>(ceil(support));
    for (int i = 0; i < outSize; ++i) {
        double centre = i / scale + (0.5 / scale - 0.5);
        int first = std::max(0, static_cast<int>(floor(centre - support)));
        int last = std::min(inSize - 1, static_cast<int>(ceil(centre + support)));
        if (last - first + 1 > 2 * n + 1) {
            if (first < inSize)
                ++first;
            else
                --last;
        }
        std::vector<double> weights;
        double total = 0;
        for (int j = first; j <= last; ++j) {
            weights.push_back(Mitchell((centre - j) * filterScale) * filterScale);
            total += weights.back();
        }
        if (total > 0 && total != 1)
            for (double& w : weights)
                w /= total;
        double sum = 0;
        for (int j = first; j <= last; ++j)
            sum += in[j * step] * weights[j - first];
        LowestSum = std::min(LowestSum, sum);
        HighestSum = std::max(HighestSum, sum);
        int value = static_cast<int>(sum + 0.5);
        out[i * step] = static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
    }
}

Block Reference(const Block& in, int sw, int sh, int dw, int dh, int bytes) {
    Block out(static_cast<size_t>(dw) * dh * bytes);
    auto rows = [&](const uint8_t* from, int width, int count, uint8_t* to) {
        for (int r = 0; r < count; ++r)
            for (int c = 0; c < bytes; ++c)
                ReferenceLine(from + r * width * bytes + c, width, to + r * dw * bytes + c, dw,
                              bytes);
    };
    auto columns = [&](const uint8_t* from, int width, int height, uint8_t* to) {
        for (int x = 0; x < width * bytes; ++x)
            ReferenceLine(from + x, height, to + x, dh, width * bytes);
    };
    if (static_cast<long long>(sh) * dw <= static_cast<long long>(sw) * dh) {
        Block middle(static_cast<size_t>(dw) * sh * bytes);
        rows(in.data(), sw, sh, middle.data());
        columns(middle.data(), dw, sh, out.data());
    } else {
        Block middle(static_cast<size_t>(sw) * dh * bytes);
        columns(in.data(), sw, sh, middle.data());
        rows(middle.data(), sw, dh, out.data());
    }
    return out;
}

Block Scale(const Block& in, int sw, int sh, int dw, int dh, int bytes) {
    Block out(static_cast<size_t>(dw) * dh * bytes, 0xCD);
    EXPECT_EQ(ScalePixels(in.data(), sw, sh, out.data(), dw, dh, bytes * 8), 1);
    return out;
}

TEST(ImageScaling, MatchesTheReferenceExactly) {
    struct Sizes {
        int sw, sh, dw, dh;
    };
    const Sizes sizes[] = {
        {5, 4, 5, 4},     {2, 1, 4, 1},      {2, 3, 4, 6},     {8, 6, 4, 3}, {4, 8, 8, 4},
        {7, 5, 3, 11},    {1, 1, 3, 2},      {16, 9, 5, 7},    {3, 3, 1, 1}, {13, 1, 1, 13},
        {40, 30, 17, 61}, {64, 48, 128, 96}, {97, 13, 31, 40},
    };
    std::mt19937 random(9);
    LowestSum = HighestSum = 0;
    for (const Sizes& s : sizes)
        for (int bytes = 1; bytes <= 4; ++bytes) {
            // Smooth noise and hard black-and-white edges, where the filter overshoots.
            for (bool edges : {false, true}) {
                Block in(static_cast<size_t>(s.sw) * s.sh * bytes);
                for (uint8_t& v : in)
                    v = edges ? (random() & 1) * 255 : static_cast<uint8_t>(random());
                ASSERT_EQ(Scale(in, s.sw, s.sh, s.dw, s.dh, bytes),
                          Reference(in, s.sw, s.sh, s.dw, s.dh, bytes))
                    << s.sw << "x" << s.sh << " to " << s.dw << "x" << s.dh << ", " << bytes
                    << " bytes, edges " << edges;
            }
        }
    EXPECT_LT(LowestSum, -0.5) << "no case stored a clamped 0";
    EXPECT_GE(HighestSum, 255.5) << "no case stored a clamped 255";
}

TEST(ImageScaling, SpreadsAtSameSizeAndKeepsConstantColours) {
    // Neighbours at distance 1 take 1/18 each beside 16/18; at the border 1/17 and 16/17.
    EXPECT_EQ(Scale({0, 0, 255, 0, 0}, 5, 1, 5, 1, 1), Block({0, 14, 227, 14, 0}));
    EXPECT_EQ(Scale({0, 255, 0, 0, 0}, 5, 1, 5, 1, 1), Block({15, 227, 14, 0, 0}));
    EXPECT_EQ(Scale({255, 0, 0, 0, 0}, 5, 1, 5, 1, 1), Block({240, 14, 0, 0, 0}));
    for (int bytes = 1; bytes <= 4; ++bytes)
        for (int dw : {1, 3, 20}) {
            Block in(static_cast<size_t>(7) * 5 * bytes);
            for (size_t i = 0; i < in.size(); ++i)
                in[i] = static_cast<uint8_t>(40 * (i % bytes) + 77);
            Block out = Scale(in, 7, 5, dw, 9, bytes);
            for (size_t i = 0; i < out.size(); ++i)
                ASSERT_EQ(out[i], 40 * (i % bytes) + 77) << bytes << " bytes, width " << dw;
        }
}

TEST(ImageScaling, RefusesSizesAndPixelWidthsOutOfRangeWritingNothing) {
    Block in(16, 100), out(16, 0xCD);
    const int calls[][5] = {
        {0, 2, 2, 2, 8}, {2, -1, 2, 2, 8}, {2, 2, 0, 2, 8},  {2, 2, 2, 0, 8},
        {2, 2, 2, 2, 0}, {2, 2, 2, 2, 7},  {2, 2, 2, 2, 40},
    };
    for (const auto& c : calls)
        EXPECT_EQ(ScalePixels(in.data(), c[0], c[1], out.data(), c[2], c[3], c[4]), 0);
    EXPECT_EQ(ScaleRows(1, in.data(), 2, out.data(), 2, 5), 0);
    EXPECT_EQ(ScaleColumns(in.data(), 2, 2, out.data(), 2, 2, 0), 0);
    EXPECT_EQ(BuildResampleWeights(0, 4), nullptr);
    if (sizeof(void*) == 4) { // weights for 2^31 - 1 rows cannot be had in 32 bits
        EXPECT_EQ(ScalePixels(in.data(), 1, 1, out.data(), 1, 0x7FFFFFFF, 8), 0);
    }
    EXPECT_EQ(out, Block(16, 0xCD));
}

} // namespace
