#include "runtime/image/alpha_blending.h"

#include "runtime/core/heap.h"
#include "runtime/image/image_objects.h"

#include <emmintrin.h>
#include <stdint.h>

AlphaBlendFunction AlphaBlendEntry;
HMODULE AlphaBlendModule;

namespace {

// The section of the last blend copy, kept for the next copy of the same size: fresh pixel
// memory costs a page fault per page, more than making the copy itself.
struct ScratchCopy {
    HBITMAP bitmap;
    uint32_t* bits;
    int width, height;
    bool lent; // handed out by MakeBlendCopy and not yet given back
} Scratch;

void DropScratchCopy() {
    if (Scratch.bitmap)
        DeleteObject(Scratch.bitmap);
    Scratch = {};
}

// Four pixels at a time with SSE2, which both builds require: the copy is made on every
// blended draw and should cost little beside AlphaBlend itself. Blue and red, then green and
// alpha, share a 32-bit pixel as two 16-bit lanes.
int PremultiplyFour(const uint32_t* source, uint32_t* destination, int count) {
    const __m128i lowBytes = _mm_set1_epi16(0x00FF), opaque = _mm_set1_epi16(255);
    const __m128i greenBytes = _mm_set1_epi32(0x0000FF00), alphaBytes = _mm_set1_epi32(0xFF000000);
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
        __m128i blueRed = _mm_and_si128(p, lowBytes);
        __m128i greenAlpha = _mm_srli_epi16(p, 8);
        __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(greenAlpha, 0xF5), 0xF5);
        alpha = _mm_sub_epi16(alpha, _mm_cmpeq_epi16(alpha, opaque)); // 255 becomes 256
        blueRed = _mm_srli_epi16(_mm_mullo_epi16(blueRed, alpha), 8);
        __m128i green = _mm_and_si128(_mm_mullo_epi16(greenAlpha, alpha), greenBytes);
        __m128i result = _mm_or_si128(_mm_or_si128(blueRed, green), _mm_and_si128(p, alphaBytes));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), result);
    }
    return i;
}

// (c * a) >> 8, a shift rather than a division by 255; an opaque pixel is multiplied by 256,
// which leaves it as it is: white stays 255. Red and blue are multiplied together: neither
// product reaches the other's bits.
void PremultiplyRow(const uint32_t* source, uint32_t* destination, int count) {
    int i = PremultiplyFour(source, destination, count);
    for (; i < count; ++i) {
        uint32_t p = source[i], a = p >> 24, factor = a + (a == 255);
        destination[i] = (p & 0xFF000000) | ((p & 0x00FF00FF) * factor >> 8 & 0x00FF00FF) |
                         ((p & 0x0000FF00) * factor >> 8 & 0x0000FF00);
    }
}

// The grey of a disabled picture: luminance pulled towards the middle by 30 %, premultiplied.
void GreyRow(const uint32_t* source, uint32_t* destination, int count) {
    for (int i = 0; i < count; ++i) {
        uint32_t p = source[i];
        int b = p & 0xFF, g = p >> 8 & 0xFF, r = p >> 16 & 0xFF, a = p >> 24;
        int l = (b + 3 * r + 6 * g) / 10;
        if (l < 64)
            l = 64 + (l - 64) * 7 / 10;
        else if (l > 192)
            l = 192 + (l - 192) * 7 / 10;
        float scale = static_cast<float>(a / 255.0);
        float value = scale * static_cast<float>(l);
        uint32_t v = static_cast<uint8_t>(static_cast<int>(value));
        destination[i] = static_cast<uint32_t>(a) << 24 | v << 16 | v << 8 | v;
    }
}

// A 32-bit bottom-up section for a copy: the scratch one when it is free and of that size.
HBITMAP TakeCopySection(int width, int height, uint32_t** bits) {
    if (Scratch.bitmap && !Scratch.lent && Scratch.width == width && Scratch.height == height) {
        GdiFlush(); // nothing GDI still does may read the old copy while it is overwritten
        Scratch.lent = true;
        *bits = Scratch.bits;
        return Scratch.bitmap;
    }
    BITMAPINFO header = DibHeader(width, height, 32);
    void* memory = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &memory, nullptr, 0);
    if (!section)
        return nullptr;
    *bits = static_cast<uint32_t*>(memory);
    if (!Scratch.lent) {
        DropScratchCopy();
        Scratch = {section, *bits, width, height, true};
    }
    return section;
}

// Fills the copy's bottom-up rows. A 32-bit section is read in place; anything else is
// converted by GetDIBits first.
bool FillCopy(HBITMAP bitmap, HDC dc, uint32_t* bits, int width, int height, int grey) {
    void (*convert)(const uint32_t*, uint32_t*, int) = grey ? GreyRow : PremultiplyRow;
    DIBSECTION section;
    if (GetObjectA(bitmap, sizeof section, &section) == sizeof section &&
        section.dsBm.bmBitsPixel == 32 && section.dsBmih.biCompression == BI_RGB &&
        section.dsBm.bmBits) {
        GdiFlush();
        bool bottomUp = section.dsBmih.biHeight > 0;
        for (int y = 0; y < height; ++y) {
            auto* row =
                static_cast<const uint8_t*>(section.dsBm.bmBits) +
                static_cast<size_t>(bottomUp ? y : height - 1 - y) * section.dsBm.bmWidthBytes;
            convert(reinterpret_cast<const uint32_t*>(row), bits + static_cast<size_t>(y) * width,
                    width);
        }
        return true;
    }
    HDC ownDC = dc ? nullptr : CreateCompatibleDC(nullptr);
    if (!dc && !(dc = ownDC))
        return false;
    BITMAPINFO header = DibHeader(width, height, 32);
    bool read = GetDIBits(dc, bitmap, 0, height, bits, &header, DIB_RGB_COLORS) != 0;
    if (read)
        convert(bits, bits, width * height);
    if (ownDC)
        DeleteDC(ownDC);
    return read;
}

int Blend(HDC destDC, int x, int y, int width, int height, HBITMAP bitmap, HDC srcDC, int alpha,
          BYTE alphaFormat) {
    BITMAP info;
    if (!ReadBitmapRecord(bitmap, &info))
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
    DropScratchCopy();
    AlphaBlendEntry = nullptr;
    if (AlphaBlendModule)
        FreeLibrary(AlphaBlendModule);
    AlphaBlendModule = nullptr;
}

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
    if (!AlphaBlendEntry || !ReadBitmapRecord(bitmap, &info) ||
        !BitmapByteSize(info.bmWidth, info.bmHeight, 32))
        return nullptr;
    uint32_t* bits;
    HBITMAP copy = TakeCopySection(info.bmWidth, info.bmHeight, &bits);
    // A copy whose pixels could not be read would blend as whatever the section held.
    if (copy && !FillCopy(bitmap, dc, bits, info.bmWidth, info.bmHeight, grey)) {
        DeleteBlendCopy(copy);
        copy = nullptr;
    }
    return copy;
}

// Not tied to AlphaBlendEntry: a copy made before msimg32 was unloaded is still deleted.
void DeleteBlendCopy(HBITMAP copy) {
    if (copy && copy == Scratch.bitmap)
        Scratch.lent = false;
    else if (GetObjectType(copy) == OBJ_BITMAP)
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
