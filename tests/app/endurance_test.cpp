// Many frames drawn and presented leave the runtime heap where it was, and still draw.
#include "app/frame.h"
#include "program_screen.h"
#include "runtime/window/event_polling.h"

#include <vector>

namespace {

class Endurance : public ProgramScreen {};

TEST_F(Endurance, HundredThousandFramesLeakNothing) {
    for (int i = 0; i < 10; ++i) {
        DrawFrame();
        PresentFrame();
        PollWindowEvent();
    }
    size_t settled = HeapBytesInUse(RuntimeHeap);
    DWORD gdiObjects = GdiObjectCount();
    for (int i = 0; i < 100000; ++i) {
        DrawFrame();
        PresentFrame();
        if (i % 1000 == 0)
            PollWindowEvent();
    }
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), settled);
    // Wine makes a few objects once, late (caption painting, caches); an object lost per frame
    // or per poll would add a hundred or more.
    EXPECT_LT(GdiObjectCount(), gdiObjects + 50);

    std::vector<uint32_t> pixels(640 * 480);
    DrawFrame();
    ASSERT_TRUE(ReadBackBuffer(pixels.data()));
    EXPECT_EQ(pixels[240 * 640 + 320], 0xFFFFFFu);
    EXPECT_EQ(pixels[0], 0u);
}

} // namespace
