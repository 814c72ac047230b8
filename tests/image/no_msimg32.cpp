// Run with "msimg32.dll" switched off: no blending, images still drawn where they can be.
#include "drawing/drawing_canvas.h"
#include "runtime/drawing/image_drawing.h"
#include "runtime/image/alpha_blending.h"
#include "runtime_fixture.h"

namespace {

using ImagesWithoutMsimg32 = RuntimeTest;

TEST_F(ImagesWithoutMsimg32, BlendingIsOffAndNothingBreaks) {
    ASSERT_EQ(LoadLibraryA("msimg32.dll"), nullptr); // the switch really holds
    EXPECT_EQ(AlphaBlendEntry, nullptr);
    EXPECT_EQ(AlphaBlendModule, nullptr);

    Canvas image(2, 2); // a 32-bit section: an alpha channel, were blending there
    image.Clear(RGB(255, 0, 0));
    EXPECT_EQ(HasAlphaChannel(image.bitmap), 0);
    EXPECT_EQ(MakeBlendCopy(image.bitmap, nullptr, 0), nullptr);
    DeleteBlendCopy(image.bitmap); // no copy can exist: the caller's own stays
    EXPECT_EQ(GetObjectType(image.bitmap), static_cast<DWORD>(OBJ_BITMAP));

    PlainCanvas canvas(4, 4);
    const COLORREF grey = RGB(128, 128, 128), red = RGB(255, 0, 0);
    canvas.Clear(grey);
    EXPECT_EQ(BlendBitmap(canvas.dc, 0, 0, 0, 0, image.bitmap, nullptr, 255), 0);
    EXPECT_EQ(canvas.CountOf(grey), 16);
    EXPECT_NE(BlendBitmapConstant(canvas.dc, 0, 0, 0, 0, image.bitmap, nullptr, 64), 0);
    EXPECT_EQ(canvas.CountOf(red), 4);

    // Through the drawing slot: any alpha but 0 copies opaquely.
    DrawingContext* context = PlainOutput(canvas.dc);
    ASSERT_NE(BeginDrawing(context), nullptr);
    for (int alpha : {0, 1, 128, 255}) {
        canvas.Clear(grey);
        context->imageBlended(context, image.bitmap, 1, 1, alpha);
        EXPECT_EQ(canvas.CountOf(red), alpha ? 4 : 0) << "alpha " << alpha;
    }
    EndDrawing();
    EndAlphaBlending(); // never loaded: nothing to do
    EXPECT_EQ(AlphaBlendEntry, nullptr);
}

} // namespace
