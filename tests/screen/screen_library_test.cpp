#include "runtime/screen/frame_presentation.h"
#include "runtime/screen/screen_library.h"
#include "runtime/screen/windowed_screen.h"
#include "runtime_fixture.h"

namespace {

using ScreenLibrary = RuntimeTest;

TEST_F(ScreenLibrary, StartsOnceAndHandsBackTheSameRegistry) {
    ObjectRegistry* registry = StartScreenLibrary();
    ASSERT_NE(registry, nullptr);
    EXPECT_EQ(ScreenLibraryStarted, 1);
    EXPECT_NE(Direct3D, nullptr);
    IDirect3D9* direct3D = Direct3D;
    EXPECT_EQ(StartScreenLibrary(), registry);
    EXPECT_EQ(Direct3D, direct3D);
}

TEST_F(ScreenLibrary, BaseWindowIsAHiddenOnePixelPopupThatIgnoresClose) {
    ASSERT_NE(StartScreenLibrary(), nullptr);
    ASSERT_EQ(BaseWindowCreated, 1);
    ASSERT_TRUE(IsWindow(BaseWindow));
    char name[64] = {};
    GetClassNameA(BaseWindow, name, sizeof name);
    EXPECT_STREQ(name, "MultimediaBase Class");
    EXPECT_FALSE(IsWindowVisible(BaseWindow));
    RECT area;
    GetWindowRect(BaseWindow, &area);
    EXPECT_EQ(area.right - area.left, 1);
    EXPECT_EQ(area.bottom - area.top, 1);
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

TEST_F(ScreenLibrary, FreeingAllScreenObjectsEmptiesTheRegistry) {
    ASSERT_NE(StartScreenLibrary(), nullptr);
    for (int number : {2, 5}) {
        auto* object = static_cast<ScreenObject*>(Registry_Allocate(ScreenObjects, number));
        ASSERT_NE(object, nullptr);
        object->handle = object;
    }
    FreeScreenObject(5);
    EXPECT_EQ(Registry_Get(ScreenObjects, 5), nullptr);
    EXPECT_NE(Registry_Get(ScreenObjects, 2), nullptr);
    FreeScreenObject(-1);
    EXPECT_EQ(Registry_Get(ScreenObjects, 2), nullptr);
}

} // namespace
