// Cost of measuring a text through the runtime (TextWidth: the entry point, the slot, the extent
// and the italic overhang) against a bare GetTextExtentPoint32A on the same DC and font. Then
// one frame of text: a span in which an italic font is set and 20 strings are drawn, and 5 more
// at an angle that changes every frame, against a hand-written frame that selects two fonts made
// once and calls TextOutA.
#include "app/program.h"
#include "bench/interleaved_rounds.h"
#include "runtime/drawing/plain_output.h"
#include "runtime/drawing/text_drawing.h"
#include "runtime/image/image_objects.h"

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

HFONT MakeFont(int escapement, DWORD precision) {
    return CreateFontA(-20, 0, escapement, escapement, FW_NORMAL, TRUE, 0, 0, ANSI_CHARSET,
                       precision, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, 0, "DejaVu Sans");
}

// The frame's picture: the lines of straight text and the turned ones, and their angle, which
// changes every frame by a thousandth of a degree: within the tenth of a degree that a font's
// escapement resolves, so the same turned glyphs serve every frame. (An angle that moves
// further has its glyphs rendered anew, which the hand-written frame with its one turned font
// never pays.)
HDC runtimeDC, handDC; // each its own, so that neither finds the other's DC state
HFONT italic, turned;
int frame;
const int Lines = 20, TurnedLines = 5;
const char* const Line = "Ulvo draws this line";

float AngleOf(int n) {
    return 30.0f + 0.001f * static_cast<float>(n % 100);
}

void RuntimeFrame() {
    BeginDrawing(PlainOutput(runtimeDC));
    SetDrawingFont(italic);
    for (int i = 0; i < Lines; ++i)
        DrawString(10, 10 + 22 * i, Line, 0xFFFFFF);
    float angle = AngleOf(frame++);
    for (int i = 0; i < TurnedLines; ++i)
        DrawAngledString(300 + 40 * i, 400, Line, angle, 0x00FFFF);
    EndDrawing();
}

void HandWrittenFrame() {
    HGDIOBJ saved = SelectObject(handDC, italic);
    SetTextColor(handDC, 0xFFFFFF);
    int length = static_cast<int>(strlen(Line));
    for (int i = 0; i < Lines; ++i)
        TextOutA(handDC, 10, 10 + 22 * i, Line, length);
    SelectObject(handDC, turned);
    SetTextColor(handDC, 0x00FFFF);
    int mode = SetBkMode(handDC, TRANSPARENT);
    for (int i = 0; i < TurnedLines; ++i)
        TextOutA(handDC, 300 + 40 * i, 400, Line, length);
    SetBkMode(handDC, mode);
    SelectObject(handDC, saved);
}

} // namespace

int main() {
    StartRuntime();
    dc = CreateCompatibleDC(nullptr);
    HFONT font = MakeFont(0, OUT_DEFAULT_PRECIS);
    if (!BeginDrawing(PlainOutput(dc)) || !SetDrawingFont(font)) {
        printf("text_bench: no drawing span could be begun\n");
        return 1;
    }
    Medians m = TimeInterleaved(RuntimeWidth, BareWidth, 15, 20000, 2000);
    printf("TextWidth through the runtime:  %8.3f us\n", m.runtime * 1e6);
    printf("bare GetTextExtentPoint32A:     %8.3f us\n", m.baseline * 1e6);
    printf("ratio runtime / bare:           %8.3f (goal: at most 1.10)\n", m.runtime / m.baseline);
    EndDrawing();

    runtimeDC = CreateCompatibleDC(nullptr);
    handDC = CreateCompatibleDC(nullptr);
    HBITMAP runtimeTarget = CreateImageBitmap(640, 480, 32);
    HBITMAP handTarget = CreateImageBitmap(640, 480, 32);
    HGDIOBJ savedRuntimeTarget = SelectObject(runtimeDC, runtimeTarget);
    HGDIOBJ savedHandTarget = SelectObject(handDC, handTarget);
    // The turned font is what the runtime makes of the italic one.
    italic = MakeFont(0, OUT_DEFAULT_PRECIS);
    turned = MakeFont(static_cast<int>(AngleOf(0) * 10), OUT_TT_ONLY_PRECIS);
    m = TimeInterleaved(RuntimeFrame, HandWrittenFrame, 15, 100, 100);
    printf("a frame of text through the runtime: %8.1f us\n", m.runtime * 1e6);
    printf("hand-written TextOutA frame:         %8.1f us\n", m.baseline * 1e6);
    printf("ratio runtime / hand:                %8.3f (goal: at most 1.20)\n",
           m.runtime / m.baseline);
    SelectObject(runtimeDC, savedRuntimeTarget);
    SelectObject(handDC, savedHandTarget);
    DeleteObject(runtimeTarget);
    DeleteObject(handTarget);
    DeleteDC(runtimeDC);
    DeleteDC(handDC);
    DeleteObject(turned);
    DeleteObject(italic);
    DeleteObject(font);
    DeleteDC(dc);
    ShutdownRuntime();
    EndRuntime();
    return 0;
}
