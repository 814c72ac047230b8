// What the gallery draws in its window: text in two fonts and at an angle, the picture three
// ways and the last event, drawn with the runtime's drawing layer into a memory bitmap that is
// then copied onto the window.
#pragma once

#include "picture.h"

#include <windows.h>

struct Scene {
    HFONT heading, italic, body;
    HDC memory;
    HBITMAP bitmap;
    HGDIOBJ savedBitmap;
    Pictures pictures;
};

// Fonts, the memory bitmap and the pictures; false when any cannot be made (whatever was made
// is freed).
bool OpenScene(Scene* scene, HWND window);
// Draws everything, eventLine at the bottom, and copies it onto the window.
void PaintScene(const Scene& scene, HWND window, const char* eventLine);
void CloseScene(Scene* scene);
