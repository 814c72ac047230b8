#include "app/frame.h"

#include "app/program.h"
#include "runtime/drawing/drawing_context.h"
#include "runtime/screen/back_buffer_output.h"

#include <math.h>

namespace {

// All constants are 32-bit floats; arithmetic on them is done in double.
const float Pi = 3.14159274f;
const float PhaseStep = 0.017f;
const float CentreX = 320.0f, CentreY = 240.0f;
const int White = 0xFFFFFF, Black = 0x000000;

// The radius wobbles with two travelling waves: 7 and 5 periods round the outline.
float OutlineRadius(int i, float t) {
    double r =
        10.0f * sin(static_cast<double>(i * 7) * Pi / 180.0f) +
        5.0f * sin(static_cast<double>(i * 5) * Pi / 180.0f + 3.0f * static_cast<double>(t)) +
        50.0f;
    return static_cast<float>(r);
}

void PointAtRadius(int i, float t, float r, int* x, int* y) {
    double angle = static_cast<double>(i) * Pi / 180.0f + t;
    // lrint rounds to nearest with ties to even, as the processor does by default.
    *x = static_cast<int>(lrint(r * cos(angle) + CentreX));
    *y = static_cast<int>(lrint(r * sin(angle) + CentreY));
}

} // namespace

void OutlinePoint(int i, float t, int* x, int* y) {
    PointAtRadius(i, t, OutlineRadius(i, t), x, y);
}

void DrawOutlineFrame(DrawingContext* output) {
    BeginDrawing(output);
    DrawBox(0, 0, 640, 480, Black);
    for (Program.pointIndex = 0; Program.pointIndex <= 360; ++Program.pointIndex) {
        Program.radius = OutlineRadius(Program.pointIndex, Program.phase);
        PointAtRadius(Program.pointIndex, Program.phase, Program.radius, &Program.x, &Program.y);
        if (Program.pointIndex != 0)
            DrawLineTo(Program.previousX, Program.previousY, Program.x, Program.y, White);
        Program.previousX = Program.x;
        Program.previousY = Program.y;
    }
    FloodFill(320, 240, White, White);
    Program.phase = Program.phase + PhaseStep;
    EndDrawing();
}

void DrawFrame() {
    DrawOutlineFrame(BackBufferOutput());
}
