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
    }
    size_t settled = HeapBytesInUse(RuntimeHeap);
    DWORD gdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    for (int i = 0; i < 100000; ++i) {
        DrawFrame();
        PresentFrame();
        if (i % 1000 == 0)
            PollWindowEvent();
    }
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), settled);
    EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdiObjects);

    std::vector<uint32_t> pixels(640 * 480);
    DrawFrame();
    ASSERT_TRUE(ReadBackBuffer(pixels.data()));
    EXPECT_EQ(pixels[240 * 640 + 320], 0xFFFFFFu);
    EXPECT_EQ(pixels[0], 0u);
}

} // namespace
