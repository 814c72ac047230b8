// Cost of measuring a text through the runtime (TextWidth: the entry point, the slot, the extent
// and the italic overhang) against a bare GetTextExtentPoint32A on the same DC and font.
#include "app/program.h"
#include "bench/interleaved_rounds.h"
#include "runtime/drawing/plain_output.h"
#include "runtime/drawing/text_drawing.h"

#include <stdio.h>
#include <string.h>

namespace {

const char* const Texts[] = {"Ulvo", "Hello, world", "The quick brown fox jumps over the lazy dog"};
const int TextCount = sizeof Texts / sizeof Texts[0];

HDC dc;
int next;
volatile long sink;

void RuntimeWidth() {
    sink += TextWidth(Texts[next++ % TextCount]);
}

void BareWidth() {
    const char* text = Texts[next++ % TextCount];
    SIZE size;
    GetTextExtentPoint32A(dc, text, static_cast<int>(strlen(text)), &size);
    sink += size.cx;
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
    Medians m = TimeInterleaved(RuntimeWidth, BareWidth, 15, 20000, 2000);
    printf("TextWidth through the runtime:  %8.3f us\n", m.runtime * 1e6);
    printf("bare GetTextExtentPoint32A:     %8.3f us\n", m.baseline * 1e6);
    printf("ratio runtime / bare:           %8.3f (goal: at most 1.10)\n", m.runtime / m.baseline);
    EndDrawing();
    DeleteObject(font);
    DeleteDC(dc);
    ShutdownRuntime();
    EndRuntime();
    return 0;
}
