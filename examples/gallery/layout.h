// Where the gallery puts things and what its picture holds; its end-to-end driver reads the
// screen and the window by the same numbers.
#pragma once

#include <windows.h>

constexpr int GALLERY_WIDTH = 640, GALLERY_HEIGHT = 480;

// The window title carries the last event polled, so that another process can read it with
// GetWindowTextA: GALLERY_TITLE alone until the first event, then GALLERY_TITLE_EVENT.
constexpr char GALLERY_TITLE[] = "Gallery";
constexpr char GALLERY_TITLE_EVENT[] = "Gallery - event %d, window %d, object %d, type %d";

// Gadget numbers, in tab order.
enum {
    BUTTON_ONE = 1,
    BUTTON_TWO = 2,
    EDIT_FIELD = 3,
    RICH_EDIT = 4,
};

// The picture the program writes as a bitmap file: PICTURE_COLUMNS x PICTURE_ROWS cells of
// PICTURE_CELL pixels, each of one colour (0x00BBGGRR).
constexpr int PICTURE_CELL = 16, PICTURE_COLUMNS = 4, PICTURE_ROWS = 3;
constexpr int PICTURE_WIDTH = PICTURE_CELL * PICTURE_COLUMNS;
constexpr int PICTURE_HEIGHT = PICTURE_CELL * PICTURE_ROWS;
constexpr COLORREF PICTURE_COLORS[PICTURE_ROWS][PICTURE_COLUMNS] = {
    {0x3030E0, 0x30A0F0, 0x30D0E0, 0x40B040},
    {0xC0A020, 0xE06030, 0xA040A0, 0x8080F0},
    {0x303030, 0x909090, 0xF0F0F0, 0x2070A0},
};

// The picture three ways: at its own size, scaled up, and blended over a band.
constexpr int PICTURE_X = 24, PICTURE_Y = 292;
constexpr int SCALE_FACTOR = 3;
constexpr int SCALED_X = 104, SCALED_Y = 292;
constexpr int BAND_X = 320, BAND_Y = 312, BAND_WIDTH = 296, BAND_HEIGHT = 56;
constexpr COLORREF BAND_COLOR = 0x905020;
constexpr int BLENDED_X = 420, BLENDED_Y = 292;
constexpr int BLEND_ALPHA = 128;

constexpr COLORREF BACKGROUND_COLOR = 0xF4F0EA;
