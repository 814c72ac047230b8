#include "app/program_screen.h"
#include "drawing/drawing_canvas.h"
#include "image/test_images.h"
#include "runtime/drawing/image_drawing.h"
#include "runtime/image/image_objects.h"
#include "runtime/screen/back_buffer_output.h"
#include "runtime_fixture.h"

#include <random>
#include <vector>

namespace {

const COLORREF Black = RGB(0, 0, 0), Red = RGB(255, 0, 0), Blue = RGB(0, 0, 255);

// An output of the kind asked for over a 32 x 32 black canvas, with a span begun on it.
class ImageDrawingTest : public RuntimeTest {
  protected:
    PlainCanvas* canvas = nullptr;
    DrawingContext* context = nullptr;

    void SetUp() override {
        RuntimeTest::SetUp();
        canvas = new PlainCanvas(32, 32);
        canvas->Clear(Black);
    }
    void TearDown() override {
        EndDrawing();
        delete canvas;
        RuntimeTest::TearDown();
    }
    void Begin(int kind = OUTPUT_PLAIN) {
        context = PlainOutput(canvas->dc);
        context->kind = kind;
        ASSERT_NE(BeginDrawing(context), nullptr);
    }
    // The bounding box and count of the pixels of a colour.
    RECT Extent(COLORREF color, int* count) {
        RECT r = {32, 32, 0, 0};
        *count = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                if (canvas->At(x, y) == color) {
                    ++*count;
                    r = {std::min<LONG>(r.left, x), std::min<LONG>(r.top, y),
                         std::max<LONG>(r.right, x + 1), std::max<LONG>(r.bottom, y + 1)};
                }
        return r;
    }
};

// Own size with BitBlt, or stretched over exactly the rectangle asked, on both readable and
// write-only outputs.
TEST_F(ImageDrawingTest, ImagesCoverExactlyTheirRectangle) {
    SolidImage image(10, 10, Red);
    struct {
        int width, height, coveredWidth, coveredHeight;
    } cases[] = {{0, 0, 10, 10},   {10, 0, 10, 10}, {0, 7, 10, 10},
                 {20, 20, 20, 20}, {20, 6, 20, 6},  {4, 4, 4, 4}};
    for (int kind : {OUTPUT_PLAIN, OUTPUT_WRITE_ONLY}) {
        Begin(kind);
        for (const auto& c : cases) {
            canvas->Clear(Black);
            EXPECT_NE(context->imageScaled(context, image.bitmap, 5, 3, c.width, c.height), 0);
            int count;
            RECT r = Extent(Red, &count);
            EXPECT_EQ(count, c.coveredWidth * c.coveredHeight) << c.width << " x " << c.height;
            EXPECT_EQ(r.left, 5);
            EXPECT_EQ(r.top, 3);
            EXPECT_EQ(r.right, 5 + c.coveredWidth);
        }
        canvas->Clear(Black);
        EXPECT_NE(context->image(context, image.bitmap, -2, 30), 0);
        EXPECT_EQ(canvas->CountOf(Red), 8 * 2);
        EndDrawing();
    }
}

// Exclusive or with SRCINVERT: twice restores, whatever the output kind.
TEST_F(ImageDrawingTest, XorModeTwiceRestoresTheOutput) {
    Canvas image(6, 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x)
            reinterpret_cast<uint32_t*>(image.Row(y))[x] = 0x00135799u * (x + 7 * y + 1);
    for (int kind : {OUTPUT_PLAIN, OUTPUT_WRITE_ONLY}) {
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                reinterpret_cast<uint32_t*>(canvas->Row(y))[x] = 0x00A0B0C0u ^ (x * 97 + y);
        std::vector<uint8_t> before(canvas->Row(0), canvas->Row(32));
        Begin(kind);
        context->setMode(context, MODE_XOR);
        context->image(context, image.bitmap, 3, 4);
        GdiFlush();
        uint32_t under = 0x00A0B0C0u ^ (3 * 97 + 4);
        EXPECT_EQ(reinterpret_cast<uint32_t*>(canvas->Row(4))[3],
                  under ^ reinterpret_cast<uint32_t*>(image.Row(0))[0]);
        context->image(context, image.bitmap, 3, 4);
        GdiFlush();
        EXPECT_EQ(std::vector<uint8_t>(canvas->Row(0), canvas->Row(32)), before);
        EndDrawing();
    }
}

// Icons go to DrawIconEx on every output kind and in every mode, and are freed as icons.
TEST_F(ImageDrawingTest, IconsAreDrawnWithDrawIconEx) {
    HICON icon = RedIcon();
    ASSERT_NE(icon, nullptr);
    for (int kind : {OUTPUT_PLAIN, OUTPUT_WRITE_ONLY}) {
        Begin(kind);
        for (int mode : {0, int(MODE_XOR)}) {
            context->setMode(context, mode);
            canvas->Clear(Blue); // an opaque icon covers it, also in XOR mode
            EXPECT_NE(context->image(context, icon, 2, 2), 0);
            EXPECT_EQ(canvas->CountOf(Red), 64) << "kind " << kind << ", mode " << mode;
            EXPECT_EQ(canvas->At(2, 2), Red);
            canvas->Clear(Blue);
            EXPECT_NE(context->imageScaled(context, icon, 0, 0, 16, 4), 0);
            EXPECT_EQ(canvas->CountOf(Red), 64);
        }
        EndDrawing();
    }
    ASSERT_NE(RegisterImage(2, icon, 8, 8, 32), nullptr);
    EXPECT_EQ(ImageFree(2), 1);
    EXPECT_FALSE(DestroyIcon(icon)); // already destroyed
}

// 0, a deleted bitmap, a pen: nothing drawn, 0 returned; likewise the entry points outside a
// begun span.
TEST_F(ImageDrawingTest, HandlesThatAreNoImageDrawNothing) {
    HPEN pen = CreatePen(PS_SOLID, 0, Red);
    HBITMAP deleted = CreateImageBitmap(4, 4, 24);
    DeleteObject(deleted);
    HANDLE bad[] = {nullptr, pen, deleted};
    for (int kind : {OUTPUT_PLAIN, OUTPUT_WRITE_ONLY}) {
        Begin(kind);
        for (HANDLE handle : bad) {
            EXPECT_EQ(context->image(context, handle, 0, 0), 0);
            EXPECT_EQ(context->imageScaled(context, handle, 0, 0, 8, 8), 0);
            EXPECT_EQ(context->imageBlended(context, handle, 0, 0, 255), 0);
            EXPECT_EQ(context->imageBlended(context, handle, 0, 0, 100), 0);
        }
        EndDrawing();
    }
    // A bitmap selected in another DC cannot be blitted from a memory DC of ours.
    SolidImage image(2, 2, Red);
    context = PlainOutput(canvas->dc);
    EXPECT_EQ(DrawImage(image.bitmap, 0, 0), 0); // a span made but not begun
    BeginDrawing(context);
    EXPECT_EQ(context->image(context, canvas->bitmap, 1, 1), 0);
    EndDrawing();
    EXPECT_EQ(DrawImage(image.bitmap, 0, 0), 0);
    EXPECT_EQ(DrawImageScaled(image.bitmap, 0, 0, 1, 1), 0);
    EXPECT_EQ(DrawImageBlended(image.bitmap, 0, 0, 255), 0);
    EXPECT_EQ(GrabImage(2, 0, 0, 1, 1), 0);
    EXPECT_EQ(GetObjectType(pen), static_cast<DWORD>(OBJ_PEN));
    DeleteObject(pen);
    EXPECT_EQ(canvas->CountOf(Black), 32 * 32);
}

// Per-pixel alpha through a blend copy, constant alpha, opaque copy and nothing. A grabbed
// image's alpha bytes are all 0, as GDI leaves them: it blends as the picture it holds.
TEST_F(ImageDrawingTest, BlendedImages) {
    Canvas withAlpha(2, 1);
    memcpy(withAlpha.bits, "\x00\x00\xFF\x80\x00\x00\xFF\x00", 8); // red at 128, red at 0
    SolidImage opaque(2, 1, Red);
    canvas->Clear(Red);
    Begin();
    auto grabbed = reinterpret_cast<HBITMAP>(context->grab(context, 1, 0, 0, 2, 1));
    ASSERT_NE(grabbed, nullptr);
    struct {
        HBITMAP image;
        int alpha;
        COLORREF first, second;
    } cases[] = {
        {withAlpha.bitmap, 255, RGB(191, 64, 64), RGB(128, 128, 128)},
        {withAlpha.bitmap, 0, RGB(128, 128, 128), RGB(128, 128, 128)},
        {opaque.bitmap, 255, Red, Red},
        {opaque.bitmap, 128, RGB(191, 64, 64), RGB(191, 64, 64)},
        {opaque.bitmap, 0, RGB(128, 128, 128), RGB(128, 128, 128)},
        {opaque.bitmap, 300, Red, Red}, // alpha beyond 255 is opaque
        {grabbed, 255, Red, Red},
        {grabbed, 128, RGB(191, 64, 64), RGB(191, 64, 64)},
        {grabbed, 0, RGB(128, 128, 128), RGB(128, 128, 128)},
    };
    for (const auto& c : cases) {
        canvas->Clear(RGB(128, 128, 128));
        context->imageBlended(context, c.image, 4, 4, c.alpha);
        for (int i = 0; i < 2; ++i) {
            COLORREF want = i ? c.second : c.first, got = canvas->At(4 + i, 4);
            for (int shift : {0, 8, 16})
                EXPECT_NEAR((got >> shift) & 0xFF, (want >> shift) & 0xFF, 2)
                    << "alpha " << c.alpha << ", pixel " << i;
        }
        EXPECT_EQ(canvas->At(3, 4), RGB(128, 128, 128));
        EXPECT_EQ(canvas->At(6, 4), RGB(128, 128, 128));
    }
}

// A model run: pictures with alpha, of more sizes than imageBlended keeps copies for and with
// rows running either way, drawn in a shuffled order while their pixels change. Each shows what
// it holds now: opaque pixels in their colour, transparent ones not at all, and once no alpha
// byte is set, all of it as an opaque picture. Few copies are kept.
TEST_F(ImageDrawingTest, BlendedImagesShowWhatTheyHoldNow) {
    struct Picture {
        HBITMAP bitmap;
        uint32_t* bits;
        int width, height;
        uint32_t& At(int x, int y) { // rows top-down for odd widths, bottom-up for even ones
            return bits[static_cast<size_t>(width % 2 ? y : height - 1 - y) * width + x];
        }
    } pictures[11];
    for (int i = 0; i < 11; ++i) {
        Picture& p = pictures[i];
        p.width = 3 + 2 * i + i % 2;
        p.height = 25 - 2 * i;
        BITMAPINFO header = DibHeader(p.width, p.width % 2 ? -p.height : p.height, 32);
        void* bits = nullptr;
        p.bitmap = CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
        p.bits = static_cast<uint32_t*>(bits);
        for (int k = 0; k < p.width * p.height; ++k)
            p.bits[k] = 0xFF000000 | (20 * i + 10) << 16 | 128; // opaque
    }
    Begin();
    const DWORD gdi = GdiObjectCount();
    std::mt19937 random(5);
    for (int round = 0; round < 80; ++round) {
        Picture& p = pictures[random() % 11];
        const uint32_t changes[] = {0xFF00FF00, 0x00FF00FF, 0xFF0000FF};
        p.At(random() % p.width, random() % p.height) = changes[random() % 3];
        if (round % 20 == 19) // now and then no alpha at all
            for (int k = 0; k < p.width * p.height; ++k)
                p.bits[k] &= 0x00FFFFFF;
        bool alpha = false;
        for (int k = 0; k < p.width * p.height; ++k)
            alpha |= p.bits[k] >> 24 != 0;
        canvas->Clear(Black);
        context->imageBlended(context, p.bitmap, 1, 2, 255);
        for (int y = 0; y <= p.height; ++y)
            for (int x = 0; x <= p.width; ++x) {
                uint32_t v = x < p.width && y < p.height ? p.At(x, y) : 0;
                COLORREF want = alpha && !(v >> 24) ? Black : RGB(v >> 16, v >> 8 & 255, v & 255);
                ASSERT_EQ(canvas->At(1 + x, 2 + y), want) << round << ": " << x << "," << y;
            }
    }
    EXPECT_LE(GdiObjectCount(), gdi + 10);
    for (Picture& p : pictures)
        DeleteObject(p.bitmap);
}

// A size beyond what the record holds is refused before a section is made and copied into:
// the peak working set does not grow by the 32 MB such a copy would touch.
TEST_F(ImageDrawingTest, GrabRefusesTooLargeAnAreaBeforeCopyingIt) {
    PlainCanvas wide(32768, 256);
    wide.Clear(Red);
    context = PlainOutput(wide.dc);
    ASSERT_NE(BeginDrawing(context), nullptr);
    size_t peak = PeakWorkingSet();
    EXPECT_EQ(context->grab(context, 4, 0, 0, 32768, 256), 0);
    EXPECT_EQ(context->grab(context, AutoNumber, 0, 0, 256, 32768), 0);
    EXPECT_LT(PeakWorkingSet() - peak, 16u << 20);
    EXPECT_NE(context->grab(context, 4, 0, 0, 32767, 1), 0);
}

// On a surface whose memory is locked every operation re-makes the DC first.
TEST_F(ImageDrawingTest, SurfaceWithLockedMemoryRemakesItsDC) {
    SurfaceCanvas surface(16, 16);
    surface.Clear(Black);
    SolidImage image(4, 4, Red);
    Canvas withAlpha(1, 1);
    memcpy(withAlpha.bits, "\x00\x00\xFF\xFF", 4); // opaque red with an alpha channel
    context = surface.Output(FORMAT_XRGB8888);
    ASSERT_NE(BeginDrawing(context), nullptr);
    auto locked = [&] {
        ASSERT_NE(context->bufferAddress(context), nullptr);
        ASSERT_EQ(context->dc, nullptr);
    };
    locked();
    EXPECT_NE(context->image(context, image.bitmap, 0, 0), 0);
    locked();
    EXPECT_NE(context->imageScaled(context, image.bitmap, 4, 0, 2, 2), 0);
    locked();
    EXPECT_NE(context->imageBlended(context, withAlpha.bitmap, 15, 15, 255), 0);
    locked();
    EXPECT_NE(context->imageBlended(context, image.bitmap, 8, 0, 255), 0);
    locked();
    intptr_t grabbed = context->grab(context, 1, 0, 0, 16, 16);
    EXPECT_EQ(surface.acquires, 5);
    EndDrawing();
    EXPECT_EQ(surface.CountOf(Red), 16 + 4 + 1 + 16);
    EXPECT_EQ(surface.At(15, 15), Red);
    EXPECT_NE(grabbed, 0);
}

// The screen's back buffer, through the entry points with an origin: drawn, blended, and
// grabbed as 24 bits with depth 32 recorded.
class ImagesOnTheBackBuffer : public ProgramScreen {};

TEST_F(ImagesOnTheBackBuffer, DrawBlendAndGrab) {
    SolidImage image(10, 10, Blue);
    Canvas withAlpha(2, 1);
    memcpy(withAlpha.bits, "\x00\x00\xFF\x80\x00\xFF\x00\xFF", 8); // red at 128, opaque green
    ASSERT_NE(BeginDrawing(BackBufferOutput()), nullptr);
    DrawBox(0, 0, 640, 480, RGB(128, 128, 128));
    currentContext->originX = 50;
    currentContext->originY = 20;
    EXPECT_NE(DrawImage(image.bitmap, 50, 30), 0);
    currentContext->bufferAddress(currentContext);
    EXPECT_NE(DrawImageScaled(image.bitmap, 150, 30, 30, 20), 0);
    DrawImageBlended(withAlpha.bitmap, 250, 30, 255);
    intptr_t number = GrabImage(AutoNumber, 45, 25, 20, 20);
    EndDrawing();

    std::vector<uint32_t> pixels(640 * 480);
    ASSERT_TRUE(ReadBackBuffer(pixels.data()));
    auto at = [&](int x, int y) { return pixels[y * 640 + x]; };
    EXPECT_EQ(at(100, 50), 0x0000FFu);
    EXPECT_EQ(at(109, 59), 0x0000FFu);
    EXPECT_EQ(at(110, 59), 0x808080u);
    EXPECT_EQ(at(229, 69), 0x0000FFu);
    EXPECT_EQ(at(230, 69), 0x808080u);
    EXPECT_NEAR(int(at(300, 50) >> 16), 191, 2); // 127 + 128 * 127 / 255
    EXPECT_EQ(at(301, 50), 0x00FF00u);

    auto* grabbed = static_cast<ImageObject*>(Registry_Get(ImageRegistry, int(number)));
    ASSERT_NE(grabbed, nullptr);
    EXPECT_EQ(grabbed->depth, 32);
    BITMAP info;
    ASSERT_EQ(GetObjectA(grabbed->handle, sizeof info, &info), int(sizeof info));
    EXPECT_EQ(info.bmBitsPixel, 24);
    // Bottom-up, 20 x 20 from (95, 45): the image's top-left blue pixel is at (5, 5).
    auto* row = static_cast<uint8_t*>(info.bmBits) + (19 - 5) * info.bmWidthBytes;
    EXPECT_EQ(row[3 * 5], 0xFF);
    EXPECT_EQ(row[3 * 4], 0x80);
    PresentFrame();
}

} // namespace
