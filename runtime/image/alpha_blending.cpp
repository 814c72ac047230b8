#include "runtime/image/alpha_blending.h"

#include "runtime/core/heap.h"
#include "runtime/image/image_objects.h"

#include <emmintrin.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

AlphaBlendFunction AlphaBlendEntry;
HMODULE AlphaBlendModule;

namespace {

// Four pixels in a register, with SSE2, which both builds require: copies are made on blended
// draws and should cost little beside AlphaBlend itself. Blue and red, then green and alpha,
// share a 32-bit pixel as two 16-bit lanes. (c * a) >> 8, a shift rather than a division by
// 255; an opaque pixel is multiplied by 256, which leaves it as it is: white stays 255.
inline __m128i PremultiplyFour(__m128i p) {
    const __m128i lowBytes = _mm_set1_epi16(0x00FF); // 255 in each lane as well
    const __m128i greenBytes = _mm_set1_epi32(0x0000FF00), alphaBytes = _mm_set1_epi32(0xFF000000);
    __m128i blueRed = _mm_and_si128(p, lowBytes);
    __m128i greenAlpha = _mm_srli_epi16(p, 8);
    __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(greenAlpha, 0xF5), 0xF5);
    alpha = _mm_sub_epi16(alpha, _mm_cmpeq_epi16(alpha, lowBytes)); // 255 becomes 256
    blueRed = _mm_srli_epi16(_mm_mullo_epi16(blueRed, alpha), 8);
    __m128i green = _mm_and_si128(_mm_mullo_epi16(greenAlpha, alpha), greenBytes);
    return _mm_or_si128(_mm_or_si128(blueRed, green), _mm_and_si128(p, alphaBytes));
}

// The same for one pixel. Red and blue are multiplied together: neither product reaches the
// other's bits.
inline uint32_t PremultiplyOne(uint32_t p) {
    uint32_t a = p >> 24, factor = a + (a == 255);
    return (p & 0xFF000000) | ((p & 0x00FF00FF) * factor >> 8 & 0x00FF00FF) |
           ((p & 0x0000FF00) * factor >> 8 & 0x0000FF00);
}

inline uint32_t OrOfLanes(__m128i lanes) {
    lanes = _mm_or_si128(lanes, _mm_shuffle_epi32(lanes, 0x4E));
    lanes = _mm_or_si128(lanes, _mm_shuffle_epi32(lanes, 0xB1));
    return static_cast<uint32_t>(_mm_cvtsi128_si32(lanes));
}

// Row converters: straight source pixels to the copy's, every source pixel or-ed into seen.
void PremultiplyRow(const uint32_t* source, uint32_t* destination, int count, uint32_t* seen) {
    __m128i all = _mm_setzero_si128();
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
        all = _mm_or_si128(all, p);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), PremultiplyFour(p));
    }
    *seen |= OrOfLanes(all);
    for (; i < count; ++i) {
        *seen |= source[i];
        destination[i] = PremultiplyOne(source[i]);
    }
}

// The grey of a disabled picture: luminance pulled towards the middle by 30 %, premultiplied.
void GreyRow(const uint32_t* source, uint32_t* destination, int count, uint32_t* seen) {
    for (int i = 0; i < count; ++i) {
        uint32_t p = source[i];
        *seen |= p;
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

// A premultiplied row brought up to date: kept holds the straight pixels it was made from, and
// only groups of four that differ from them are premultiplied again. A picture drawn every frame
// and changed seldom then costs a comparison, not a conversion.
void UpdateRow(const uint32_t* source, uint32_t* kept, uint32_t* destination, int count,
               uint32_t* seen) {
    __m128i all = _mm_setzero_si128();
    int i = 0;
    // Sixteen pixels a test: a picture that has not changed is only read.
    for (; i + 16 <= count; i += 16) {
        __m128i p[4], same = _mm_set1_epi32(-1);
        for (int k = 0; k < 4; ++k) {
            p[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i + 4 * k));
            __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kept + i + 4 * k));
            all = _mm_or_si128(all, p[k]);
            same = _mm_and_si128(same, _mm_cmpeq_epi32(p[k], old));
        }
        if (_mm_movemask_epi8(same) != 0xFFFF)
            for (int k = 0; k < 4; ++k) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(kept + i + 4 * k), p[k]);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i + 4 * k),
                                 PremultiplyFour(p[k]));
            }
    }
    *seen |= OrOfLanes(all);
    for (; i < count; ++i) {
        uint32_t p = source[i];
        *seen |= p;
        if (p != kept[i]) {
            kept[i] = p;
            destination[i] = PremultiplyOne(p);
        }
    }
}

// The bitmap's pixels as 32-bit bottom-up rows, read by GetDIBits through dc (or a DC of its
// own), which knows how the bitmap holds them; false when they cannot be read.
bool ReadThroughDIBits(HBITMAP bitmap, HDC dc, uint32_t* bits, int width, int height) {
    HDC ownDC = dc ? nullptr : CreateCompatibleDC(nullptr);
    if (!dc && !(dc = ownDC))
        return false;
    BITMAPINFO header = DibHeader(width, height, 32);
    bool read = GetDIBits(dc, bitmap, 0, height, bits, &header, DIB_RGB_COLORS) != 0;
    if (ownDC)
        DeleteDC(ownDC);
    return read;
}

// Fills a copy made for MakeBlendCopy.
bool FillCopy(HBITMAP bitmap, HDC dc, uint32_t* bits, int width, int height, int grey) {
    if (!ReadThroughDIBits(bitmap, dc, bits, width, height))
        return false;
    uint32_t seen = 0;
    (grey ? GreyRow : PremultiplyRow)(bits, bits, width * height, &seen);
    return true;
}

// A 32-bit bottom-up section of that size, or null.
HBITMAP MakeCopySection(int width, int height, uint32_t** bits) {
    BITMAPINFO header = DibHeader(width, height, 32);
    void* memory = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &memory, nullptr, 0);
    *bits = static_cast<uint32_t*>(memory);
    return section;
}

// The memory of a 32-bit DIB section, read in place. How it holds its pixels the section does
// not tell everywhere (Wine reports every section as bottom-up), so the copy reads it in place
// only once it has matched what GDI reads from it exactly.
struct SectionMemory {
    const uint8_t* bits;
    size_t stride;
    int height;
    // Row y counted from the bottom.
    const uint32_t* Row(int y, bool bottomUp) const {
        return reinterpret_cast<const uint32_t*>(
            bits + static_cast<size_t>(bottomUp ? y : height - 1 - y) * stride);
    }
};

// True when the memory, its rows taken to run as said, holds exactly the bottom-up rows given.
bool SameRows(const SectionMemory& memory, bool bottomUp, const uint32_t* rows, int width,
              int height) {
    for (int y = 0; y < height; ++y)
        if (memcmp(memory.Row(y, bottomUp), rows + static_cast<size_t>(y) * width,
                   static_cast<size_t>(width) * 4) != 0)
            return false;
    return true;
}

// Premultiplied copies that imageBlended draws through, kept for the next draw of the same
// bitmap: fresh pixel memory costs a page fault per page, and a picture that has not changed
// need not be read through GDI and converted again. They never leave this module, so no caller
// can hold one while it is overwritten or deleted.
enum { ROWS_UNKNOWN, ROWS_BOTTOM_UP, ROWS_TOP_DOWN };

struct ScratchCopy {
    HBITMAP bitmap; // premultiplied, bottom-up
    uint32_t* bits;
    uint32_t* kept; // the straight pixels bits was made from, bottom-up (malloc), or null
    bool current;   // bits and kept hold the source's pixels as last read
    uint32_t seen;  // the or of those pixels
    int rows;       // ROWS_*: how the source's memory holds its rows, once a picture showed it
    // The source, a handle that no later bitmap reuses as it is (GDI counts reuses in it).
    HBITMAP source;
    const void* sourceBits;
    int width, height;
    unsigned lastUse;
};
// A frame may draw a few pictures; beyond these the least recently used copy goes.
constexpr int SCRATCH_COPIES = 8;
constexpr size_t SCRATCH_BYTES = 32 << 20;
ScratchCopy Scratch[SCRATCH_COPIES];
unsigned ScratchClock;

void DropScratchCopy(ScratchCopy& copy) {
    if (copy.bitmap)
        DeleteObject(copy.bitmap);
    free(copy.kept);
    copy = {};
}

size_t ScratchBytes(const ScratchCopy& copy) {
    return static_cast<size_t>(copy.width) * copy.height * 8;
}

// The scratch copy of source, made when there is none; null when no section can be made.
ScratchCopy* TakeScratchCopy(HBITMAP source, const BITMAP& info) {
    ScratchCopy* oldest = &Scratch[0];
    for (ScratchCopy& copy : Scratch) {
        if (copy.bitmap && copy.source == source && copy.sourceBits == info.bmBits &&
            copy.width == info.bmWidth && copy.height == info.bmHeight) {
            copy.lastUse = ++ScratchClock;
            return &copy;
        }
        if (!copy.bitmap || (oldest->bitmap && copy.lastUse < oldest->lastUse))
            oldest = &copy;
    }
    ScratchCopy made = {};
    if (!(made.bitmap = MakeCopySection(info.bmWidth, info.bmHeight, &made.bits)))
        return nullptr;
    // Without room to keep the straight pixels the copy is read and converted whole each time.
    made.kept =
        static_cast<uint32_t*>(malloc(static_cast<size_t>(info.bmWidth) * info.bmHeight * 4));
    made.source = source;
    made.sourceBits = info.bmBits;
    made.width = info.bmWidth;
    made.height = info.bmHeight;
    made.lastUse = ++ScratchClock;
    DropScratchCopy(*oldest);
    // Within the budget the other copies stay, least recently used going first.
    size_t bytes = ScratchBytes(made);
    for (ScratchCopy& copy : Scratch)
        bytes += ScratchBytes(copy);
    while (bytes > SCRATCH_BYTES) {
        ScratchCopy* least = nullptr;
        for (ScratchCopy& copy : Scratch)
            if (copy.bitmap && (!least || copy.lastUse < least->lastUse))
                least = &copy;
        if (!least)
            break;
        bytes -= ScratchBytes(*least);
        DropScratchCopy(*least);
    }
    *oldest = made;
    return oldest;
}

// Brings the scratch copy up to date with the bitmap's pixels; false when they cannot be read.
// A section whose rows are known to run one way is compared in place and only what changed is
// converted; one whose rows read alike either way is compared as it lies; anything else is read
// through GDI and converted whole.
bool UpdateScratchCopy(ScratchCopy& copy, HBITMAP bitmap, const BITMAP& info, HDC dc) {
    int width = copy.width, height = copy.height;
    SectionMemory memory = {static_cast<const uint8_t*>(info.bmBits),
                            static_cast<size_t>(info.bmWidthBytes), height};
    bool inPlace = copy.kept && info.bmBits && info.bmWidthBytes == width * 4;
    GdiFlush(); // what GDI still draws lands first, and nothing it does reads the copy meanwhile
    if (inPlace && copy.current && copy.rows != ROWS_UNKNOWN) {
        copy.seen = 0;
        for (int y = 0; y < height; ++y) {
            size_t at = static_cast<size_t>(y) * width;
            UpdateRow(memory.Row(y, copy.rows == ROWS_BOTTOM_UP), copy.kept + at, copy.bits + at,
                      width, &copy.seen);
        }
        return true;
    }
    if (inPlace && copy.current && SameRows(memory, true, copy.kept, width, height))
        return true;
    uint32_t* straight = copy.kept ? copy.kept : copy.bits;
    copy.current = false;
    if (!ReadThroughDIBits(bitmap, dc, straight, width, height))
        return false;
    copy.seen = 0;
    PremultiplyRow(straight, copy.bits, width * height, &copy.seen);
    copy.current = copy.kept != nullptr;
    if (inPlace && copy.rows == ROWS_UNKNOWN) {
        bool bottomUp = SameRows(memory, true, copy.kept, width, height);
        if (bottomUp != SameRows(memory, false, copy.kept, width, height))
            copy.rows = bottomUp ? ROWS_BOTTOM_UP : ROWS_TOP_DOWN;
    }
    return true;
}

int Blend(HDC destDC, int x, int y, int width, int height, HBITMAP bitmap, HDC srcDC, int alpha,
          BYTE alphaFormat) {
    BITMAP info;
    if (GetObjectType(bitmap) != OBJ_BITMAP)
        return 0;
    if (width == 0 || height == 0) {
        if (!ReadBitmapRecord(bitmap, &info))
            return 0;
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
    for (ScratchCopy& copy : Scratch)
        DropScratchCopy(copy);
    AlphaBlendEntry = nullptr;
    if (AlphaBlendModule)
        FreeLibrary(AlphaBlendModule);
    AlphaBlendModule = nullptr;
}

int HasAlphaChannel(HBITMAP bitmap) {
    BITMAP info;
    if (!AlphaBlendEntry || !ReadBitmapRecord(bitmap, &info) || info.bmBitsPixel != 32)
        return 0;
    int mustFree = 0;
    auto* pixels = static_cast<uint8_t*>(ReadBitmapPixels32(bitmap, &mustFree));
    if (!pixels)
        return 0;
    if (!mustFree)
        GdiFlush(); // a section's own memory, which GDI may still be drawing into
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
        RuntimeFree(pixels);
    return found;
}

HBITMAP MakeBlendCopy(HBITMAP bitmap, HDC dc, int grey) {
    BITMAP info;
    if (!AlphaBlendEntry || !ReadBitmapRecord(bitmap, &info) ||
        !BitmapByteSize(info.bmWidth, info.bmHeight, 32))
        return nullptr;
    uint32_t* bits;
    HBITMAP copy = MakeCopySection(info.bmWidth, info.bmHeight, &bits);
    // A copy whose pixels could not be read would blend as whatever the section held.
    if (copy && !FillCopy(bitmap, dc, bits, info.bmWidth, info.bmHeight, grey)) {
        DeleteObject(copy);
        copy = nullptr;
    }
    return copy;
}

// Without blending no copy can have been made: whatever comes here is the caller's own.
void DeleteBlendCopy(HBITMAP copy) {
    if (AlphaBlendEntry && GetObjectType(copy) == OBJ_BITMAP)
        DeleteObject(copy);
}

bool BlendWithOwnAlpha(HDC destDC, int x, int y, HBITMAP bitmap, const BITMAP& info, HDC srcDC,
                       int alpha, int* result) {
    if (!AlphaBlendEntry || info.bmBitsPixel != 32 ||
        !BitmapByteSize(info.bmWidth, info.bmHeight, 32))
        return false;
    ScratchCopy* copy = TakeScratchCopy(bitmap, info);
    // What the pixels hold decides: all alpha bytes 0 is a picture GDI drew, with no alpha of
    // its own.
    if (!copy || !UpdateScratchCopy(*copy, bitmap, info, srcDC) || !(copy->seen >> 24))
        return false;
    *result =
        Blend(destDC, x, y, info.bmWidth, info.bmHeight, copy->bitmap, srcDC, alpha, AC_SRC_ALPHA);
    return true;
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
