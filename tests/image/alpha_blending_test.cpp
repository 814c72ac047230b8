#include "drawing/drawing_canvas.h"
#include "runtime/image/alpha_blending.h"
#include "runtime_fixture.h"

#include <vector>

namespace {

using AlphaBlending = RuntimeTest;

struct Bgra {
    uint8_t b, g, r, a;
    bool operator==(const Bgra& o) const { return b == o.b && g == o.g && r == o.r && a == o.a; }
};
std::ostream& operator<<(std::ostream& out, const Bgra& p) {
    return out << int(p.b) << "," << int(p.g) << "," << int(p.r) << "," << int(p.a);
}

// The copy of a row of pixels, with or without grey, from a section (read in place) or from a
// device bitmap (read through GetDIBits).
std::vector<Bgra> CopyOf(const std::vector<Bgra>& pixels, int grey, bool device = false) {
    Canvas straight(static_cast<int>(pixels.size()), 1);
    memcpy(straight.bits, pixels.data(), pixels.size() * 4);
    HBITMAP source = device ? CreateBitmap(static_cast<int>(pixels.size()), 1, 1, 32, pixels.data())
                            : straight.bitmap;
    HBITMAP copy = MakeBlendCopy(source, nullptr, grey);
    if (device)
        DeleteObject(source);
    std::vector<Bgra> result(pixels.size());
    DIBSECTION section;
    if (GetObjectA(copy, sizeof section, &section) == sizeof section &&
        section.dsBm.bmBitsPixel == 32)
        memcpy(result.data(), section.dsBm.bmBits, pixels.size() * 4);
    DeleteBlendCopy(copy);
    return result;
}

TEST_F(AlphaBlending, BlendCopyPremultipliesByShiftingAndLeavesOpaquePixels) {
    for (bool device : {false, true}) {
        std::vector<Bgra> copy = CopyOf({{200, 100, 50, 128},
                                         {255, 255, 255, 255},
                                         {9, 9, 9, 0},
                                         {255, 254, 1, 254},
                                         {1, 2, 3, 4}},
                                        0, device);
        EXPECT_EQ(copy[0], (Bgra{100, 50, 25, 128}));
        EXPECT_EQ(copy[1], (Bgra{255, 255, 255, 255}));
        EXPECT_EQ(copy[2], (Bgra{0, 0, 0, 0}));
        EXPECT_EQ(copy[3], (Bgra{253, 252, 0, 254}));
        EXPECT_EQ(copy[4], (Bgra{0, 0, 0, 4}));
    }
}

// Luminance (b + 3r + 6g) / 10, pulled towards the middle outside 64..192, times a / 255.
TEST_F(AlphaBlending, GreyCopyDimsAndFlattensLuminance) {
    std::vector<Bgra> copy = CopyOf({{0, 0, 0, 255},
                                     {255, 255, 255, 255},
                                     {100, 100, 100, 255},
                                     {64, 64, 64, 255},
                                     {0, 255, 200, 255},
                                     {100, 100, 100, 128},
                                     {255, 255, 255, 0}},
                                    1);
    const uint8_t expected[] = {20, 236, 100, 64, 206, 50, 0};
    for (size_t i = 0; i < copy.size(); ++i) {
        EXPECT_EQ(copy[i].b, expected[i]) << "pixel " << i;
        EXPECT_EQ(copy[i].g, expected[i]);
        EXPECT_EQ(copy[i].r, expected[i]);
    }
    EXPECT_EQ(copy[5].a, 128);
}

TEST_F(AlphaBlending, AlphaChannelIsA32BitSectionOrASetAlphaByte) {
    ASSERT_NE(AlphaBlendEntry, nullptr);
    Canvas section(2, 2), colour(2, 2, 24);
    section.Clear(0); // all alpha bytes 0: a section counts all the same
    EXPECT_EQ(HasAlphaChannel(section.bitmap), 1);
    EXPECT_EQ(HasAlphaChannel(colour.bitmap), 0);
    uint32_t pixels[4] = {0x00FFFFFF, 0, 0, 0};
    HBITMAP device = CreateBitmap(2, 2, 1, 32, pixels);
    EXPECT_EQ(HasAlphaChannel(device), 0);
    pixels[3] = 0x01000000;
    SetBitmapBits(device, sizeof pixels, pixels);
    EXPECT_EQ(HasAlphaChannel(device), 1);
    DeleteObject(device);
    HPEN pen = CreatePen(PS_SOLID, 0, 0);
    for (HANDLE bad : {HANDLE(nullptr), HANDLE(pen), HANDLE(device)}) {
        EXPECT_EQ(HasAlphaChannel(static_cast<HBITMAP>(bad)), 0);
        EXPECT_EQ(MakeBlendCopy(static_cast<HBITMAP>(bad), nullptr, 0), nullptr);
    }
    DeleteBlendCopy(reinterpret_cast<HBITMAP>(pen)); // not a copy: left alone
    EXPECT_EQ(GetObjectType(pen), static_cast<DWORD>(OBJ_PEN));
    DeleteObject(pen);
}

// Blending onto a 50 % grey canvas: per-pixel alpha from a blend copy, and constant alpha.
TEST_F(AlphaBlending, RealAlphaBlendPerPixelAndConstant) {
    PlainCanvas canvas(4, 1);
    Canvas source(2, 1);
    memcpy(source.bits, "\x00\x00\xFF\x80\xFF\x00\x00\xFF", 8); // red at a 128, opaque blue
    HBITMAP copy = MakeBlendCopy(source.bitmap, nullptr, 0);
    struct {
        int alpha;
        bool perPixel;
        COLORREF first, second;
    } cases[] = {
        {255, true, RGB(191, 64, 64), RGB(0, 0, 255)},    // 127 + 128 * 127 / 255
        {128, true, RGB(160, 96, 96), RGB(64, 64, 192)},  // both scaled by 128 first
        {128, false, RGB(191, 64, 64), RGB(64, 64, 192)}, // the alpha bytes are not used
        {0, true, RGB(128, 128, 128), RGB(128, 128, 128)},
    };
    for (const auto& c : cases) {
        canvas.Clear(RGB(128, 128, 128));
        int drawn = c.perPixel ? BlendBitmap(canvas.dc, 1, 0, 0, 0, copy, nullptr, c.alpha)
                               : BlendBitmapConstant(canvas.dc, 1, 0, 2, 1, source.bitmap, nullptr,
                                                     c.alpha);
        EXPECT_NE(drawn, 0);
        for (int i = 0; i < 2; ++i) {
            COLORREF want = i ? c.second : c.first, got = canvas.At(1 + i, 0);
            for (int shift : {0, 8, 16})
                EXPECT_NEAR((got >> shift) & 0xFF, (want >> shift) & 0xFF, 2)
                    << "alpha " << c.alpha << (c.perPixel ? " per pixel" : " constant")
                    << ", pixel " << i;
        }
        EXPECT_EQ(canvas.At(0, 0), RGB(128, 128, 128));
        EXPECT_EQ(canvas.At(3, 0), RGB(128, 128, 128));
    }
    DeleteBlendCopy(copy);

    // Handles that are no bitmap draw nothing.
    canvas.Clear(RGB(128, 128, 128));
    HPEN pen = CreatePen(PS_SOLID, 0, 0);
    HBITMAP deleted = CreateBitmap(2, 1, 1, 32, nullptr);
    DeleteObject(deleted);
    for (HANDLE bad : {HANDLE(nullptr), HANDLE(pen), HANDLE(deleted)}) {
        EXPECT_EQ(BlendBitmap(canvas.dc, 0, 0, 0, 0, static_cast<HBITMAP>(bad), nullptr, 255), 0);
        EXPECT_EQ(
            BlendBitmapConstant(canvas.dc, 0, 0, 2, 1, static_cast<HBITMAP>(bad), nullptr, 255), 0);
    }
    DeleteObject(pen);
    EXPECT_EQ(canvas.CountOf(RGB(128, 128, 128)), 4);
}

// Copies held at once are distinct; a copy given back is kept for the next of its size until
// blending ends. Once msimg32 is gone, blending takes the path without it instead of calling
// into the module.
TEST_F(AlphaBlending, CopiesAreReusedAndEndingBlendingClearsTheEntry) {
    ASSERT_NE(AlphaBlendEntry, nullptr);
    Canvas image(3, 3);
    HBITMAP first = MakeBlendCopy(image.bitmap, nullptr, 0);
    HBITMAP second = MakeBlendCopy(image.bitmap, nullptr, 1);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    DeleteBlendCopy(second);
    DeleteBlendCopy(first);
    EXPECT_EQ(GetObjectType(second), 0u);
    EXPECT_EQ(MakeBlendCopy(image.bitmap, nullptr, 0), first);
    DeleteBlendCopy(first);
    EndAlphaBlending();
    EXPECT_EQ(GetObjectType(first), 0u);
    EXPECT_EQ(AlphaBlendEntry, nullptr);
    EXPECT_EQ(AlphaBlendModule, nullptr);
    PlainCanvas canvas(2, 1);
    canvas.Clear(RGB(128, 128, 128));
    Canvas source(2, 1);
    source.Clear(RGB(255, 0, 0));
    EXPECT_EQ(HasAlphaChannel(source.bitmap), 0);
    EXPECT_EQ(BlendBitmap(canvas.dc, 0, 0, 0, 0, source.bitmap, nullptr, 255), 0);
    EXPECT_EQ(canvas.CountOf(RGB(128, 128, 128)), 2);
    EXPECT_NE(BlendBitmapConstant(canvas.dc, 0, 0, 0, 0, source.bitmap, nullptr, 1), 0);
    EXPECT_EQ(canvas.CountOf(RGB(255, 0, 0)), 2);
    EndAlphaBlending(); // twice, or without a module: nothing
    StartAlphaBlending();
    EXPECT_NE(AlphaBlendEntry, nullptr);
}

} // namespace
