// Cost of measuring a text through the runtime (TextWidth: the entry point, the slot, the extent
// and the italic overhang) against a bare GetTextExtentPoint32A on the same DC and font. Both
// are interleaved in rounds so that both see the same machine.
#include "app/program.h"
#include "runtime/drawing/plain_output.h"
#include "runtime/drawing/text_drawing.h"

#include <algorithm>
#include <stdio.h>
#include <string.h>
#include <vector>

namespace {

const char* const Texts[] = {"Ulvo", "Hello, world", "The quick brown fox jumps over the lazy dog"};
const int TextCount = sizeof Texts / sizeof Texts[0];

HDC dc;
volatile long sink;

double Now() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) / frequency.QuadPart;
}

void RuntimeWidth(const char* text) {
    sink += TextWidth(text);
}

void BareWidth(const char* text) {
    SIZE size;
    GetTextExtentPoint32A(dc, text, static_cast<int>(strlen(text)), &size);
    sink += size.cx;
}

double TimeWidths(void (*measure)(const char*), int count) {
    double start = Now();
    for (int i = 0; i < count; ++i)
        measure(Texts[i % TextCount]);
    return (Now() - start) / count;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main() {
    StartRuntime();
    dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontA(-20, 0, 0, 0, FW_NORMAL, TRUE, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, 0, "DejaVu Sans");
    if (!BeginDrawing(PlainOutput(dc)) || !SetDrawingFont(font)) {
        printf("text_bench: no drawing span could be begun\n");
        return 1;
    }
    const int rounds = 15, widthsPerRound = 20000;
    TimeWidths(RuntimeWidth, 2000); // warm both paths up
    TimeWidths(BareWidth, 2000);
    std::vector<double> runtime, bare;
    for (int round = 0; round < rounds; ++round) {
        runtime.push_back(TimeWidths(RuntimeWidth, widthsPerRound));
        bare.push_back(TimeWidths(BareWidth, widthsPerRound));
    }
    double r = Median(runtime), b = Median(bare);
    printf("TextWidth through the runtime:  %8.3f us\n", r * 1e6);
    printf("bare GetTextExtentPoint32A:     %8.3f us\n", b * 1e6);
    printf("ratio runtime / bare:           %8.3f (goal: at most 1.10)\n", r / b);
    EndDrawing();
    DeleteObject(font);
    DeleteDC(dc);
    ShutdownRuntime();
    EndRuntime();
    return 0;
}
