#include "runtime/screen/back_buffer_output.h"

#include "runtime/screen/windowed_screen.h"

DrawingContext* BackBufferOutput() {
    IDirect3DSurface9* surface = Screen.backBuffer;
    if (!Screen.open || !surface)
        return nullptr;
    HDC dc;
    if (FAILED(surface->GetDC(&dc)))
        return nullptr;
    DrawingContext* context = CreateDrawingContext();
    if (!context) {
        // A DC left borrowed would keep the surface from being presented.
        surface->ReleaseDC(dc);
        return nullptr;
    }
    context->kind = OUTPUT_SURFACE;
    context->dc = dc;
    context->buffer = nullptr;
    context->pixelFormat = Screen.pixelFormat;
    context->width = Screen.width;
    context->height = Screen.height;
    context->depth = Screen.depth;
    context->grabAs24 = 1;
    context->acquireDC = BackBufferAcquireDC;
    context->lockBuffer = BackBufferLock;
    context->release = BackBufferRelease;
    return context;
}

HDC BackBufferAcquireDC(DrawingContext* context) {
    if (context->dc)
        return context->dc;
    IDirect3DSurface9* surface = Screen.backBuffer;
    if (!surface)
        return nullptr;
    if (context->buffer) {
        surface->UnlockRect();
        context->buffer = nullptr;
    }
    HDC dc;
    if (FAILED(surface->GetDC(&dc)))
        return nullptr;
    context->dc = dc;
    return dc;
}

void* BackBufferLock(DrawingContext* context, int* pitchOut) {
    // Already locked: a second lock of the same surface would only be refused.
    if (context->buffer)
        return context->buffer;
    IDirect3DSurface9* surface = Screen.backBuffer;
    if (!surface)
        return nullptr;
    if (context->dc) {
        surface->ReleaseDC(context->dc);
        context->dc = nullptr;
    }
    D3DLOCKED_RECT locked;
    if (SUCCEEDED(surface->LockRect(&locked, nullptr, 0))) {
        context->buffer = locked.pBits;
        *pitchOut = locked.Pitch;
    }
    return context->buffer;
}

void BackBufferRelease(DrawingContext* context, int) {
    IDirect3DSurface9* surface = Screen.backBuffer;
    if (context->dc) {
        if (surface)
            surface->ReleaseDC(context->dc);
        context->dc = nullptr;
    }
    if (context->buffer) {
        if (surface)
            surface->UnlockRect();
        context->buffer = nullptr;
    }
}
