// Source images for the image tests: solid 24-bit sections and an icon.
#pragma once

#include "drawing/drawing_canvas.h"

// A solid image as a 24-bit section: no alpha channel.
struct SolidImage : Canvas {
    SolidImage(int w, int h, COLORREF color) : Canvas(w, h, 24) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                Row(y)[3 * x] = GetBValue(color);
                Row(y)[3 * x + 1] = GetGValue(color);
                Row(y)[3 * x + 2] = GetRValue(color);
            }
    }
};

// An icon of 8 x 8 red pixels with an all-opaque mask, made with CreateIconIndirect.
inline HICON RedIcon() {
    Canvas colour(8, 8);
    colour.Clear(RGB(255, 0, 0));
    HBITMAP mask = CreateBitmap(8, 8, 1, 1, nullptr);
    ICONINFO info = {TRUE, 0, 0, mask, colour.bitmap};
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(mask);
    return icon;
}
