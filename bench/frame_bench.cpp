// Cost of one frame of the program through the runtime (drawing span, clear, 360 lines, fill,
// end, present) against a hand-written frame that makes the same GDI and Direct3D calls
// directly. Both run free (presentation under Wine is not paced by a retrace), interleaved in
// rounds so that both see the same machine.
#include "app/frame.h"
#include "app/program.h"
#include "bench/interleaved_rounds.h"
#include "runtime/screen/frame_presentation.h"
#include "runtime/screen/screen_library.h"
#include "runtime/screen/windowed_screen.h"
#include "runtime/window/window.h"

#include <stdio.h>

namespace {

float handPhase;

void Colour(HDC dc, COLORREF colour, HBRUSH& brush, HPEN& pen) {
    HBRUSH newBrush = CreateSolidBrush(colour);
    SelectObject(dc, newBrush);
    DeleteObject(brush);
    brush = newBrush;
    HPEN newPen = CreatePen(PS_SOLID, 0, colour);
    SelectObject(dc, newPen);
    if (pen)
        DeleteObject(pen);
    pen = newPen;
    SetTextColor(dc, colour);
}

void HandWrittenFrame() {
    HDC dc;
    if (FAILED(Screen.backBuffer->GetDC(&dc)))
        return;
    HBRUSH defaultBrush = CreateSolidBrush(0);
    HPEN defaultPen = CreatePen(PS_SOLID, 0, 0);
    HBRUSH brush = CreateSolidBrush(0);
    HPEN pen = nullptr;
    SetTextAlign(dc, TA_UPDATECP);
    HGDIOBJ savedBrush = SelectObject(dc, defaultBrush);
    HGDIOBJ savedPen = SelectObject(dc, defaultPen);
    HGDIOBJ savedFont = SelectObject(dc, GetStockObject(SYSTEM_FONT));

    Colour(dc, 0x000000, brush, pen);
    Rectangle(dc, 0, 0, 640, 480);
    Colour(dc, 0xFFFFFF, brush, pen);
    int px = 0, py = 0;
    for (int i = 0; i <= 360; ++i) {
        int x, y;
        OutlinePoint(i, handPhase, &x, &y);
        if (i != 0) {
            MoveToEx(dc, px, py, nullptr);
            LineTo(dc, x, y);
            SetPixelV(dc, x, y, 0xFFFFFF);
        }
        px = x;
        py = y;
    }
    ExtFloodFill(dc, 320, 240, 0xFFFFFF, FLOODFILLBORDER);
    handPhase += 0.017f;

    SelectObject(dc, savedBrush);
    SelectObject(dc, savedPen);
    SelectObject(dc, savedFont);
    DeleteObject(brush);
    DeleteObject(pen);
    DeleteObject(defaultBrush);
    DeleteObject(defaultPen);
    Screen.backBuffer->ReleaseDC(dc);

    if (Screen.device->TestCooperativeLevel() == D3D_OK) {
        RECT source = {0, 0, 640, 480}, destination;
        GetClientRect(Screen.childWindow, &destination);
        Screen.device->Present(&source, &destination, nullptr, nullptr);
    }
}

void RuntimeFrame() {
    DrawFrame();
    PresentFrame();
}

} // namespace

int main() {
    StartRuntime();
    if (!StartScreenLibrary() || !OpenAppWindow(0, 0, 0, 640, 480, "Ulvo", 0xCA0001) ||
        !OpenScreenInWindow(WindowHandleOf(0), 0, 0, 640, 480, 0, 0, 0)) {
        printf("frame_bench: no screen could be opened\n");
        return 1;
    }
    Medians m = TimeInterleaved(RuntimeFrame, HandWrittenFrame, 15, 400, 200);
    double r = m.runtime, h = m.baseline;
    printf("frame through the runtime: %8.1f us\n", r * 1e6);
    printf("hand-written frame:        %8.1f us\n", h * 1e6);
    printf("ratio runtime / hand:      %8.3f (goal: at most 1.05)\n", r / h);
    ShutdownRuntime();
    EndRuntime();
    return 0;
}
