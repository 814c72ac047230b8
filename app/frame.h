// One frame of the picture: a white, filled, wobbling cell outline on black.
#pragma once

struct DrawingContext;

// Draws one frame on the screen's back buffer and advances the phase.
void DrawFrame();

// Draws one frame on the given output (null draws nothing) and advances the phase.
void DrawOutlineFrame(DrawingContext* output);

// Point i (0..360) of the outline at phase t, in screen pixels.
void OutlinePoint(int i, float t, int* x, int* y);
