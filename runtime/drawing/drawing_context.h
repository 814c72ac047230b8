// The drawing context: one output (anything that lends a GDI DC) bound to the drawing layer for
// one drawing span, with the operations that draw on it and the entry points that reach them.
#pragma once

#include "qv/drawing.h" // the entry points and the mode flags
#include "runtime/core/layout.h"

#include <stdint.h>
#include <windows.h>

// Output kinds.
enum {
    OUTPUT_PLAIN = 0,      // any other DC, held for the whole span
    OUTPUT_WRITE_ONLY = 5, // cannot be read back
    OUTPUT_SURFACE = 7,    // DC or locked pixel memory, never both at once
};

// Pixel formats of a surface output's memory.
enum {
    FORMAT_PALETTED8 = 1, // 8 bits: a palette index
    FORMAT_RGB555 = 2,    // 16 bits: x1 r5 g5 b5
    FORMAT_RGB565 = 4,    // 16 bits: r5 g6 b5
    FORMAT_XRGB8888 = 64, // 32 bits: a8 r8 g8 b8
};

// What a surface output currently lends: its DC or its locked memory (0 before start).
enum {
    ACCESS_DC = 1,
    ACCESS_BUFFER = -1,
};

struct DrawingContext;

// The output's callbacks.
// Surface outputs: give back locked memory, obtain the DC, store it in dc and return it (or 0).
typedef HDC (*AcquireDCCallback)(DrawingContext* context);
// Surface outputs: give back the DC (dc = 0), lock the memory, store it in buffer, write the row
// pitch through pitch and return buffer (null if nothing is locked).
typedef void* (*LockBufferCallback)(DrawingContext* context, int* pitch);
// Gives back whatever the output still lends; flag 0 after a failed start, 1 at EndDrawing.
typedef void (*ReleaseCallback)(DrawingContext* context, int flag);

struct DrawingContext {
    // The 26 operation slots, in slot order. Coordinates are already shifted by the origin.
    int (*setBackColor)(DrawingContext* context, int color);                  //  0
    int (*box)(DrawingContext* context, int x, int y, int width, int height); //  1
    int (*roundedBox)(DrawingContext* context, int x, int y, int width, int height, int rx,
                      int ry);                                         //  2
    int (*circle)(DrawingContext* context, int x, int y, int r);       //  3
    int (*setFont)(DrawingContext* context, HFONT font);               // (HFONT)-1: system font  4
    void* (*bufferAddress)(DrawingContext* context);                   //  5
    int (*bufferPitch)(DrawingContext* context);                       //  6
    int (*bufferFormat)(DrawingContext* context);                      //  7
    int (*setMode)(DrawingContext* context, int flags);                //  8
    int (*image)(DrawingContext* context, HANDLE image, int x, int y); //  9
    int (*imageScaled)(DrawingContext* context, HANDLE image, int x, int y, int width,
                       int height);                                                      // 10
    int (*imageBlended)(DrawingContext* context, HANDLE image, int x, int y, int alpha); // 11
    int (*text)(DrawingContext* context, int x, int y, const char* text);                // 12
    int (*angledText)(DrawingContext* context, int x, int y, const char* text,
                      float angle);                                        // 13
    int (*ellipse)(DrawingContext* context, int x, int y, int rx, int ry); // 14
    int (*fill)(DrawingContext* context, int x, int y, int border);        // 15
    int (*setColor)(DrawingContext* context, int color);                   // 16
    intptr_t (*grab)(DrawingContext* context, int number, int x, int y, int width,
                     int height);                                         // 17
    int (*line)(DrawingContext* context, int x1, int y1, int x2, int y2); // 18
    int (*plotCurrent)(DrawingContext* context, int x, int y);            // 19
    int (*plot)(DrawingContext* context, int x, int y, int color);        // 20
    int (*pixel)(DrawingContext* context, int x, int y);                  // 21
    HDC (*start)(DrawingContext* context);                                // 22
    int (*stop)(DrawingContext* context);                                 // 23
    int (*textHeight)(DrawingContext* context, const char* text);         // 24
    int (*textWidth)(DrawingContext* context, const char* text);          // 25

    // The output.
    ReleaseCallback release; // may be null
    int width;
    int height;
    int depth; // bits per pixel

    // The drawing state.
    int originX; // added by the entry points to every x (not to sizes)
    int originY;
    int color;       // the colour cache: last colour handed to setColor, -1 unset
    int backColor;   // applied to every re-acquired DC; -1 unset
    int kind;        // OUTPUT_*
    void* buffer;    // locked pixel memory of a surface output, or null
    int pitch;       // bytes from one row of buffer to the next
    int pixelFormat; // FORMAT_* of a surface output
    AcquireDCCallback acquireDC;
    LockBufferCallback lockBuffer;
    HDC dc;              // 0 while a surface's memory is locked
    int mode;            // MODE_* flags
    int access;          // ACCESS_DC, ACCESS_BUFFER, or 0 before start
    HBRUSH brush;        // solid brush of color; owned
    HPEN pen;            // solid pen of color, width 0; null until the first setColor; owned
    HFONT font;          // current font; not owned
    HBRUSH defaultBrush; // black, selected by start; owned
    HPEN defaultPen;     // black, width 0, selected by start; owned
    HGDIOBJ savedBrush;  // what start found selected in the DC
    HGDIOBJ savedPen;
    int italicOverhang;
    HFONT angledFont; // rotated copy of font; owned
    float angledFontAngle;
    int grabAs24;
    HGDIOBJ savedFont;
    HDC imageDC; // memory DC the image operations share for the span, made on first use; owned
};
QV_ASSERT_SIZE(DrawingContext, 224);

// The thread-local slot that also holds the current context, and the current context itself.
extern DWORD drawingSlot;
extern DrawingContext* currentContext;

// Start-up routine: allocates drawingSlot. A span left open when the runtime ends is dropped
// with the heap: the entry points and EndDrawing then find no current context.
void StartDrawingSlot();

// For output functions: a zero-filled context with its operations filled in, made current.
// A context current before is neither ended nor freed. Null when the heap has no room.
DrawingContext* CreateDrawingContext();

// The current context once BeginDrawing has started it, else null. Entry points act only on
// such a span: one an output function made but that has not begun holds none of the GDI
// objects of a span yet, and start would lose whatever drawing on it made.
inline DrawingContext* BegunContext() {
    DrawingContext* context = currentContext;
    return context && context->access != 0 ? context : nullptr;
}

// The entry points (qv/drawing.h) shift coordinates by the origin and pass their colour through
// the colour cache; without a begun span they draw nothing and return 0.

// The colour cache of the entry points: stores color and hands it to setColor only when it
// differs from the colour last applied.
void ApplyColor(DrawingContext* context, int color);

// True for a handle of a DC that exists: not 0, not deleted, not some other GDI object.
bool IsLiveDC(HDC dc);

// Re-acquires a surface output's DC while its memory is locked and re-applies the DC state.
void EnsureDC(DrawingContext* context);
