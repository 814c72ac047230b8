// Outputs for the drawing tests: a top-down DIB section read back pixel by pixel, lent either
// as a plain memory DC or as a surface that switches between a DC and its locked memory.
#pragma once

#include "runtime/drawing/drawing_context.h"
#include "runtime/drawing/plain_output.h"

#include <stdint.h>
#include <windows.h>

struct Canvas {
    HBITMAP bitmap = nullptr;
    void* bits = nullptr;
    int width = 0, height = 0, bitsPerPixel = 0, pitch = 0;

    Canvas(int w, int h, int bpp = 32) : width(w), height(h), bitsPerPixel(bpp) {
        // The palette stays black: the tests read 8-bit pixels as raw bytes.
        struct {
            BITMAPINFOHEADER header;
            RGBQUAD colors[256];
        } info = {};
        info.header.biSize = sizeof info.header;
        info.header.biWidth = w;
        info.header.biHeight = -h; // top-down: row 0 first
        info.header.biPlanes = 1;
        info.header.biBitCount = static_cast<WORD>(bpp);
        info.header.biCompression = BI_RGB;
        bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                  &bits, nullptr, 0);
        pitch = ((w * bpp + 31) / 32) * 4;
    }
    ~Canvas() { DeleteObject(bitmap); }

    uint8_t* Row(int y) const { return static_cast<uint8_t*>(bits) + y * pitch; }
    // A 32-bit canvas's pixel as 0x00BBGGRR.
    COLORREF At(int x, int y) const {
        GdiFlush();
        uint32_t v = reinterpret_cast<uint32_t*>(Row(y))[x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    int CountOf(COLORREF color) const {
        int n = 0;
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++)
                n += At(x, y) == color;
        return n;
    }
    void Clear(COLORREF color) {
        GdiFlush();
        uint32_t v = GetRValue(color) << 16 | GetGValue(color) << 8 | GetBValue(color);
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++)
                reinterpret_cast<uint32_t*>(Row(y))[x] = v;
    }
};

// The canvas in a memory DC, bound as a plain output.
struct PlainCanvas : Canvas {
    HDC dc;
    HGDIOBJ previous;
    PlainCanvas(int w, int h) : Canvas(w, h), dc(CreateCompatibleDC(nullptr)) {
        previous = SelectObject(dc, bitmap);
    }
    ~PlainCanvas() {
        if (currentContext && currentContext->dc == dc)
            EndDrawing();
        SelectObject(dc, previous);
        DeleteDC(dc);
    }
};

// The canvas as a surface: each DC is a fresh memory DC (GDI defaults), and the memory is the
// section's bits. The callbacks keep the surface contract and count what they do.
struct SurfaceCanvas : Canvas {
    static SurfaceCanvas* current;
    int acquires = 0, locks = 0, unlocks = 0, releases = 0, releaseFlag = -1;
    bool failLock = false;
    HGDIOBJ previous = nullptr;

    SurfaceCanvas(int w, int h, int bpp = 32) : Canvas(w, h, bpp) { current = this; }
    ~SurfaceCanvas() {
        if (currentContext && currentContext->release == Release)
            EndDrawing();
        current = nullptr;
    }

    HDC TakeDC() {
        HDC dc = CreateCompatibleDC(nullptr);
        previous = SelectObject(dc, bitmap);
        return dc;
    }
    static void GiveDC(HDC dc) {
        SelectObject(dc, current->previous);
        DeleteDC(dc);
    }

    static HDC AcquireDC(DrawingContext* context) {
        if (context->dc)
            return context->dc;
        if (context->buffer) {
            current->unlocks++;
            context->buffer = nullptr;
        }
        current->acquires++;
        context->dc = current->TakeDC();
        return context->dc;
    }
    static void* Lock(DrawingContext* context, int* pitch) {
        if (context->dc) {
            GiveDC(context->dc);
            context->dc = nullptr;
        }
        current->locks++;
        if (!current->failLock) {
            GdiFlush();
            context->buffer = current->bits;
            *pitch = current->pitch;
        }
        return context->buffer;
    }
    static void Release(DrawingContext* context, int flag) {
        current->releases++;
        current->releaseFlag = flag;
        if (context->dc) {
            GiveDC(context->dc);
            context->dc = nullptr;
        }
        if (context->buffer) {
            current->unlocks++;
            context->buffer = nullptr;
        }
    }

    // The output function of this surface.
    DrawingContext* Output(int format) {
        HDC dc = TakeDC();
        DrawingContext* context = CreateDrawingContext();
        if (!context) {
            GiveDC(dc);
            return nullptr;
        }
        context->kind = OUTPUT_SURFACE;
        context->dc = dc;
        context->width = width;
        context->height = height;
        context->depth = bitsPerPixel;
        context->pixelFormat = format;
        context->acquireDC = AcquireDC;
        context->lockBuffer = Lock;
        context->release = Release;
        return context;
    }
};
inline SurfaceCanvas* SurfaceCanvas::current = nullptr;
