#include "runtime/drawing/image_drawing.h"

#include "runtime/image/alpha_blending.h"
#include "runtime/image/image_objects.h"

namespace {

// The span's memory DC, made on its first image operation compatible with the output's DC (with
// the screen while a surface's memory is locked) and deleted by stop: making one per draw costs
// about as much as a small blit. Whatever is selected into it is selected out again.
HDC ImageDC(DrawingContext* context) {
    if (!context->imageDC)
        context->imageDC = CreateCompatibleDC(context->dc);
    return context->imageDC;
}

// Copies the whole bitmap onto dc at (x, y), width x height, through a memory DC.
int BlitBitmap(HDC dc, int x, int y, int width, int height, HBITMAP bitmap, const BITMAP& info,
               HDC memory, DWORD rop) {
    // A bitmap selected in another DC (the output's own, say) cannot be selected here.
    HGDIOBJ previous = SelectObject(memory, bitmap);
    if (!previous)
        return 0;
    int result;
    if (width == info.bmWidth && height == info.bmHeight) {
        result = BitBlt(dc, x, y, width, height, memory, 0, 0, rop);
    } else {
        SetStretchBltMode(dc, HALFTONE);
        result =
            StretchBlt(dc, x, y, width, height, memory, 0, 0, info.bmWidth, info.bmHeight, rop);
    }
    SelectObject(memory, previous);
    return result;
}

} // namespace

BITMAPINFOHEADER* MakeDibCopy(HBITMAP bitmap) {
    BITMAP info;
    if (!ReadBitmapRecord(bitmap, &info))
        return nullptr;
    size_t bytes = BitmapByteSize(info.bmWidth, info.bmHeight, 24);
    if (!bytes)
        return nullptr;
    auto* header = static_cast<BITMAPINFOHEADER*>(
        GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, sizeof(BITMAPINFOHEADER) + bytes));
    if (!header)
        return nullptr;
    *header = DibHeader(info.bmWidth, info.bmHeight, 24).bmiHeader;
    HDC screen = GetDC(nullptr);
    int lines = GetDIBits(screen, bitmap, 0, info.bmHeight, header + 1,
                          reinterpret_cast<BITMAPINFO*>(header), DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (!lines) {
        GlobalFree(header);
        return nullptr;
    }
    return header;
}

int ImageDraw(DrawingContext* context, HANDLE image, int x, int y) {
    return ImageDrawScaled(context, image, x, y, 0, 0);
}

int ImageDrawScaled(DrawingContext* context, HANDLE image, int x, int y, int width, int height) {
    EnsureDC(context);
    HDC dc = context->dc;
    if (!image)
        return 0;
    DWORD type = GetObjectType(image);
    if (type != OBJ_BITMAP) {
        // Icons and cursors are no GDI objects; a pen, brush or DC is no image at all.
        if (type != 0)
            return 0;
        return DrawIconEx(dc, x, y, static_cast<HICON>(image), width, height, 0, nullptr,
                          DI_NORMAL);
    }
    HBITMAP bitmap = static_cast<HBITMAP>(image);
    BITMAP info;
    if (!ReadBitmapRecord(bitmap, &info))
        return 0;
    DWORD rop = (context->mode & MODE_XOR) ? SRCINVERT : SRCCOPY;
    if (width == 0 || height == 0) {
        width = info.bmWidth;
        height = info.bmHeight;
    }
    if (context->kind == OUTPUT_WRITE_ONLY) {
        BITMAPINFOHEADER* copy = MakeDibCopy(bitmap);
        if (!copy)
            return 0;
        SetStretchBltMode(dc, COLORONCOLOR);
        int lines =
            StretchDIBits(dc, x, y, width, height, 0, 0, info.bmWidth, info.bmHeight, copy + 1,
                          reinterpret_cast<BITMAPINFO*>(copy), DIB_RGB_COLORS, rop);
        GlobalFree(copy);
        return lines > 0;
    }
    HDC memory = ImageDC(context);
    return memory ? BlitBitmap(dc, x, y, width, height, bitmap, info, memory, rop) : 0;
}

int ImageDrawBlended(DrawingContext* context, HANDLE image, int x, int y, int alpha) {
    BITMAP info;
    if (!ReadBitmapRecord(image, &info))
        return 0;
    HBITMAP bitmap = static_cast<HBITMAP>(image);
    alpha = alpha < 0 ? 0 : alpha > 255 ? 255 : alpha;
    // Made before EnsureDC: while a surface's memory is locked dc is 0 and the memory DC is
    // compatible with the screen.
    HDC memory = ImageDC(context);
    if (!memory)
        return 0;
    EnsureDC(context);
    HDC dc = context->dc;
    int result = 0;
    // Alpha 0 draws nothing on any path.
    bool blended = alpha != 0 && BlendWithOwnAlpha(dc, x, y, bitmap, info, memory, alpha, &result);
    if (!blended && alpha == 255)
        result = BlitBitmap(dc, x, y, info.bmWidth, info.bmHeight, bitmap, info, memory, SRCCOPY);
    else if (!blended && alpha != 0)
        result = BlendBitmapConstant(dc, x, y, info.bmWidth, info.bmHeight, bitmap, memory, alpha);
    return result;
}

intptr_t ImageGrab(DrawingContext* context, int number, int x, int y, int width, int height) {
    // A size the record cannot hold is refused before anything is made or copied.
    if (context->kind == OUTPUT_WRITE_ONLY || !ImageSizeFits(width, height))
        return 0;
    EnsureDC(context);
    HDC dc = context->dc;
    int depth = context->depth;
    HBITMAP bitmap =
        CreateImageBitmap(width, height, context->grabAs24 && depth == 32 ? 24 : depth);
    if (!bitmap)
        return 0;
    HDC memory = ImageDC(context);
    if (!memory) {
        DeleteObject(bitmap);
        return 0;
    }
    intptr_t result = 0;
    HGDIOBJ previous = SelectObject(memory, bitmap);
    bool copied = previous && BitBlt(memory, 0, 0, width, height, dc, x, y, SRCCOPY);
    // Out of the memory DC before it is registered, so it can be drawn elsewhere at once.
    if (previous)
        SelectObject(memory, previous);
    if (copied)
        if (ImageObject* image = RegisterImage(number, bitmap, width, height, depth))
            result = number == AutoNumber ? Registry_NumberOf(image)
                                          : reinterpret_cast<intptr_t>(bitmap);
    if (!result)
        DeleteObject(bitmap);
    return result;
}

int DrawImage(HANDLE image, int x, int y) {
    DrawingContext* context = BegunContext();
    if (!context)
        return 0;
    return context->image(context, image, x + context->originX, y + context->originY);
}

int DrawImageScaled(HANDLE image, int x, int y, int width, int height) {
    DrawingContext* context = BegunContext();
    if (!context)
        return 0;
    return context->imageScaled(context, image, x + context->originX, y + context->originY, width,
                                height);
}

int DrawImageBlended(HANDLE image, int x, int y, int alpha) {
    DrawingContext* context = BegunContext();
    if (!context)
        return 0;
    return context->imageBlended(context, image, x + context->originX, y + context->originY, alpha);
}

intptr_t GrabImage(int number, int x, int y, int width, int height) {
    DrawingContext* context = BegunContext();
    if (!context)
        return 0;
    return context->grab(context, number, x + context->originX, y + context->originY, width,
                         height);
}
