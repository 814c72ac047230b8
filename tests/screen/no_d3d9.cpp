// Run with "d3d9.dll" switched off: the screen library cannot start and nothing breaks.
#include "runtime/screen/frame_presentation.h"
#include "runtime/screen/screen_library.h"
#include "runtime/screen/windowed_screen.h"
#include "runtime/window/window.h"
#include "runtime_fixture.h"

namespace {

using ScreenWithoutDirect3D = RuntimeTest;

TEST_F(ScreenWithoutDirect3D, StartFailsButMakesTheBaseWindow) {
    ASSERT_EQ(GetModuleHandleA("d3d9.dll"), nullptr);
    EXPECT_EQ(StartScreenLibrary(), nullptr);
    EXPECT_EQ(ScreenLibraryStarted, 0);
    EXPECT_EQ(Direct3D, nullptr);
    EXPECT_TRUE(IsWindow(BaseWindow));
    EXPECT_EQ(StartScreenLibrary(), nullptr); // a retry fails the same way
    EXPECT_EQ(GetModuleHandleA("d3d9.dll"), nullptr);
    // A program asking for a screen hears so, and can go on with the other libraries.
    EXPECT_EQ(StartAppRuntime(RUNTIME_WITH_SCREEN), 0);
    EXPECT_NE(OpenAppWindow(0, 0, 0, 64, 48, "no screen", WINDOW_INVISIBLE), 0);
}

TEST_F(ScreenWithoutDirect3D, OpeningAScreenFailsAndLeavesNoChildWindow) {
    ASSERT_EQ(StartScreenLibrary(), nullptr);
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(OpenScreenInWindow(parent, 0, 0, 640, 480, 0, 0, 0), 0);
    EXPECT_EQ(Screen.open, 0);
    EXPECT_EQ(Screen.windowed, 0);
    EXPECT_EQ(Screen.childWindow, nullptr);
    EXPECT_EQ(FindWindowExA(parent, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(PresentFrame(), 1);
    ReleaseScreen();
    DestroyWindow(parent);
}

} // namespace
