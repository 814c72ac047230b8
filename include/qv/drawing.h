// 2D drawing through GDI on one output (the screen's back buffer, or any GDI DC) for one drawing
// span: BeginDrawing on an output, the drawing calls, EndDrawing.
//
// Colours are 32-bit 0x00BBGGRR values, as RGB(r, g, b) of <windows.h> makes them; white is
// 0xFFFFFF. Coordinates are pixels of the output, x to the right and y down from its top-left
// corner. Outside a begun span every drawing call draws nothing and returns 0.
#pragma once

#include <windows.h>

#include <stdint.h>

// One output bound to the drawing library for one span; made by an output call (PlainOutput,
// BackBufferOutput) and freed by EndDrawing or by a BeginDrawing that fails.
struct DrawingContext;

// A drawing output on any GDI DC that stays the caller's: a memory DC with a bitmap selected (its
// size is the bitmap's), or a window's or printer's DC (its size is the device's). Null when dc
// is no live DC (null, deleted, or another GDI object), when no memory can be had, or when the
// runtime is not running.
DrawingContext* PlainOutput(HDC dc);
// Begins the span on what an output call just made. The span starts with shapes and text in
// black, an opaque text background, the system font and mode 0. Returns the output's DC for GDI
// calls of the caller's own. 0, with nothing changed, when context is null (the output call
// failed), is not the one the last output call made (another was made since, or it was ended) or
// was begun already. 0 also when the output lends no live DC; the context is then given back to
// its output and freed.
HDC BeginDrawing(DrawingContext* context);
// Ends the span: the GDI objects the span made are deleted and the output is given back (the
// back buffer can then be presented). Without a begun span does nothing.
void EndDrawing();

// Drawing modes, combined with |.
constexpr int MODE_TRANSPARENT = 1; // text is drawn without its background
constexpr int MODE_XOR = 2;         // shapes and images invert what lies beneath
constexpr int MODE_OUTLINED = 4;    // shapes are drawn without their insides

// Sets the span's mode flags (0: shapes filled, text on its background, plain copies); they hold
// until the next call or the span's end. 1 when set.
int SetDrawingMode(int flags);
// Sets the colour painted behind text while MODE_TRANSPARENT is clear; until then it is the DC's
// own (white for the back buffer and for a new DC). Returns the colour it replaces; -1
// (CLR_INVALID) when GDI refuses the colour.
int SetDrawingBackColor(int color);

// A box of width x height pixels from (x, y), filled with color (only its outline in
// MODE_OUTLINED); negative sizes reach left and up. Non-zero when drawn.
int DrawBox(int x, int y, int width, int height, int color);
// A line from (x1, y1) to (x2, y2), both ends included. Non-zero when drawn.
int DrawLineTo(int x1, int y1, int x2, int y2, int color);
// Paints with fillColor from (x, y) outwards until pixels of borderColor, or, with borderColor
// -1, the connected area of the colour found at (x, y). 0 when nothing could be painted (the
// start is outside the output, or already of the border colour).
int FloodFill(int x, int y, int borderColor, int fillColor);

// Asks SetDrawingFont for the system font.
inline const HFONT DRAWING_SYSTEM_FONT = reinterpret_cast<HFONT>(-1);
// Draws the span's text in font (a font the caller made with CreateFontA, or
// DRAWING_SYSTEM_FONT), which stays the caller's and must live until the span ends. 1 when set;
// 0 when font is no live font, and the span keeps its font.
int SetDrawingFont(HFONT font);
// Draws text (8-bit characters of the system's code page) in color with its top-left corner at
// (x, y), on the back colour unless MODE_TRANSPARENT is set. Returns the x just after the text,
// where a following text continues the line; x for no text.
int DrawString(int x, int y, const char* text, int color);
// Draws text turned counter-clockwise by angle degrees around (x, y), never with a background.
// Non-zero when drawn; 0 for no text, an angle that is not finite, or a font that cannot be
// turned.
int DrawAngledString(int x, int y, const char* text, float angle, int color);
// The width and height in pixels of text in the span's font (an italic font's overhang
// included in the width); 0 for a null or empty text.
int TextWidth(const char* text);
int TextHeight(const char* text);

// Draw a bitmap (such as ImageHandleOf gives) or an icon with its top-left corner at (x, y): at
// its own size, or stretched to width x height (0 in either: its own size). A bitmap combines
// with the output by XOR in MODE_XOR. Non-zero when drawn; 0 for a handle that is neither a live
// bitmap nor an icon.
int DrawImage(HANDLE image, int x, int y);
int DrawImageScaled(HANDLE image, int x, int y, int width, int height);
// Draws a bitmap at its own size, blended over the output with alpha from 0 (not drawn) to 255:
// a 32-bit bitmap with some non-zero alpha byte by its own per-pixel alpha scaled by alpha, any
// other by alpha alone (a 32-bit picture whose alpha bytes are all 0, as GDI leaves what it draws
// and GrabImage copies, shows as it looks). Where "msimg32.dll" is missing the bitmap is copied
// opaquely, or, when only its per-pixel alpha would show it, not drawn. Non-zero when drawn; 0
// when nothing was: alpha 0, a handle that is no live bitmap, or that case without
// "msimg32.dll".
int DrawImageBlended(HANDLE image, int x, int y, int alpha);
// Copies width x height pixels of the output from (x, y) into a new image under number
// (AutoNumber: a dynamic image); a number that holds an image frees it first. The new bitmap for
// a static number, the new image's number for AutoNumber. 0 when a size is not 1 to 32767
// (nothing is copied then), the number cannot be had (negative but not AutoNumber, above 65520),
// or no memory can be had.
intptr_t GrabImage(int number, int x, int y, int width, int height);

// Resizes a block of pixels (rows of width x bitsPerPixel / 8 bytes, no padding; 1 to 4 bytes
// per pixel, each byte filtered as one channel) to destinationWidth x destinationHeight with a
// cubic filter, into destination, which must hold as many pixels. 1 when done; 0, with nothing
// written, when a size is below 1, bitsPerPixel / 8 is not 1 to 4, or no memory can be had.
// ResizeImage (qv/image.h) does this for a numbered image.
int ScalePixels(const unsigned char* source, int sourceWidth, int sourceHeight,
                unsigned char* destination, int destinationWidth, int destinationHeight,
                int bitsPerPixel);
