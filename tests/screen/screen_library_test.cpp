#include "runtime/screen/frame_presentation.h"
#include "runtime/screen/screen_library.h"
#include "runtime/screen/windowed_screen.h"
#include "runtime/window/window.h"
#include "runtime_fixture.h"

namespace {

using ScreenLibrary = RuntimeTest;

// A program's whole start and end: one call each, the screen library included.
TEST(ProgramRuntime, StartsEveryLibraryWithOneCallAndEndsThemWithAnother) {
    ASSERT_EQ(RuntimeHeap, nullptr);
    ASSERT_EQ(StartAppRuntime(RUNTIME_WITH_SCREEN), 1);
    HANDLE heap = RuntimeHeap;
    EXPECT_EQ(ScreenLibraryStarted, 1);
    EXPECT_EQ(StartAppRuntime(0), 1); // nothing starts twice
    EXPECT_EQ(RuntimeHeap, heap);
    HWND window =
        reinterpret_cast<HWND>(OpenAppWindow(0, 0, 0, 64, 48, "program", WINDOW_INVISIBLE));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(OpenScreenInWindow(window, 0, 0, 64, 48, 0, 0, 0), 1);
    EndAppRuntime();
    EXPECT_EQ(Screen.open, 0);
    EXPECT_EQ(ScreenLibraryStarted, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(RuntimeHeap, nullptr);
    EndAppRuntime(); // harmless once ended
    // Without the screen asked for, the screen library stays as it was.
    ASSERT_EQ(StartAppRuntime(0), 1);
    EXPECT_EQ(ScreenLibraryStarted, 0);
    EndAppRuntime();
    // Started again, screen included, after the heap went without the libraries' ends.
    ASSERT_EQ(StartAppRuntime(RUNTIME_WITH_SCREEN), 1);
    EndRuntimeHeaps();
    ASSERT_EQ(StartAppRuntime(RUNTIME_WITH_SCREEN), 1);
    window = reinterpret_cast<HWND>(OpenAppWindow(0, 0, 0, 64, 48, "again", WINDOW_INVISIBLE));
    EXPECT_EQ(OpenScreenInWindow(window, 0, 0, 64, 48, 0, 0, 0), 1);
    EndAppRuntime();
    EXPECT_EQ(ScreenLibraryStarted, 0);
}

TEST_F(ScreenLibrary, StartsOnceAndHandsBackTheSameRegistry) {
    ObjectRegistry* registry = StartScreenLibrary();
    ASSERT_NE(registry, nullptr);
    EXPECT_EQ(ScreenLibraryStarted, 1);
    EXPECT_NE(Direct3D, nullptr);
    IDirect3D9* direct3D = Direct3D;
    EXPECT_EQ(StartScreenLibrary(), registry);
    EXPECT_EQ(Direct3D, direct3D);
}

TEST_F(ScreenLibrary, StartThatCannotMakeTheRegistryKeepsNoDirect3D) {
    HANDLE heap = RuntimeHeap;
    RuntimeHeap = nullptr; // the registry has nowhere to live
    EXPECT_EQ(StartScreenLibrary(), nullptr);
    RuntimeHeap = heap;
    EXPECT_EQ(Direct3D, nullptr);
    EXPECT_EQ(ScreenLibraryStarted, 0);
    EXPECT_NE(StartScreenLibrary(), nullptr);
    EXPECT_NE(Direct3D, nullptr);
}

TEST_F(ScreenLibrary, BaseWindowIgnoresClose) {
    ASSERT_NE(StartScreenLibrary(), nullptr);
    ASSERT_TRUE(IsWindow(BaseWindow));
    EXPECT_EQ(SendMessageA(BaseWindow, WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(IsWindow(BaseWindow));
}

TEST_F(ScreenLibrary, EndReleasesDirect3DAndAllowsAFreshStart) {
    ASSERT_NE(StartScreenLibrary(), nullptr);
    IDirect3D9* direct3D = Direct3D;
    direct3D->AddRef();
    EndScreenLibrary();
    EXPECT_EQ(ScreenLibraryStarted, 0);
    EXPECT_EQ(Direct3D, nullptr);
    EXPECT_EQ(direct3D->Release(), 0u);
    EndScreenLibrary(); // a second end does nothing
    HWND baseWindow = BaseWindow;
    EXPECT_NE(StartScreenLibrary(), nullptr);
    EXPECT_NE(Direct3D, nullptr);
    EXPECT_EQ(BaseWindow, baseWindow); // made once per process
}

TEST_F(ScreenLibrary, BaseWindowActivationDrivesActiveOnlyWithoutWindowedScreen) {
    ASSERT_NE(StartScreenLibrary(), nullptr);
    Screen.active = 0;
    SendMessageA(BaseWindow, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(Screen.active, 1);
    // Active without a screen: presenting finds no device and does nothing.
    EXPECT_EQ(PresentFrame(), 1);
    SendMessageA(BaseWindow, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(Screen.active, 0);

    Screen.windowed = 1;
    SendMessageA(BaseWindow, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(Screen.active, 0);
    Screen.active = 1;
    SendMessageA(BaseWindow, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(Screen.active, 1);
    Screen.windowed = 0;
    Screen.active = 0;
}

} // namespace
