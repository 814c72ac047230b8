// Cost of drawing a 256 x 256 image with per-pixel alpha onto the back buffer through the
// runtime (imageBlended: blend copy, AlphaBlend) against a hand-written sequence of the GDI
// calls that blend a ready premultiplied copy (CreateCompatibleDC, SelectObject, AlphaBlend).
// Then one frame of blending: that image and a 24-bit one of another size at a constant alpha,
// each drawn through imageBlended, against AlphaBlend calls on the same sections through a
// memory DC that the hand-written frame, like the span, makes once.
// Interleaved draw by draw so that both see the same machine.
#include "app/program.h"
#include "runtime/drawing/image_drawing.h"
#include "runtime/image/alpha_blending.h"
#include "runtime/image/image_objects.h"
#include "runtime/screen/back_buffer_output.h"
#include "runtime/screen/screen_library.h"
#include "runtime/screen/windowed_screen.h"
#include "runtime/window/window.h"

#include <algorithm>
#include <stdint.h>
#include <stdio.h>
#include <vector>

namespace {

const int Size = 256, OtherWidth = 192, OtherHeight = 144, OtherAlpha = 160;
HBITMAP image, premultiplied, other;

double Now() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) / frequency.QuadPart;
}

// One draw of each kind, both onto the back buffer's DC held by the span.
double TimeRuntime(HDC, int i) {
    double start = Now();
    DrawImageBlended(image, 100 + (i & 63), 80, 255);
    return Now() - start;
}

double TimeHandWritten(HDC dc, int i) {
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    double start = Now();
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, premultiplied);
    AlphaBlendEntry(dc, 100 + (i & 63), 80, Size, Size, memory, 0, 0, Size, Size, blend);
    SelectObject(memory, previous);
    DeleteDC(memory);
    return Now() - start;
}

// One frame of each kind: the image with alpha, then the 24-bit one at a constant alpha.
double TimeRuntimeFrame(HDC, int i) {
    double start = Now();
    DrawImageBlended(image, 100 + (i & 63), 80, 255);
    DrawImageBlended(other, 300, 200 + (i & 31), OtherAlpha);
    return Now() - start;
}

HDC frameMemory;

double TimeHandWrittenFrame(HDC dc, int i) {
    BLENDFUNCTION perPixel = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    BLENDFUNCTION constant = {AC_SRC_OVER, 0, OtherAlpha, 0};
    double start = Now();
    HGDIOBJ previous = SelectObject(frameMemory, premultiplied);
    AlphaBlendEntry(dc, 100 + (i & 63), 80, Size, Size, frameMemory, 0, 0, Size, Size, perPixel);
    SelectObject(frameMemory, other);
    AlphaBlendEntry(dc, 300, 200 + (i & 31), OtherWidth, OtherHeight, frameMemory, 0, 0, OtherWidth,
                    OtherHeight, constant);
    SelectObject(frameMemory, previous);
    return Now() - start;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main() {
    StartRuntime();
    if (!StartScreenLibrary() || !OpenAppWindow(0, 0, 0, 640, 480, "Ulvo", 0xCA0001) ||
        !OpenScreenInWindow(WindowHandleOf(0), 0, 0, 640, 480, 0, 0, 0)) {
        printf("image_bench: no screen could be opened\n");
        return 1;
    }
    if (!AlphaBlendEntry) {
        printf("image_bench: msimg32 offers no AlphaBlend\n");
        return 1;
    }
    // Colours and alpha that vary over the picture, so every pixel is multiplied.
    // The hand-written side premultiplies once, ahead of time.
    void *bits, *ready, *otherBits;
    image = CreateImageBitmap(Size, Size, 32, &bits);
    premultiplied = CreateImageBitmap(Size, Size, 32, &ready);
    for (int i = 0; i < Size * Size; ++i) {
        unsigned x = i % Size, y = i / Size, a = x ^ y, b = (x + y) / 2;
        static_cast<uint32_t*>(bits)[i] = a << 24 | x << 16 | y << 8 | b;
        static_cast<uint32_t*>(ready)[i] =
            a << 24 | (x * a >> 8) << 16 | (y * a >> 8) << 8 | (b * a >> 8);
    }
    other = CreateImageBitmap(OtherWidth, OtherHeight, 24, &otherBits);
    for (int i = 0; i < BitmapRowStride(OtherWidth, 24) * OtherHeight; ++i)
        static_cast<uint8_t*>(otherBits)[i] = static_cast<uint8_t>(i * 7);

    // Single draws (or frames) alternate, in both orders, and the medians are compared: on a
    // busy machine this keeps either side from getting the quieter moments.
    HDC dc = nullptr;
    auto compare = [&dc](double (*runtime)(HDC, int), double (*hand)(HDC, int), const char* what,
                         const char* baseline) {
        const int draws = 3000;
        std::vector<double> r, h;
        for (int i = 0; i < draws + 100; ++i) {
            double a, b;
            if (i & 1) {
                a = runtime(dc, i);
                b = hand(dc, i);
            } else {
                b = hand(dc, i);
                a = runtime(dc, i);
            }
            if (i >= 100) { // the first ones warm both paths up
                r.push_back(a);
                h.push_back(b);
            }
        }
        double mr = Median(r), mh = Median(h);
        printf("%-34s %8.1f us\n", what, mr * 1e6);
        printf("%-34s %8.1f us\n", baseline, mh * 1e6);
        printf("%-34s %8.3f (goal: at most 1.10)\n", "ratio runtime / hand:", mr / mh);
    };
    if (!(dc = BeginDrawing(BackBufferOutput()))) {
        printf("image_bench: the back buffer lends no DC\n");
        return 1;
    }
    compare(TimeRuntime, TimeHandWritten,
            "imageBlended through the runtime:", "hand-written AlphaBlend:");
    frameMemory = CreateCompatibleDC(dc);
    compare(TimeRuntimeFrame, TimeHandWrittenFrame,
            "a frame of two blended images:", "hand-written AlphaBlend frame:");
    DeleteDC(frameMemory);
    EndDrawing();
    DeleteObject(other);
    DeleteObject(premultiplied);
    DeleteObject(image);
    ShutdownRuntime();
    EndRuntime();
    return 0;
}
