#include "drawing/scaling_reference.h"
#include "runtime/drawing/image_scaling.h"

#include <gtest/gtest.h>

#include <random>

namespace {

Block Scale(const Block& in, int sw, int sh, int dw, int dh, int bytes) {
    Block out(static_cast<size_t>(dw) * dh * bytes, 0xCD);
    EXPECT_EQ(ScalePixels(in.data(), sw, sh, out.data(), dw, dh, bytes * 8), 1);
    return out;
}

TEST(ImageScaling, MatchesTheReferenceExactly) {
    struct Sizes {
        int sw, sh, dw, dh;
    };
    const Sizes sizes[] =
        {
            {5, 4, 5, 4},     {2, 1, 4, 1},       {2, 3, 4, 6},     {8, 6, 4, 3},
            {4, 8, 8, 4},     {7, 5, 3, 11},      {1, 1, 3, 2},     {16, 9, 5, 7},
            {3, 3, 1, 1},     {13, 1, 1, 13},     {40, 30, 17, 61}, {64, 48, 128, 96},
            {97, 13, 31, 40}, {1000, 60, 999, 5}, // columns in strips: the rows one output needs
                                                  // are many
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
                          ReferenceScale(in, s.sw, s.sh, s.dw, s.dh, bytes))
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
    EXPECT_EQ(ScaleColumns(in.data(), 2, 2, out.data(), 3, 2, 1), 0); // wider than the source
    EXPECT_EQ(BuildResampleWeights(0, 4), nullptr);
    if (sizeof(void*) == 4) { // weights for 2^31 - 1 rows cannot be had in 32 bits
        EXPECT_EQ(ScalePixels(in.data(), 1, 1, out.data(), 1, 0x7FFFFFFF, 8), 0);
    }
    EXPECT_EQ(out, Block(16, 0xCD));
}

} // namespace
