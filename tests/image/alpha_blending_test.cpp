#include "drawing/drawing_canvas.h"
#include "runtime/image/alpha_blending.h"
#include "runtime/image/image_objects.h"
#include "runtime_fixture.h"

#include <vector>

namespace {

using AlphaBlending = RuntimeTest;

constexpr uint32_t Bgra(uint32_t b, uint32_t g, uint32_t r, uint32_t a) {
    return a << 24 | r << 16 | g << 8 | b;
}

// Straight pixels and their plain and grey copies. Plain: (c * a) >> 8, opaque pixels kept.
// Grey: luminance (b + 3r + 6g) / 10, pulled 30 % towards the middle outside 64..192, times
// a / 255.
const struct {
    uint32_t straight, plain, grey;
} Copies[] = {
    {Bgra(200, 100, 50, 128), Bgra(100, 50, 25, 128), Bgra(47, 47, 47, 128)},
    {Bgra(255, 255, 255, 255), Bgra(255, 255, 255, 255), Bgra(236, 236, 236, 255)},
    {Bgra(9, 9, 9, 0), 0, 0},
    {Bgra(255, 254, 1, 254), Bgra(253, 252, 0, 254), Bgra(177, 177, 177, 254)},
    {Bgra(0, 0, 0, 255), Bgra(0, 0, 0, 255), Bgra(20, 20, 20, 255)},
    {Bgra(64, 64, 64, 255), Bgra(64, 64, 64, 255), Bgra(64, 64, 64, 255)},
    {Bgra(0, 255, 200, 255), Bgra(0, 255, 200, 255), Bgra(206, 206, 206, 255)},
};
const int CopyCount = sizeof Copies / sizeof Copies[0];

// A section is read in place, four pixels at a time and the rest one by one; a device bitmap
// through GetDIBits.
TEST_F(AlphaBlending, BlendAndGreyCopies) {
    Canvas straight(CopyCount, 1);
    for (int i = 0; i < CopyCount; ++i)
        reinterpret_cast<uint32_t*>(straight.bits)[i] = Copies[i].straight;
    HBITMAP device = CreateBitmap(CopyCount, 1, 1, 32, straight.bits);
    for (HBITMAP source : {straight.bitmap, device})
        for (int grey : {0, 1}) {
            HBITMAP copy = MakeBlendCopy(source, nullptr, grey);
            DIBSECTION section;
            ASSERT_EQ(GetObjectA(copy, sizeof section, &section), int(sizeof section));
            ASSERT_EQ(section.dsBm.bmBitsPixel, 32);
            for (int i = 0; i < CopyCount; ++i)
                EXPECT_EQ(static_cast<uint32_t*>(section.dsBm.bmBits)[i],
                          grey ? Copies[i].grey : Copies[i].plain)
                    << "pixel " << i << (grey ? " grey" : "")
                    << (source == device ? " device" : "");
            DeleteBlendCopy(copy);
        }
    DeleteObject(device);
    // A copy's rows run bottom-up, whichever way the source's do.
    Canvas topDown(1, 2);
    memcpy(topDown.bits, "\x00\x00\xFF\xFF\xFF\x00\x00\xFF", 8); // red over blue
    HBITMAP copy = MakeBlendCopy(topDown.bitmap, nullptr, 0);
    int mustFree = 1;
    EXPECT_EQ(*static_cast<uint32_t*>(ReadBitmapPixels32(copy, &mustFree)), 0xFF0000FFu);
    DeleteBlendCopy(copy);
}

// A 32-bit section or device bitmap carries alpha when some alpha byte is set: all 0 is what GDI
// leaves, a picture with no alpha of its own.
TEST_F(AlphaBlending, AlphaChannelIsASetAlphaByte) {
    ASSERT_NE(AlphaBlendEntry, nullptr);
    Canvas section(2, 2), colour(2, 2, 24);
    section.Clear(RGB(1, 2, 3));
    EXPECT_EQ(HasAlphaChannel(section.bitmap), 0);
    section.Row(1)[7] = 1; // the last pixel's alpha
    EXPECT_EQ(HasAlphaChannel(section.bitmap), 1);
    EXPECT_EQ(HasAlphaChannel(colour.bitmap), 0);
    uint32_t pixels[4] = {0x00FFFFFF, 0, 0, 0};
    HBITMAP device = CreateBitmap(2, 2, 1, 32, pixels);
    EXPECT_EQ(HasAlphaChannel(device), 0);
    pixels[3] = 0x01000000;
    SetBitmapBits(device, sizeof pixels, pixels);
    EXPECT_EQ(HasAlphaChannel(device), 1);
    DeleteObject(device);

    // Handles that are no bitmap: no answer, no copy, nothing drawn.
    PlainCanvas canvas(2, 2);
    HPEN pen = CreatePen(PS_SOLID, 0, 0);
    for (HANDLE bad : {HANDLE(nullptr), HANDLE(pen), HANDLE(device)}) {
        auto bitmap = static_cast<HBITMAP>(bad);
        EXPECT_EQ(HasAlphaChannel(bitmap), 0);
        EXPECT_EQ(MakeBlendCopy(bitmap, nullptr, 0), nullptr);
        EXPECT_EQ(BlendBitmap(canvas.dc, 0, 0, 0, 0, bitmap, nullptr, 255), 0);
        EXPECT_EQ(BlendBitmapConstant(canvas.dc, 0, 0, 2, 2, bitmap, nullptr, 255), 0);
    }
    DeleteBlendCopy(reinterpret_cast<HBITMAP>(pen)); // not a copy: left alone
    EXPECT_EQ(GetObjectType(pen), static_cast<DWORD>(OBJ_PEN));
    DeleteObject(pen);
}

// Copies are the caller's until given back: distinct while held, untouched by the end of
// blending, deleted when given back. Once msimg32 is gone, blending takes the path without it
// instead of calling into the module.
TEST_F(AlphaBlending, CopiesAreTheCallersAndEndingBlendingClearsTheEntry) {
    ASSERT_NE(AlphaBlendEntry, nullptr);
    Canvas image(3, 3);
    HBITMAP first = MakeBlendCopy(image.bitmap, nullptr, 0);
    HBITMAP second = MakeBlendCopy(image.bitmap, nullptr, 1);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    DeleteBlendCopy(second);
    EXPECT_EQ(GetObjectType(second), 0u);
    EndAlphaBlending();
    EXPECT_EQ(GetObjectType(first), static_cast<DWORD>(OBJ_BITMAP)) << "a copy still held";
    EXPECT_EQ(AlphaBlendEntry, nullptr);
    EXPECT_EQ(AlphaBlendModule, nullptr);
    DeleteBlendCopy(first); // no blending: nothing is deleted
    EXPECT_EQ(GetObjectType(first), static_cast<DWORD>(OBJ_BITMAP));
    DeleteObject(first);
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
