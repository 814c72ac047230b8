#include "runtime/image/alpha_blending.h"

#include "runtime/core/heap.h"
#include "runtime/image/image_objects.h"

#include <stdint.h>

AlphaBlendFunction AlphaBlendEntry;
HMODULE AlphaBlendModule;

void StartAlphaBlending() {
    if (AlphaBlendModule)
        return;
    AlphaBlendModule = LoadLibraryA("msimg32.dll");
    if (AlphaBlendModule)
        AlphaBlendEntry = reinterpret_cast<AlphaBlendFunction>(
            reinterpret_cast<void*>(GetProcAddress(AlphaBlendModule, "AlphaBlend")));
}

// The entry goes before the module: anything drawn later takes the path without blending
// instead of calling into an unloaded library.
void EndAlphaBlending() {
    AlphaBlendEntry = nullptr;
    if (AlphaBlendModule)
        FreeLibrary(AlphaBlendModule);
    AlphaBlendModule = nullptr;
}

namespace {

bool ReadBitmap(HBITMAP bitmap, BITMAP* info) {
    return GetObjectType(bitmap) == OBJ_BITMAP &&
           GetObjectA(bitmap, sizeof *info, info) == sizeof *info;
}

// Shift by 8, not division by 255, and opaque pixels are left alone: white stays 255.
void Premultiply(uint8_t* pixel) {
    unsigned a = pixel[3];
    if (a < 255) {
        pixel[0] = static_cast<uint8_t>(a * pixel[0] >> 8);
        pixel[1] = static_cast<uint8_t>(a * pixel[1] >> 8);
        pixel[2] = static_cast<uint8_t>(a * pixel[2] >> 8);
    }
}

// The grey of a disabled picture: luminance pulled towards the middle by 30 %, premultiplied.
void MakeGrey(uint8_t* pixel) {
    int l = (pixel[0] + 3 * pixel[2] + 6 * pixel[1]) / 10;
    if (l < 64)
        l = 64 + (l - 64) * 7 / 10;
    else if (l > 192)
        l = 192 + (l - 192) * 7 / 10;
    float scale = static_cast<float>(pixel[3] / 255.0);
    float value = scale * static_cast<float>(l);
    uint8_t v = static_cast<uint8_t>(static_cast<int>(value));
    pixel[0] = pixel[1] = pixel[2] = v;
}

int Blend(HDC destDC, int x, int y, int width, int height, HBITMAP bitmap, HDC srcDC, int alpha,
          BYTE alphaFormat) {
    BITMAP info;
    if (!ReadBitmap(bitmap, &info))
        return 0;
    if (width == 0 || height == 0) {
        width = info.bmWidth;
        height = info.bmHeight;
    }
    HDC source = srcDC ? srcDC : CreateCompatibleDC(destDC);
    if (!source)
        return 0;
    // A bitmap selected elsewhere cannot be selected here: the DC's own 1 x 1 bitmap would be
    // drawn instead, so nothing is.
    HGDIOBJ previous = SelectObject(source, bitmap);
    int result = 0;
    if (previous) {
        if (AlphaBlendFunction alphaBlend = AlphaBlendEntry) {
            BLENDFUNCTION blend = {AC_SRC_OVER, 0, static_cast<BYTE>(alpha), alphaFormat};
            result = alphaBlend(destDC, x, y, width, height, source, 0, 0, width, height, blend);
        } else {
            result = BitBlt(destDC, x, y, width, height, source, 0, 0, SRCCOPY);
        }
    }
    if (srcDC) {
        if (previous)
            SelectObject(srcDC, previous);
    } else {
        DeleteDC(source);
    }
    return result;
}

} // namespace

int HasAlphaChannel(HBITMAP bitmap) {
    if (!AlphaBlendEntry || GetObjectType(bitmap) != OBJ_BITMAP)
        return 0;
    DIBSECTION section;
    if (GetObjectA(bitmap, sizeof section, &section) == sizeof section)
        return section.dsBm.bmBitsPixel == 32;
    BITMAP info;
    if (GetObjectA(bitmap, sizeof info, &info) != sizeof info || info.bmBitsPixel != 32)
        return 0;
    int mustFree = 0;
    auto* pixels = static_cast<uint8_t*>(ReadBitmapPixels32(bitmap, &mustFree));
    if (!pixels)
        return 0;
    int stride = BitmapRowStride(info.bmWidth, 32), found = 0;
    for (int y = 0; y < info.bmHeight && !found; ++y) {
        const uint8_t* row = pixels + static_cast<size_t>(y) * stride;
        for (int x = 0; x < info.bmWidth; ++x)
            if (row[4 * x + 3]) {
                found = 1;
                break;
            }
    }
    if (mustFree)
        HeapFree(RuntimeHeap, 0, pixels);
    return found;
}

HBITMAP MakeBlendCopy(HBITMAP bitmap, HDC dc, int grey) {
    BITMAP info;
    if (!AlphaBlendEntry || !ReadBitmap(bitmap, &info))
        return nullptr;
    size_t bytes = BitmapByteSize(info.bmWidth, info.bmHeight, 32);
    if (!bytes)
        return nullptr;
    HDC ownDC = nullptr;
    if (!dc && !(dc = ownDC = CreateCompatibleDC(nullptr)))
        return nullptr;
    BITMAPINFO header = DibHeader(info.bmWidth, info.bmHeight, 32);
    void* bits = nullptr;
    HBITMAP copy = CreateDIBSection(dc, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
    // A copy whose pixels could not be read would blend as whatever the section held.
    if (copy && !GetDIBits(dc, bitmap, 0, info.bmHeight, bits, &header, DIB_RGB_COLORS)) {
        DeleteObject(copy);
        copy = nullptr;
    }
    if (copy) {
        uint8_t* pixel = static_cast<uint8_t*>(bits);
        uint8_t* end = pixel + bytes;
        if (grey)
            for (; pixel < end; pixel += 4)
                MakeGrey(pixel);
        else
            for (; pixel < end; pixel += 4)
                Premultiply(pixel);
    }
    if (ownDC)
        DeleteDC(ownDC);
    return copy;
}

// Not tied to AlphaBlendEntry: a copy made before msimg32 was unloaded is still deleted.
void DeleteBlendCopy(HBITMAP copy) {
    if (GetObjectType(copy) == OBJ_BITMAP)
        DeleteObject(copy);
}

int BlendBitmap(HDC destDC, int x, int y, int width, int height, HBITMAP bitmap, HDC srcDC,
                int alpha) {
    if (!AlphaBlendEntry)
        return 0;
    return Blend(destDC, x, y, width, height, bitmap, srcDC, alpha, AC_SRC_ALPHA);
}

int BlendBitmapConstant(HDC destDC, int x, int y, int width, int height, HBITMAP bitmap, HDC srcDC,
                        int alpha) {
    return Blend(destDC, x, y, width, height, bitmap, srcDC, alpha, 0);
}
