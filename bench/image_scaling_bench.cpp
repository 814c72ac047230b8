// ScalePixels against stb_image_resize with its Mitchell filter, on the same 32-bit pictures:
// 1920 x 1080 halved and 640 x 480 doubled, four independent channels on both sides. The
// output is also compared with the plain reference, byte for byte.
#include "drawing/scaling_reference.h"
#include "runtime/drawing/image_scaling.h"

#include <windows.h>

#include <stdio.h>

#include <algorithm>
#include <random>

#define STB_IMAGE_RESIZE_IMPLEMENTATION
#include <stb_image_resize.h>

namespace {

constexpr int Rounds = 10;

double Now() {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// A photograph-like picture: smooth gradients with noise on top.
Block Picture(int width, int height) {
    Block pixels(static_cast<size_t>(width) * height * 4);
    std::mt19937 random(5);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 4; ++c)
                pixels[(static_cast<size_t>(y) * width + x) * 4 + c] =
                    static_cast<uint8_t>((x * (c + 1) + y * (4 - c)) / 8 + random() % 32);
    return pixels;
}

void Compare(int sw, int sh, int dw, int dh) {
    Block source = Picture(sw, sh), ours(static_cast<size_t>(dw) * dh * 4), stb(ours.size());
    double bestOurs = 1e9, bestStb = 1e9;
    for (int round = 0; round < Rounds; ++round) {
        double start = Now();
        ScalePixels(source.data(), sw, sh, ours.data(), dw, dh, 32);
        double middle = Now();
        stbir_resize_uint8_generic(source.data(), sw, sh, 0, stb.data(), dw, dh, 0, 4,
                                   STBIR_ALPHA_CHANNEL_NONE, 0, STBIR_EDGE_CLAMP,
                                   STBIR_FILTER_MITCHELL, STBIR_COLORSPACE_LINEAR, nullptr);
        double end = Now();
        bestOurs = std::min(bestOurs, middle - start);
        bestStb = std::min(bestStb, end - middle);
    }
    bool exact = ours == ReferenceScale(source, sw, sh, dw, dh, 4);
    printf("%4d x %4d -> %4d x %4d   ScalePixels %7.2f ms   stbir Mitchell %7.2f ms   %.2fx "
           "faster   exact to the reference: %s\n",
           sw, sh, dw, dh, bestOurs * 1e3, bestStb * 1e3, bestStb / bestOurs, exact ? "yes" : "NO");
}

} // namespace

int main() {
    printf("scaling 32-bit pictures, best of %d\n", Rounds);
    Compare(1920, 1080, 960, 540);
    Compare(640, 480, 1280, 960);
    return 0;
}
