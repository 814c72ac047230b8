#include "d3d9_doubles.h"

#include "runtime/screen/frame_presentation.h"
#include "runtime/screen/windowed_screen.h"

#include <gtest/gtest.h>

#include <string.h>

namespace {

DWORD tickNow;
DWORD tickStep;
int tickReads;

DWORD WINAPI ScriptedTicks() {
    ++tickReads;
    DWORD now = tickNow;
    tickNow += tickStep;
    return now;
}

const HRESULT LOST = D3DERR_DEVICELOST;
const HRESULT NOT_RESET = D3DERR_DEVICENOTRESET;
const HRESULT DRIVER_ERROR = D3DERR_DRIVERINTERNALERROR;

// PresentFrame over a scripted device, a scripted clock and a real child-sized window.
class PresentFrameTest : public ::testing::Test {
  protected:
    DeviceDouble device;
    SurfaceDouble oldBackBuffer, newBackBuffer;
    HWND window = nullptr;

    void SetUp() override {
        memset(&Screen, 0, sizeof Screen);
        window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 320, 200, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
        Screen.open = 1;
        Screen.active = 1;
        Screen.width = 640;
        Screen.height = 480;
        Screen.childWindow = window;
        Screen.device = device.get();
        Screen.backBuffer = oldBackBuffer.get();
        device.nextBackBuffer = newBackBuffer.get();
        tickNow = 1000;
        tickStep = 5;
        tickReads = 0;
        PresentTickCount = ScriptedTicks;
    }
    void TearDown() override {
        PresentTickCount = GetTickCount;
        memset(&Screen, 0, sizeof Screen);
        DestroyWindow(window);
    }
};

TEST_F(PresentFrameTest, UsableDevicePresentsWholeBackBufferIntoChildClientArea) {
    EXPECT_EQ(PresentFrame(), 1);
    EXPECT_EQ(device.levelCalls, 1u);
    EXPECT_EQ(device.presents, 1);
    EXPECT_EQ(device.resets, 0);
    EXPECT_EQ(tickReads, 0);
    RECT source = device.presentSource, destination = device.presentDestination;
    EXPECT_EQ(source.left, 0);
    EXPECT_EQ(source.top, 0);
    EXPECT_EQ(source.right, 640);
    EXPECT_EQ(source.bottom, 480);
    EXPECT_EQ(destination.left, 0);
    EXPECT_EQ(destination.top, 0);
    EXPECT_EQ(destination.right, 320);
    EXPECT_EQ(destination.bottom, 200);
    EXPECT_EQ(Screen.active, 1);
}

TEST_F(PresentFrameTest, InactiveScreenLeavesDeviceAlone) {
    Screen.active = 0;
    EXPECT_EQ(PresentFrame(), 1);
    EXPECT_EQ(device.levelCalls, 0u);
    EXPECT_EQ(device.presents, 0);
}

TEST_F(PresentFrameTest, FailedPresentStopsLaterPresentsButReportsOne) {
    device.presentResult = D3DERR_INVALIDCALL;
    EXPECT_EQ(PresentFrame(), 1);
    EXPECT_EQ(Screen.active, 0);
    device.presentResult = D3D_OK;
    EXPECT_EQ(PresentFrame(), 1);
    EXPECT_EQ(device.presents, 1);
    EXPECT_EQ(device.levelCalls, 1u);
}

TEST_F(PresentFrameTest, DriverErrorGivesUpAtOnce) {
    device.levels = {DRIVER_ERROR};
    EXPECT_EQ(PresentFrame(), 0);
    EXPECT_EQ(Screen.active, 0);
    EXPECT_EQ(device.presents, 0);
    EXPECT_EQ(tickReads, 0);
}

TEST_F(PresentFrameTest, DriverErrorWhileWaitingGivesUp) {
    device.levels = {LOST, LOST, DRIVER_ERROR, D3D_OK};
    EXPECT_EQ(PresentFrame(), 0);
    EXPECT_EQ(device.levelCalls, 3u);
    EXPECT_EQ(Screen.active, 0);
    EXPECT_EQ(device.presents, 0);
}

TEST_F(PresentFrameTest, NotResetDeviceIsResetWithoutWaitingAndPresented) {
    device.levels = {NOT_RESET, D3D_OK};
    EXPECT_EQ(PresentFrame(), 1);
    EXPECT_EQ(tickReads, 0);
    EXPECT_EQ(device.levelCalls, 1u);
    EXPECT_EQ(device.resets, 1);
    EXPECT_EQ(device.resetParams, &Screen.presentParams);
    EXPECT_EQ(device.presents, 1);
    EXPECT_EQ(Screen.active, 1);
}

TEST_F(PresentFrameTest, ResetSwapsBackBufferReferences) {
    device.levels = {NOT_RESET, D3D_OK};
    PresentFrame();
    EXPECT_EQ(oldBackBuffer.references, 0); // given back, not leaked
    EXPECT_EQ(Screen.backBuffer, newBackBuffer.get());
    EXPECT_EQ(newBackBuffer.references, 2); // the screen's own reference
    EXPECT_EQ(device.backBufferFetches, 1);
}

TEST_F(PresentFrameTest, FailedResetGivesUpWithoutPresenting) {
    device.levels = {NOT_RESET};
    device.resetResult = D3DERR_INVALIDCALL;
    EXPECT_EQ(PresentFrame(), 0);
    EXPECT_EQ(Screen.active, 0);
    EXPECT_EQ(device.presents, 0);
    EXPECT_EQ(Screen.backBuffer, nullptr);
    EXPECT_EQ(oldBackBuffer.references, 0);
}

TEST_F(PresentFrameTest, DeviceBackDuringWaitIsPresentedWithoutReset) {
    device.levels = {LOST, LOST, D3D_OK};
    EXPECT_EQ(PresentFrame(), 1);
    EXPECT_EQ(device.levelCalls, 3u);
    EXPECT_EQ(device.resets, 0);
    EXPECT_EQ(device.presents, 1);
    EXPECT_EQ(Screen.active, 1);
    EXPECT_EQ(Screen.backBuffer, oldBackBuffer.get());
}

// Ticks go 1000, 1005, ... : the wait ends at the first reading 32 or more past the start.
TEST_F(PresentFrameTest, DeviceLostForWholeWaitGivesUpAfter32Ticks) {
    device.levels = {LOST};
    EXPECT_EQ(PresentFrame(), 0);
    EXPECT_EQ(Screen.active, 0);
    EXPECT_EQ(device.presents, 0);
    EXPECT_EQ(device.resets, 0);
    EXPECT_EQ(tickReads, 8);          // the start, then 1005 .. 1035
    EXPECT_EQ(device.levelCalls, 8u); // the first test, then one per reading
    EXPECT_EQ(PresentFrame(), 1);     // inactive from now on
    EXPECT_EQ(device.levelCalls, 8u);
}

TEST_F(PresentFrameTest, TickWrapDuringWaitStillWaits32Ticks) {
    device.levels = {LOST};
    tickNow = 0xFFFFFFF0u;
    EXPECT_EQ(PresentFrame(), 0);
    EXPECT_EQ(tickReads, 8);
    EXPECT_EQ(device.levelCalls, 8u);
}

TEST_F(PresentFrameTest, OtherAnswerDuringWaitKeepsWaitingThenPresents) {
    device.levels = {LOST, D3DERR_INVALIDCALL};
    EXPECT_EQ(PresentFrame(), 1);
    EXPECT_EQ(tickReads, 8);
    EXPECT_EQ(device.presents, 1);
}

} // namespace
