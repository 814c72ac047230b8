// Cost of drawing a 256 x 256 image with per-pixel alpha onto the back buffer through the
// runtime (imageBlended: blend copy, AlphaBlend) against a hand-written sequence of the GDI
// calls that blend a ready premultiplied copy (CreateCompatibleDC, SelectObject, AlphaBlend).
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

const int Size = 256;
HBITMAP image, premultiplied;

double Now() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) / frequency.QuadPart;
}

// One draw of each kind, both onto the back buffer's DC held by the span.
double TimeRuntime(int i) {
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
    void *bits, *ready;
    image = CreateImageBitmap(Size, Size, 32, &bits);
    premultiplied = CreateImageBitmap(Size, Size, 32, &ready);
    for (int i = 0; i < Size * Size; ++i) {
        unsigned x = i % Size, y = i / Size, a = x ^ y, b = (x + y) / 2;
        static_cast<uint32_t*>(bits)[i] = a << 24 | x << 16 | y << 8 | b;
        static_cast<uint32_t*>(ready)[i] =
            a << 24 | (x * a >> 8) << 16 | (y * a >> 8) << 8 | (b * a >> 8);
    }

    // Single draws alternate, in both orders, and the medians are compared: on a busy machine
    // this keeps either side from getting the quieter moments.
    HDC dc = BeginDrawing(BackBufferOutput());
    if (!dc) {
        printf("image_bench: the back buffer lends no DC\n");
        return 1;
    }
    const int draws = 3000;
    std::vector<double> runtime, hand;
    for (int i = 0; i < draws + 100; ++i) {
        double r, h;
        if (i & 1) {
            r = TimeRuntime(i);
            h = TimeHandWritten(dc, i);
        } else {
            h = TimeHandWritten(dc, i);
            r = TimeRuntime(i);
        }
        if (i >= 100) { // the first ones warm both paths up
            runtime.push_back(r);
            hand.push_back(h);
        }
    }
    EndDrawing();
    double r = Median(runtime), h = Median(hand);
    printf("imageBlended through the runtime: %8.1f us\n", r * 1e6);
    printf("hand-written AlphaBlend:          %8.1f us\n", h * 1e6);
    printf("ratio runtime / hand:             %8.3f (goal: at most 1.10)\n", r / h);
    DeleteObject(premultiplied);
    DeleteObject(image);
    ShutdownRuntime();
    EndRuntime();
    return 0;
}
