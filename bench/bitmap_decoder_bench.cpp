// The bitmap decoder against stb_image's loader on the same 1920 x 1080 files in memory,
// 24-bit and 8-bit with a colour table. Both sides include making their output buffer.
#include "image/bitmap_files.h"
#include "runtime/image/bitmap_decoder.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#include <stb_image.h>

namespace {

constexpr int Width = 1920, Height = 1080, Rounds = 40;

volatile unsigned Sink;

double Now() {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Check, a DIB-shaped destination (rows padded to 4 bytes), decode, clean-up.
uint8_t* DecodeOurs(const Bytes& file, int* pitch) {
    LoadContext context = {};
    context.memory = file.data();
    context.fromMemory = 1;
    context.size = static_cast<unsigned>(file.size());
    if (!BitmapCheck(&context))
        return nullptr;
    *pitch = (3 * context.width + 3) & ~3;
    auto* pixels = static_cast<uint8_t*>(malloc(static_cast<size_t>(*pitch) * context.height));
    if (pixels)
        BitmapDecode(&context, pixels, *pitch, 0);
    BitmapCleanup(&context);
    return pixels;
}

uint8_t* DecodeStb(const Bytes& file) {
    int width, height, channels;
    return stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &width, &height,
                                 &channels, 3);
}

// Same picture: ours is blue, green, red; stb's red, green, blue; both top row first.
bool SamePixels(const uint8_t* ours, int pitch, const uint8_t* stb) {
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            const uint8_t* a = ours + static_cast<size_t>(y) * pitch + 3 * x;
            const uint8_t* b = stb + (static_cast<size_t>(y) * Width + x) * 3;
            if (a[0] != b[2] || a[1] != b[1] || a[2] != b[0])
                return false;
        }
    return true;
}

void Compare(const char* name, const Bytes& file) {
    int pitch = 0;
    uint8_t* ours = DecodeOurs(file, &pitch);
    uint8_t* stb = DecodeStb(file);
    bool same = ours && stb && SamePixels(ours, pitch, stb);
    free(ours);
    stbi_image_free(stb);

    double bestOurs = 1e9, bestStb = 1e9;
    for (int round = 0; round < Rounds; ++round) {
        double start = Now();
        ours = DecodeOurs(file, &pitch);
        Sink += ours[pitch];
        free(ours);
        double middle = Now();
        stb = DecodeStb(file);
        Sink += stb[Width];
        stbi_image_free(stb);
        double end = Now();
        bestOurs = std::min(bestOurs, middle - start);
        bestStb = std::min(bestStb, end - middle);
    }
    printf("%-28s BitmapDecode %6.2f ms   stbi_load_from_memory %6.2f ms   %.2fx faster   "
           "same pixels: %s\n",
           name, bestOurs * 1e3, bestStb * 1e3, bestStb / bestOurs, same ? "yes" : "NO");
}

} // namespace

int main() {
    printf("decoding a %d x %d bitmap file from memory, best of %d\n", Width, Height, Rounds);
    Compare("24-bit", MakePatternBitmap(Width, Height, 24));
    Compare("8-bit with a colour table", MakePatternBitmap(Width, Height, 8));
    return 0;
}
