#include "d3d9_doubles.h"

#include "runtime/screen/frame_presentation.h"
#include "runtime/screen/windowed_screen.h"

#include <gtest/gtest.h>

#include <string.h>

namespace {

DWORD tickNow;
DWORD tickStep;
int tickReads;
int sleeps;
DWORD slept;
bool sleepMovesClock; // time passes only while PresentFrame sleeps

DWORD WINAPI ScriptedTicks() {
    ++tickReads;
    DWORD now = tickNow;
    tickNow += tickStep;
    return now;
}

VOID WINAPI ScriptedSleep(DWORD milliseconds) {
    ++sleeps;
    slept += milliseconds;
    if (sleepMovesClock)
        tickNow += milliseconds;
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
        sleeps = 0;
        slept = 0;
        sleepMovesClock = false;
        PresentTickCount = ScriptedTicks;
        PresentSleep = ScriptedSleep;
    }
    void TearDown() override {
        PresentTickCount = GetTickCount;
        PresentSleep = Sleep;
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

TEST_F(PresentFrameTest, DriverErrorGivesUpForGood) {
    device.levels = {DRIVER_ERROR};
    EXPECT_EQ(PresentFrame(), 0);
    EXPECT_EQ(Screen.active, 0);
    EXPECT_EQ(device.presents, 0);
    EXPECT_EQ(tickReads, 0);
    EXPECT_EQ(PresentFrame(), 1); // never tried again
    EXPECT_EQ(device.levelCalls, 1u);
    EXPECT_EQ(sleeps, 0);
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

// A back buffer the device did not give after the reset is asked for on later presents.
TEST_F(PresentFrameTest, BackBufferMissingAfterResetIsFetchedLater) {
    device.levels = {NOT_RESET, D3D_OK};
    device.nextBackBuffer = nullptr;
    PresentFrame();
    device.nextBackBuffer = newBackBuffer.get();
    PresentFrame();
    PresentFrame();
    EXPECT_EQ(Screen.backBuffer, newBackBuffer.get());
    EXPECT_EQ(device.backBufferFetches, 2);
    EXPECT_EQ(device.presents, 3);
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
    EXPECT_EQ(sleeps, 7);
    EXPECT_EQ(slept, 7u);
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

// What one PresentFrame call cost: its result, the sleeps and the device calls it made.
struct Call {
    int result;
    int sleeps;
    DWORD slept;
    size_t levelCalls;
    int presents;
};

// A device lost until the scripted clock reaches backAt, then not reset until it was reset
// (unless deviceReset starts set), and usable after that.
DWORD backAt;
int resetAttempts, resetsToFail;
bool deviceReset;

HRESULT STDMETHODCALLTYPE LostUntilBackAt(IDirect3DDevice9* self) {
    ++doubles::Of(self)->levelCalls;
    return tickNow < backAt ? LOST : deviceReset ? D3D_OK : NOT_RESET;
}
HRESULT STDMETHODCALLTYPE ResetAfterFailures(IDirect3DDevice9*, D3DPRESENT_PARAMETERS*) {
    if (++resetAttempts <= resetsToFail)
        return LOST; // lost again between the test and the reset
    deviceReset = true;
    return D3D_OK;
}

// The frame loop goes on while the device is away: later calls bring it back.
class DeviceRecoveryTest : public PresentFrameTest {
  protected:
    void SetUp() override {
        PresentFrameTest::SetUp();
        tickStep = 0;
        sleepMovesClock = true;
        backAt = tickNow + 500;
        resetAttempts = 0;
        resetsToFail = 0;
        deviceReset = false;
        device.table.TestCooperativeLevel = LostUntilBackAt;
        device.table.Reset = ResetAfterFailures;
    }
    Call Present() {
        int sleepsBefore = sleeps;
        DWORD sleptBefore = slept;
        size_t levelCallsBefore = device.levelCalls;
        int presentsBefore = device.presents;
        int result = PresentFrame();
        return {result, sleeps - sleepsBefore, slept - sleptBefore,
                device.levelCalls - levelCallsBefore, device.presents - presentsBefore};
    }
    // Calls PresentFrame until it presents again; every call before costs one test of the
    // device and one sleep of about a frame, and reports the device unusable or a failed
    // present. Returns the number of those calls.
    int CallsUntilPresented(int expectedResult) {
        for (int away = 0;; ++away) {
            Call call = Present();
            if (Screen.active) {
                EXPECT_EQ(call.result, 1);
                EXPECT_EQ(call.sleeps, 0);
                EXPECT_EQ(call.presents, 1);
                return away;
            }
            EXPECT_EQ(call.result, expectedResult);
            EXPECT_EQ(call.sleeps, 1);
            EXPECT_GE(call.slept, 10u);
            EXPECT_LE(call.slept, 20u);
            EXPECT_EQ(call.levelCalls, 1u);
            if (away == 100 || HasFailure()) {
                ADD_FAILURE() << "the device never came back";
                return away;
            }
        }
    }
};

TEST_F(DeviceRecoveryTest, DeviceLostFor500MillisecondsComesBack) {
    deviceReset = true;     // back without a reset
    Call first = Present(); // the first call waits 32 ms in steps of 1, as always
    EXPECT_EQ(first.result, 0);
    EXPECT_EQ(first.sleeps, 32);
    EXPECT_EQ(first.levelCalls, 33u);
    EXPECT_EQ(Screen.active, 0);
    // The remaining 468 ms pass in sleeps of one frame each.
    EXPECT_EQ(CallsUntilPresented(0), 30);
    EXPECT_GE(tickNow, backAt);
    EXPECT_EQ(resetAttempts, 0);
    EXPECT_EQ(Screen.backBuffer, oldBackBuffer.get());
    Call normal = Present();
    EXPECT_EQ(normal.levelCalls, 1u);
    EXPECT_EQ(normal.presents, 1);
    EXPECT_EQ(normal.sleeps, 0);
}

TEST_F(DeviceRecoveryTest, LostThenNotResetIsResetAndPresented) {
    backAt = tickNow + 100;
    resetsToFail = 1;
    EXPECT_EQ(Present().result, 0);
    // 1032 .. 1096 still lost, 1112 not reset and the reset fails, then it succeeds.
    EXPECT_EQ(CallsUntilPresented(0), 6);
    EXPECT_EQ(resetAttempts, 2);
    EXPECT_EQ(Screen.backBuffer, newBackBuffer.get());
    EXPECT_EQ(oldBackBuffer.references, 0);
    EXPECT_EQ(newBackBuffer.references, 2);
}

TEST_F(DeviceRecoveryTest, FailedPresentIsTriedAgain) {
    backAt = tickNow;
    deviceReset = true;
    device.presentResult = D3DERR_INVALIDCALL;
    Call failed = Present();
    EXPECT_EQ(failed.result, 1);
    EXPECT_EQ(failed.sleeps, 0);
    EXPECT_EQ(Screen.active, 0);
    for (int i = 0; i < 3; ++i) {
        Call again = Present();
        EXPECT_EQ(again.presents, 1);
        EXPECT_EQ(again.sleeps, 1);
    }
    device.presentResult = D3D_OK;
    EXPECT_EQ(CallsUntilPresented(1), 0);
}

// A present the device keeps refusing while it is not lost is tried a few times, the driver's
// internal error not at all; then the screen gives up, and calls cost nothing.
TEST_F(DeviceRecoveryTest, PresentRefusedForGoodGivesUp) {
    backAt = tickNow;
    deviceReset = true;
    for (HRESULT refusal : {D3DERR_INVALIDCALL, D3DERR_DRIVERINTERNALERROR}) {
        Screen.active = 1;
        device.presentResult = refusal;
        int calls = 0;
        for (; Screen.active || Screen.deviceAway; ++calls) {
            EXPECT_EQ(Present().result, 1);
            ASSERT_LT(calls, 20) << "never gave up";
        }
        EXPECT_EQ(calls, refusal == D3DERR_INVALIDCALL ? 9 : 1);
        Call after = Present();
        EXPECT_EQ(after.levelCalls + after.presents + after.sleeps, 0u);
    }
    EXPECT_LE(slept, 8u * 16);
}

TEST_F(DeviceRecoveryTest, DriverErrorWhileAwayGivesUpForGood) {
    EXPECT_EQ(Present().result, 0);
    EXPECT_EQ(Present().sleeps, 1);
    device.table.TestCooperativeLevel = doubles::DeviceTestCooperativeLevel;
    device.levels = {DRIVER_ERROR};
    EXPECT_EQ(PresentFrame(), 0);
    Call after = Present();
    EXPECT_EQ(after.result, 1);
    EXPECT_EQ(after.levelCalls, 0u);
    EXPECT_EQ(after.sleeps, 0);
}

} // namespace
