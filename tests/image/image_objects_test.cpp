#include "image/test_images.h"
#include "runtime/drawing/image_drawing.h"
#include "runtime/image/alpha_blending.h"
#include "runtime/image/image_objects.h"
#include "runtime_fixture.h"

#include <vector>

namespace {

using ImageObjects = RuntimeTest;

int BitsOf(HBITMAP bitmap) {
    BITMAP info = {};
    GetObjectA(bitmap, sizeof info, &info);
    return info.bmBitsPixel;
}

TEST_F(ImageObjects, SectionsHaveAtLeast24BitsAndRefuseSizesBeyond32BitCounts) {
    struct {
        int width, height, depth, bits;
    } cases[] = {
        {10, 10, 8, 24},
        {10, 10, 16, 24},
        {10, 10, 24, 24},
        {10, 10, 32, 32},
        {1, 1, 1, 24},
        {0, 10, 32, 0},
        {10, 0, 32, 0},
        {-5, 10, 24, 0},
        {10, -5, 24, 0},
        // 16 GiB and 19.6 GiB: their byte counts wrap to 0 and to 2.7 GiB in 32 bits.
        {65536, 65536, 32, 0},
        {70000, 70000, 32, 0},
        {0x7FFFFFFF, 1, 32, 0},
    };
    for (const auto& c : cases) {
        void* bits = reinterpret_cast<void*>(1);
        HBITMAP bitmap = CreateImageBitmap(c.width, c.height, c.depth, &bits);
        EXPECT_EQ(BitsOf(bitmap), c.bits) << c.width << " x " << c.height << " x " << c.depth;
        EXPECT_EQ(bits != nullptr, c.bits != 0);
        DeleteObject(bitmap);
    }
}

TEST_F(ImageObjects, RowStrides) {
    struct {
        int width, bits, stride;
    } cases[] = {{1, 24, 4}, {2, 24, 8},  {3, 24, 12}, {4, 24, 12},
                 {3, 1, 4},  {5, 32, 20}, {9, 4, 8},   {5, 8, 8},
                 {3, 16, 8}, {3, 15, 8},  {-1, 32, 0}, {0x20000000, 32, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(BitmapRowStride(c.width, c.bits), c.stride) << c.width << " at " << c.bits;
}

// Products that a section could not hold give 0 in both builds, however far they overflow.
TEST_F(ImageObjects, ByteSizes) {
    const int most = 0x7FFFFFFF;
    struct {
        int width, height, bits;
        size_t bytes;
    } cases[] = {{3, 2, 24, 24},
                 {most, most, 32, 0},
                 {most, most, 24, 0},
                 {most, 1, 1, 1 << 28},
                 {0x1FFFFFFF, 1, 32, 0x7FFFFFFC},
                 {0x1FFFFFFF, 2, 32, 0},
                 {1, most, 32, 0},
                 {0, 5, 24, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(BitmapByteSize(c.width, c.height, c.bits), c.bytes)
            << c.width << " x " << c.height << " at " << c.bits;
}

TEST_F(ImageObjects, ReadsPixelsAs32Bits) {
    Canvas section(3, 2);
    section.Clear(RGB(1, 2, 3));
    int mustFree = -1;
    EXPECT_EQ(ReadBitmapPixels32(section.bitmap, &mustFree), section.bits);
    EXPECT_EQ(mustFree, 0);

    // A 24-bit section and a device bitmap are converted into top-down copies.
    Canvas colour(3, 2, 24);
    memset(colour.bits, 0, colour.pitch * 2);
    colour.Row(1)[0] = 0x33; // blue of the bottom-left pixel
    const uint32_t grid[6] = {0, 0x10, 0x20, 0x00302010, 0, 0};
    HBITMAP device = CreateBitmap(3, 2, 1, 32, grid);
    for (HBITMAP bitmap : {colour.bitmap, device}) {
        auto* pixels = static_cast<uint32_t*>(ReadBitmapPixels32(bitmap, &mustFree));
        ASSERT_NE(pixels, nullptr);
        EXPECT_EQ(mustFree, 1);
        EXPECT_EQ(pixels[3] & 0xFFFFFF, bitmap == device ? 0x302010u : 0x33u);
        HeapFree(RuntimeHeap, 0, pixels);
    }
    HPEN pen = CreatePen(PS_SOLID, 0, 0);
    for (HANDLE bad : {HANDLE(nullptr), HANDLE(pen), HANDLE(device)}) {
        if (bad == device)
            DeleteObject(device);
        EXPECT_EQ(ReadBitmapPixels32(static_cast<HBITMAP>(bad), &mustFree), nullptr);
    }
    DeleteObject(pen);
}

// A 40000 x 36000 one-bit section takes 180 MB of address space, left untouched. Converted to
// 24 bits it would be 4.32 GB, which wraps to 25 MB in 32 bits; to 32 bits, 5.76 GB.
TEST_F(ImageObjects, CopiesWhoseByteCountsOverflowAreRefused) {
    Canvas huge(40000, 36000, 1);
    ASSERT_NE(huge.bitmap, nullptr);
    int mustFree = 0;
    EXPECT_EQ(ReadBitmapPixels32(huge.bitmap, &mustFree), nullptr);
    EXPECT_EQ(MakeDibCopy(huge.bitmap), nullptr);
    EXPECT_EQ(HasAlphaChannel(huge.bitmap), 0);
    EXPECT_EQ(MakeBlendCopy(huge.bitmap, nullptr, 0), nullptr);
}

TEST_F(ImageObjects, FreeingReleasesBitmapsIconsAndRecords) {
    HBITMAP a = CreateImageBitmap(4, 4, 24), b = CreateImageBitmap(4, 4, 24);
    HBITMAP c = CreateImageBitmap(4, 4, 24), d = CreateImageBitmap(4, 4, 24);
    HICON icon = RedIcon();
    ASSERT_NE(icon, nullptr);
    ASSERT_NE(RegisterImage(3, a, 4, 4, 32), nullptr);
    ASSERT_NE(RegisterImage(5, icon, 8, 8, 32), nullptr);
    int first = Registry_NumberOf(RegisterImage(AutoNumber, b, 4, 4, 32));
    EXPECT_EQ(ImageFree(first), 1);
    EXPECT_EQ(GetObjectType(b), 0u);
    EXPECT_EQ(ImageFree(first), 0);
    // Static records and the registry's tables stay allocated once made; the rest comes back.
    size_t heap = HeapBytesInUse(RuntimeHeap);
    ImageObject* dynamic = RegisterImage(AutoNumber, d, 4, 4, 32);
    ASSERT_NE(dynamic, nullptr);

    // Sizes the record cannot hold are refused and leave the handle alone.
    EXPECT_EQ(RegisterImage(6, c, 40000, 4, 32), nullptr);
    EXPECT_EQ(RegisterImage(6, c, 0, 4, 32), nullptr);
    EXPECT_EQ(RegisterImage(6, nullptr, 4, 4, 32), nullptr);
    EXPECT_EQ(GetObjectType(c), static_cast<DWORD>(OBJ_BITMAP));

    // A number that holds an image frees it before taking the new one.
    ImageObject* three = RegisterImage(3, c, 2, 1, 16);
    EXPECT_EQ(GetObjectType(a), 0u);
    EXPECT_EQ(three->handle, c);
    EXPECT_EQ(three->width, 2);
    EXPECT_EQ(three->depth, 16);
    EXPECT_EQ(ImageHandleOf(3), c);
    EXPECT_EQ(ImageWidth(3) * 10 + ImageHeight(3), 21);
    EXPECT_EQ(ImageHandleOf(Registry_NumberOf(dynamic)), d);
    EXPECT_EQ(ImageHandleOf(4), nullptr);
    EXPECT_EQ(ImageWidth(4) + ImageHeight(12345), 0);

    EXPECT_EQ(ImageFree(5), 1);
    ICONINFO info;
    EXPECT_FALSE(GetIconInfo(icon, &info)); // destroyed as an icon
    EXPECT_EQ(ImageFree(5), 0);
    EXPECT_EQ(ImageFree(-1), 1);
    EXPECT_EQ(GetObjectType(c), 0u);
    EXPECT_EQ(GetObjectType(d), 0u);
    EXPECT_EQ(ImageFree(3), 0);
    EXPECT_EQ(ImageFree(Registry_NumberOf(dynamic)), 0);
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), heap);
}

// The colour GDI reads at a point of a bitmap, however its rows are stored.
COLORREF PixelOf(HANDLE bitmap, int x, int y) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    COLORREF color = GetPixel(dc, x, y);
    SelectObject(dc, previous);
    DeleteDC(dc);
    return color;
}

// A bottom-up section, as the loader makes them: red above blue, each row's alpha (32 bits)
// growing with its distance from the bottom.
HBITMAP Bands(int width, int height, int depth) {
    void* bits = nullptr;
    HBITMAP bitmap = CreateImageBitmap(width, height, depth, &bits);
    for (int row = 0; row < height; ++row) {
        COLORREF color = row < height / 2 ? RGB(0, 0, 255) : RGB(255, 0, 0);
        auto* pixel = static_cast<uint8_t*>(bits) + row * BitmapRowStride(width, depth);
        for (int x = 0; x < width; ++x, pixel += depth / 8) {
            pixel[0] = GetBValue(color);
            pixel[1] = GetGValue(color);
            pixel[2] = GetRValue(color);
            if (depth == 32)
                pixel[3] = static_cast<uint8_t>(40 * row);
        }
    }
    return bitmap;
}

TEST_F(ImageObjects, ResizingFiltersAnImageInPlaceTheRightWayUp) {
    for (int depth : {24, 32}) {
        SCOPED_TRACE(depth);
        HBITMAP source = Bands(5, 4, depth);
        ImageObject* image = RegisterImage(depth == 24 ? 3 : AutoNumber, source, 5, 4, 8);
        ASSERT_NE(image, nullptr);
        int number = depth == 24 ? 3 : Registry_NumberOf(image);
        // What the filter makes of the pixels, in the row order they are read in.
        int mustFree = 0;
        auto* pixels = static_cast<uint8_t*>(ReadBitmapPixels32(source, &mustFree));
        ASSERT_NE(pixels, nullptr);
        std::vector<uint8_t> expected(9 * 7 * 4);
        ASSERT_EQ(ScalePixels(pixels, 5, 4, expected.data(), 9, 7, 32), 1);
        if (mustFree)
            HeapFree(RuntimeHeap, 0, pixels);
        DWORD gdi = GdiObjectCount();

        HBITMAP resized = ResizeImage(number, 9, 7);
        ASSERT_NE(resized, nullptr);
        EXPECT_EQ(GetObjectType(source), 0u);
        EXPECT_EQ(GdiObjectCount(), gdi);
        EXPECT_EQ(ImageHandleOf(number), resized);
        EXPECT_EQ(ImageWidth(number) * 10 + ImageHeight(number), 97);
        EXPECT_EQ(BitsOf(resized), depth); // only a 32-bit image has alpha to keep
        EXPECT_EQ(PixelOf(resized, 0, 0), RGB(255, 0, 0));
        EXPECT_EQ(PixelOf(resized, 8, 6), RGB(0, 0, 255));
        pixels = static_cast<uint8_t*>(ReadBitmapPixels32(resized, &mustFree));
        ASSERT_NE(pixels, nullptr);
        for (size_t i = 0; i < expected.size(); ++i)
            if (depth == 32 || i % 4 != 3) { // a 24-bit image's fourth byte is no alpha
                ASSERT_EQ(pixels[i], expected[i]) << "byte " << i;
            }
        if (mustFree)
            HeapFree(RuntimeHeap, 0, pixels);

        // Refused, and the image stays as it was.
        EXPECT_EQ(ResizeImage(number, 0, 7), nullptr);
        EXPECT_EQ(ResizeImage(number, 9, 40000), nullptr);
        EXPECT_EQ(ImageHandleOf(number), resized);
        ImageFree(number);
        EXPECT_EQ(ResizeImage(number, 9, 7), nullptr);
    }
    ASSERT_NE(RegisterImage(5, RedIcon(), 8, 8, 32), nullptr);
    EXPECT_EQ(ResizeImage(5, 16, 16), nullptr);
}

} // namespace
