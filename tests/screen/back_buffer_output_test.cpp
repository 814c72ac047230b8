#include "d3d9_doubles.h"

#include "runtime/core/heap.h"
#include "runtime/drawing/drawing_context.h"
#include "runtime/drawing/text_drawing.h"
#include "runtime/screen/back_buffer_output.h"
#include "runtime/screen/frame_presentation.h"
#include "runtime/screen/screen_library.h"
#include "runtime/screen/windowed_screen.h"
#include "runtime_fixture.h"

#include <string.h>

namespace {

using Calls = std::vector<std::string>;

// The output's callbacks over a scripted back buffer.
class BackBufferCallbacks : public RuntimeTest {
  protected:
    SurfaceDouble surface;
    DrawingContext* context = nullptr;

    void SetUp() override {
        RuntimeTest::SetUp();
        memset(&Screen, 0, sizeof Screen);
        Screen.open = 1;
        Screen.width = 640;
        Screen.height = 480;
        Screen.depth = 16;
        Screen.pixelFormat = FORMAT_RGB565;
        Screen.backBuffer = surface.get();
    }
    void TearDown() override {
        if (context) {
            BackBufferRelease(context, 1);
            context->dc = nullptr;
            EndDrawing();
        }
        memset(&Screen, 0, sizeof Screen);
        RuntimeTest::TearDown();
    }

    void Open() {
        context = BackBufferOutput();
        ASSERT_NE(context, nullptr);
        ASSERT_EQ(surface.calls, Calls{"GetDC"});
        ASSERT_EQ(context->dc, surface.dc);
        surface.calls.clear();
    }
};

TEST_F(BackBufferCallbacks, AskingForTheFormAlreadyHeldMakesNoCall) {
    Open();
    EXPECT_EQ(BackBufferAcquireDC(context), surface.dc);
    EXPECT_EQ(surface.calls, Calls{});
    int pitch = 0;
    ASSERT_EQ(BackBufferLock(context, &pitch), surface.pixels);
    surface.calls.clear();
    pitch = -7;
    EXPECT_EQ(BackBufferLock(context, &pitch), surface.pixels);
    EXPECT_EQ(surface.calls, Calls{});
}

TEST_F(BackBufferCallbacks, SwitchingFormsGivesTheOtherBackFirst) {
    Open();
    int pitch = 0;
    EXPECT_EQ(BackBufferLock(context, &pitch), surface.pixels);
    EXPECT_EQ(pitch, 256);
    EXPECT_EQ(context->dc, nullptr);
    EXPECT_EQ(context->buffer, surface.pixels);
    EXPECT_EQ(surface.calls, (Calls{"ReleaseDC", "LockRect"}));
    surface.calls.clear();
    EXPECT_EQ(BackBufferAcquireDC(context), surface.dc);
    EXPECT_EQ(context->buffer, nullptr);
    EXPECT_EQ(surface.calls, (Calls{"UnlockRect", "GetDC"}));
    for (int i = 0; i < 3; ++i) {
        BackBufferLock(context, &pitch);
        BackBufferAcquireDC(context);
    }
    EXPECT_EQ(surface.overlaps, 0);
}

TEST_F(BackBufferCallbacks, ReleaseGivesBackExactlyWhatIsHeld) {
    Open();
    BackBufferRelease(context, 1);
    EXPECT_EQ(surface.calls, Calls{"ReleaseDC"});
    EXPECT_EQ(context->dc, nullptr);
    surface.calls.clear();
    BackBufferRelease(context, 0);
    EXPECT_EQ(surface.calls, Calls{});
    int pitch;
    BackBufferLock(context, &pitch);
    surface.calls.clear();
    BackBufferRelease(context, 0);
    EXPECT_EQ(surface.calls, Calls{"UnlockRect"});
    EXPECT_EQ(context->buffer, nullptr);
    EXPECT_FALSE(surface.dcOut || surface.locked);
}

TEST_F(BackBufferCallbacks, RefusedDCMakesNoContext) {
    surface.getDCResult = D3DERR_INVALIDCALL;
    EXPECT_EQ(BackBufferOutput(), nullptr);
    EXPECT_EQ(currentContext, nullptr);
    EXPECT_EQ(BeginDrawing(BackBufferOutput()), nullptr);
}

TEST_F(BackBufferCallbacks, NoOpenScreenMakesNoContextAndNoCall) {
    Screen.open = 0;
    EXPECT_EQ(BackBufferOutput(), nullptr);
    EXPECT_EQ(surface.calls, Calls{});
}

TEST_F(BackBufferCallbacks, FailedLockStillGaveTheDCBack) {
    Open();
    surface.lockResult = D3DERR_INVALIDCALL;
    int pitch = -7;
    EXPECT_EQ(BackBufferLock(context, &pitch), nullptr);
    EXPECT_EQ(pitch, -7);
    EXPECT_EQ(context->dc, nullptr);
    EXPECT_EQ(surface.calls, (Calls{"ReleaseDC", "LockRect"}));
    surface.getDCResult = D3DERR_INVALIDCALL;
    EXPECT_EQ(BackBufferAcquireDC(context), nullptr);
    EXPECT_EQ(context->dc, nullptr);
}

// With no room for a context, the DC already taken goes back to the surface.
TEST_F(BackBufferCallbacks, NoRoomForAContextGivesTheDCBack) {
    HANDLE full = HeapCreate(0, 4096, 65536);
    ASSERT_NE(full, nullptr);
    while (HeapAlloc(full, 0, 64)) {
    }
    HANDLE runtimeHeap = RuntimeHeap;
    RuntimeHeap = full;
    DrawingContext* made = BackBufferOutput();
    RuntimeHeap = runtimeHeap;
    HeapDestroy(full);
    EXPECT_EQ(made, nullptr);
    EXPECT_EQ(surface.calls, (Calls{"GetDC", "ReleaseDC"}));
    EXPECT_FALSE(surface.dcOut);
}

// A real screen: drawing through the output lands in the back buffer, and it can then be
// presented.
class BackBufferOnDevice : public RuntimeTest {
  protected:
    HWND parent = nullptr;

    void SetUp() override {
        RuntimeTest::SetUp();
        ASSERT_NE(StartScreenLibrary(), nullptr);
        parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(parent, nullptr);
        ASSERT_EQ(OpenScreenInWindow(parent, 0, 0, 640, 480, 0, 0, 0), 1);
    }
    void TearDown() override {
        RuntimeTest::TearDown();
        DestroyWindow(parent);
    }

    DWORD PixelAt(int x, int y) {
        D3DLOCKED_RECT locked;
        if (FAILED(IDirect3DSurface9_LockRect(Screen.backBuffer, &locked, nullptr, 0)))
            return 0xDEADBEEF;
        DWORD pixel = reinterpret_cast<const DWORD*>(static_cast<const char*>(locked.pBits) +
                                                     y * locked.Pitch)[x];
        IDirect3DSurface9_UnlockRect(Screen.backBuffer);
        return pixel & 0xFFFFFF;
    }
};

TEST_F(BackBufferOnDevice, DesktopFormatScreenYieldsA32BitContext) {
    ASSERT_EQ(Screen.presentParams.BackBufferFormat, D3DFMT_X8R8G8B8);
    DrawingContext* context = BackBufferOutput();
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(context->width, 640);
    EXPECT_EQ(context->height, 480);
    EXPECT_EQ(context->depth, 32);
    EXPECT_EQ(context->pixelFormat, FORMAT_XRGB8888);
    EXPECT_NE(BeginDrawing(context), nullptr);
    EndDrawing();
}

TEST_F(BackBufferOnDevice, DrawingReachesTheBackBufferAndIsPresented) {
    ASSERT_NE(BeginDrawing(BackBufferOutput()), nullptr);
    DrawBox(10, 10, 100, 50, 0xFFFFFF);
    // Direct memory access in the middle of the span, then GDI again.
    DrawingContext* context = currentContext;
    auto* memory = static_cast<char*>(context->bufferAddress(context));
    ASSERT_NE(memory, nullptr);
    EXPECT_EQ(context->bufferPitch(context) >= 640 * 4, true);
    reinterpret_cast<DWORD*>(memory + 300 * context->pitch)[300] = 0xFF0000FF;
    DrawBox(400, 400, 20, 20, 0x00FF00);
    EndDrawing();

    EXPECT_EQ(PixelAt(50, 30), 0xFFFFFFu);
    EXPECT_EQ(PixelAt(300, 300), 0x0000FFu);
    EXPECT_EQ(PixelAt(410, 410), 0x00FF00u);
    EXPECT_EQ(PixelAt(200, 200), 0u);
    EXPECT_EQ(PresentFrame(), 1);
    EXPECT_EQ(Screen.active, 1);
}

// Text on the back buffer, where its DC is re-made after the memory was locked.
TEST_F(BackBufferOnDevice, TextReachesTheBackBuffer) {
    HFONT font = CreateFontA(-20, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, 0, "DejaVu Sans");
    ASSERT_NE(BeginDrawing(BackBufferOutput()), nullptr);
    DrawBox(0, 0, 640, 480, 0);
    EXPECT_EQ(SetDrawingFont(font), 1);
    int width = TextWidth("Hello"), height = TextHeight("Hello");
    currentContext->bufferAddress(currentContext);
    EXPECT_EQ(DrawString(20, 20, "Hello", 0xFFFFFF), 20 + width);
    EndDrawing();
    DeleteObject(font);
    int lit = 0;
    for (int i = 0; i < width * height; i++)
        lit += PixelAt(20 + i % width, 20 + i / width) == 0xFFFFFF;
    EXPECT_GT(lit, 0);
}

} // namespace
