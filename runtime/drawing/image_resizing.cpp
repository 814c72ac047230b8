// A numbered image resized with the filtered scaler: its pixels read as 32 bits, scaled, and put
// into a new section that takes the old bitmap's place under the same number.
#include "runtime/core/heap.h"
#include "runtime/drawing/image_scaling.h"
#include "runtime/image/image_objects.h"

#include <stdlib.h>

namespace {

// Scaled 32-bit pixels into the padded rows of a 24-bit section: the fourth byte goes.
void PackInto24(const uint8_t* pixels, int width, int height, uint8_t* bits) {
    int stride = BitmapRowStride(width, 24);
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = pixels + static_cast<size_t>(y) * width * 4;
        uint8_t* out = bits + static_cast<size_t>(y) * stride;
        for (int x = 0; x < width; ++x, in += 4, out += 3) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
        }
    }
}

// Only a 32-bit section can carry alpha worth keeping; a device bitmap's fourth byte is none.
bool KeepsAlpha(const BITMAP& info) {
    return info.bmBits && info.bmBitsPixel == 32;
}

// Scales the pixels into a new section in their row order; null when it cannot be had.
HBITMAP ScaleIntoSection(const uint8_t* pixels, const BITMAP& info, bool bottomUp, int width,
                         int height) {
    int depth = KeepsAlpha(info) ? 32 : 24;
    if (!BitmapByteSize(width, height, depth))
        return nullptr;
    BITMAPINFO header = DibHeader(width, bottomUp ? height : -height, depth);
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!section)
        return nullptr;
    bool scaled = false;
    if (depth == 32) {
        scaled = ScalePixels(pixels, info.bmWidth, info.bmHeight, static_cast<uint8_t*>(bits),
                             width, height, 32);
    } else if (auto* block = static_cast<uint8_t*>(malloc(BitmapByteSize(width, height, 32)))) {
        scaled = ScalePixels(pixels, info.bmWidth, info.bmHeight, block, width, height, 32);
        if (scaled)
            PackInto24(block, width, height, static_cast<uint8_t*>(bits));
        free(block);
    }
    if (!scaled) {
        DeleteObject(section);
        return nullptr;
    }
    return section;
}

} // namespace

HBITMAP ResizeImage(int number, int width, int height) {
    ImageObject* image = ImageRecordOf(number);
    BITMAP info;
    if (!image || !ReadBitmapRecord(image->handle, &info) || width < 1 || height < 1 ||
        width > INT16_MAX || height > INT16_MAX)
        return nullptr;
    auto bitmap = static_cast<HBITMAP>(image->handle);
    int mustFree = 0;
    auto* pixels = static_cast<uint8_t*>(ReadBitmapPixels32(bitmap, &mustFree));
    if (!pixels)
        return nullptr;
    // A section lends its memory in its own row order; a converted copy runs top-down.
    DIBSECTION section;
    bool bottomUp = !mustFree && GetObjectA(bitmap, sizeof section, &section) == sizeof section &&
                    section.dsBmih.biHeight > 0;
    HBITMAP resized = ScaleIntoSection(pixels, info, bottomUp, width, height);
    if (mustFree)
        RuntimeFree(pixels);
    if (!resized)
        return nullptr;
    DeleteObject(bitmap);
    image->handle = resized;
    image->width = static_cast<int16_t>(width);
    image->height = static_cast<int16_t>(height);
    return resized;
}
