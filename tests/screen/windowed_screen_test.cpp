#include "d3d9_doubles.h"

#include "runtime/drawing/drawing_context.h"
#include "runtime/screen/frame_presentation.h"
#include "runtime/screen/screen_library.h"
#include "runtime/screen/windowed_screen.h"
#include "runtime_fixture.h"

#include <vector>

namespace {

const char* const PARENT_CLASS = "ScreenTestParent";
int appMessages; // WM_APP messages that reached the parent's own procedure

LRESULT CALLBACK ParentOwnProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) {
        ++appMessages;
        return 42;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Stands between the screen and its real device: counts presents and can make the device
// look lost-but-resettable once; everything else goes to the real device.
struct DeviceProxy {
    struct Object {
        IDirect3DDevice9 com;
        DeviceProxy* owner;
    } object;
    IDirect3DDevice9Vtbl table;
    IDirect3DDevice9* real;
    int presents = 0;
    bool pretendNotReset = false;

    static DeviceProxy* Of(IDirect3DDevice9* self) {
        return reinterpret_cast<Object*>(self)->owner;
    }
    static HRESULT STDMETHODCALLTYPE TestCooperativeLevel(IDirect3DDevice9* self) {
        DeviceProxy* proxy = Of(self);
        if (proxy->pretendNotReset) {
            proxy->pretendNotReset = false;
            return D3DERR_DEVICENOTRESET;
        }
        return IDirect3DDevice9_TestCooperativeLevel(proxy->real);
    }
    static HRESULT STDMETHODCALLTYPE Reset(IDirect3DDevice9* self, D3DPRESENT_PARAMETERS* params) {
        return IDirect3DDevice9_Reset(Of(self)->real, params);
    }
    static HRESULT STDMETHODCALLTYPE GetBackBuffer(IDirect3DDevice9* self, UINT chain, UINT index,
                                                   D3DBACKBUFFER_TYPE type,
                                                   IDirect3DSurface9** out) {
        return IDirect3DDevice9_GetBackBuffer(Of(self)->real, chain, index, type, out);
    }
    static HRESULT STDMETHODCALLTYPE Present(IDirect3DDevice9* self, const RECT* source,
                                             const RECT* destination, HWND window,
                                             const RGNDATA* dirty) {
        ++Of(self)->presents;
        return IDirect3DDevice9_Present(Of(self)->real, source, destination, window, dirty);
    }

    explicit DeviceProxy(IDirect3DDevice9* device) : table{}, real(device) {
        object.com.lpVtbl = &table;
        object.owner = this;
        table.TestCooperativeLevel = TestCooperativeLevel;
        table.Reset = Reset;
        table.GetBackBuffer = GetBackBuffer;
        table.Present = Present;
    }
    DeviceProxy(const DeviceProxy&) = delete;
};

SIZE ClientSize(HWND window) {
    RECT client = {};
    GetClientRect(window, &client);
    return {client.right, client.bottom};
}

class WindowedScreen : public RuntimeTest {
  protected:
    HWND parent = nullptr;
    std::vector<HWND> windows;

    void SetUp() override {
        RuntimeTest::SetUp();
        ASSERT_NE(StartScreenLibrary(), nullptr);
        WNDCLASSEXA windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = ParentOwnProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = PARENT_CLASS;
        RegisterClassExA(&windowClass); // fails harmlessly from the second test on
        appMessages = 0;
        parent = MakeParent(640, 480);
        ASSERT_NE(parent, nullptr);
    }
    void TearDown() override {
        RuntimeTest::TearDown();
        // Dropping the visible style first spares the wait Wine makes for an unmapped window.
        for (HWND window : windows) {
            SetWindowLongPtrA(window, GWL_STYLE,
                              GetWindowLongPtrA(window, GWL_STYLE) & ~WS_VISIBLE);
            DestroyWindow(window);
        }
    }

    HWND MakeParent(int width, int height) {
        RECT frame = {0, 0, width, height};
        AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
        HWND window = CreateWindowExA(0, PARENT_CLASS, "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                      frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                      nullptr, GetModuleHandleA(nullptr), nullptr);
        windows.push_back(window);
        return window;
    }
};

TEST_F(WindowedScreen, OpensAChildOverTheParentWithABlackBackBuffer) {
    ASSERT_EQ(OpenScreenInWindow(parent, 0, 0, 640, 480, 0, 0, 0), 1);
    EXPECT_EQ(Screen.open, 1);
    EXPECT_EQ(Screen.active, 1);
    EXPECT_EQ(Screen.windowed, 1);
    ASSERT_TRUE(IsWindow(Screen.childWindow));
    EXPECT_EQ(GetParent(Screen.childWindow), parent);
    SIZE child = ClientSize(Screen.childWindow);
    EXPECT_EQ(child.cx, 640);
    EXPECT_EQ(child.cy, 480);
    EXPECT_EQ(Screen.presentParams.SwapEffect, D3DSWAPEFFECT_COPY);
    EXPECT_EQ(Screen.presentParams.hDeviceWindow, Screen.childWindow);

    ASSERT_NE(Screen.backBuffer, nullptr);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(IDirect3DSurface9_GetDesc(Screen.backBuffer, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 640u);
    EXPECT_EQ(desc.Height, 480u);
    ASSERT_EQ(desc.Format, D3DFMT_X8R8G8B8); // the desktop's format here
    EXPECT_EQ(Screen.depth, 32);
    EXPECT_EQ(Screen.pixelFormat, FORMAT_XRGB8888);

    D3DLOCKED_RECT locked;
    ASSERT_EQ(IDirect3DSurface9_LockRect(Screen.backBuffer, &locked, nullptr, 0), D3D_OK);
    int coloured = 0;
    for (int y = 0; y < 480; ++y) {
        auto* row = reinterpret_cast<const DWORD*>(static_cast<const char*>(locked.pBits) +
                                                   y * locked.Pitch);
        for (int x = 0; x < 640; ++x)
            coloured += (row[x] & 0xFFFFFF) != 0;
    }
    IDirect3DSurface9_UnlockRect(Screen.backBuffer);
    EXPECT_EQ(coloured, 0);
    EXPECT_EQ(PresentFrame(), 1);
    EXPECT_EQ(Screen.active, 1);
}

TEST_F(WindowedScreen, ReopeningReleasesTheFirstScreenAndReplacesTheParentProcOnce) {
    ASSERT_EQ(OpenScreenInWindow(parent, 0, 0, 640, 480, 0, 0, 0), 1);
    IDirect3DDevice9* first = Screen.device;
    HWND firstChild = Screen.childWindow;
    IDirect3DDevice9_AddRef(first);
    ASSERT_EQ(OpenScreenInWindow(parent, 0, 0, 320, 240, 0, 0, 0), 1);
    EXPECT_EQ(IDirect3DDevice9_Release(first), 0u); // device and back buffer given back
    EXPECT_FALSE(IsWindow(firstChild));
    EXPECT_TRUE(IsWindow(Screen.childWindow));
    EXPECT_EQ(GetWindowLongPtrA(parent, GWLP_WNDPROC),
              reinterpret_cast<LONG_PTR>(ScreenParentProc));
    EXPECT_EQ(Screen.parentOldProc, ParentOwnProc);
    EXPECT_EQ(SendMessageA(parent, WM_APP, 0, 0), 42);
    EXPECT_EQ(appMessages, 1);
}

// A window that held an earlier screen keeps the screen's procedure, but its resizing is not
// the new screen's business: only the current parent's WM_SIZE presents.
TEST_F(WindowedScreen, OnlyTheCurrentParentsResizePresents) {
    ASSERT_EQ(OpenScreenInWindow(parent, 0, 0, 640, 480, 0, 0, 0), 1);
    HWND second = MakeParent(640, 480);
    ASSERT_EQ(OpenScreenInWindow(second, 0, 0, 640, 480, 0, 0, 0), 1);
    IDirect3DDevice9* real = Screen.device;
    DeviceProxy proxy(real);
    Screen.device = &proxy.object.com;
    SendMessageA(parent, WM_SIZE, SIZE_RESTORED, MAKELPARAM(500, 400));
    EXPECT_EQ(proxy.presents, 0);
    EXPECT_EQ(SendMessageA(parent, WM_APP, 0, 0), 42); // still reaches its own procedure
    SendMessageA(second, WM_SIZE, SIZE_RESTORED, MAKELPARAM(500, 400));
    EXPECT_EQ(proxy.presents, 1);
    EXPECT_EQ(SendMessageA(second, WM_APP, 0, 0), 42);
    EXPECT_EQ(appMessages, 2);
    Screen.device = real;
}

TEST_F(WindowedScreen, FailedReopenLeavesNoScreenOpen) {
    ASSERT_EQ(OpenScreenInWindow(parent, 0, 0, 640, 480, 0, 0, 0), 1);
    IDirect3DDevice9* first = Screen.device;
    HWND firstChild = Screen.childWindow;
    IDirect3DDevice9_AddRef(first);
    EXPECT_EQ(OpenScreenInWindow(nullptr, 0, 0, 640, 480, 0, 0, 0), 0);
    EXPECT_EQ(Screen.open, 0);
    EXPECT_EQ(Screen.device, nullptr);
    EXPECT_EQ(IDirect3DDevice9_Release(first), 0u);
    EXPECT_FALSE(IsWindow(firstChild));
}

TEST_F(WindowedScreen, ReleaseDestroysTheChildAndLetsTheParentRepaint) {
    ASSERT_EQ(OpenScreenInWindow(parent, 0, 0, 640, 480, 0, 0, 0), 1);
    HWND child = Screen.childWindow;
    ValidateRect(parent, nullptr);
    ReleaseScreen();
    EXPECT_FALSE(IsWindow(child));
    RECT update = {};
    ASSERT_TRUE(GetUpdateRect(parent, &update, FALSE));
    EXPECT_EQ(update.right - update.left, 640);
    EXPECT_EQ(update.bottom - update.top, 480);
    EXPECT_EQ(Screen.open, 0);
    EXPECT_EQ(Screen.windowed, 0);
    EXPECT_EQ(Screen.childWindow, nullptr);
    EXPECT_EQ(Screen.device, nullptr);
    EXPECT_EQ(Screen.backBuffer, nullptr);
    EXPECT_EQ(Screen.width, 0);
    EXPECT_EQ(Screen.depth, 0);
    EXPECT_EQ(Screen.parentWindow, parent);
    // The parent keeps the screen's procedure, which now passes everything on.
    EXPECT_EQ(GetPropA(parent, "qv_dxsize"), reinterpret_cast<HANDLE>(1));
    EXPECT_EQ(SendMessageA(parent, WM_APP, 0, 0), 42);
    EXPECT_EQ(appMessages, 1);
    EXPECT_EQ(PresentFrame(), 1);
    ReleaseScreen(); // nothing left to release
}

TEST_F(WindowedScreen, FittingStretchesTheChildOverALargerParent) {
    HWND large = MakeParent(800, 600);
    ASSERT_EQ(OpenScreenInWindow(large, 0, 0, 640, 480, 1, 0, 0), 1);
    SIZE child = ClientSize(Screen.childWindow);
    EXPECT_EQ(child.cx, 800);
    EXPECT_EQ(child.cy, 600);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(IDirect3DSurface9_GetDesc(Screen.backBuffer, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 640u);
    EXPECT_EQ(desc.Height, 480u);
    EXPECT_EQ(PresentFrame(), 1);
    EXPECT_EQ(Screen.active, 1);

    ASSERT_EQ(OpenScreenInWindow(large, 10, 20, 640, 480, 1, 30, 40), 1);
    RECT placed;
    GetWindowRect(Screen.childWindow, &placed);
    MapWindowPoints(nullptr, large, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_EQ(placed.left, 10);
    EXPECT_EQ(placed.top, 20);
    EXPECT_EQ(placed.right, 800 - 30);
    EXPECT_EQ(placed.bottom, 600 - 40);
}

TEST_F(WindowedScreen, RepaintAndResizePresentAgain) {
    ASSERT_EQ(OpenScreenInWindow(parent, 0, 0, 640, 480, 0, 0, 0), 1);
    IDirect3DDevice9* real = Screen.device;
    DeviceProxy proxy(real);
    Screen.device = &proxy.object.com;

    RedrawWindow(Screen.childWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(proxy.presents, 1);
    SetWindowPos(parent, nullptr, 0, 0, 500, 400, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_GE(proxy.presents, 2);
    SIZE child = ClientSize(Screen.childWindow); // not fitted: keeps its size
    EXPECT_EQ(child.cx, 640);
    EXPECT_EQ(child.cy, 480);
    int before = proxy.presents;
    EXPECT_EQ(SendMessageA(parent, WM_APP, 0, 0), 42);
    EXPECT_EQ(proxy.presents, before);
    EXPECT_EQ(Screen.active, 1);
    Screen.device = real;
}

TEST_F(WindowedScreen, ResetOfTheRealDeviceKeepsPresenting) {
    ASSERT_EQ(OpenScreenInWindow(parent, 0, 0, 640, 480, 0, 0, 0), 1);
    IDirect3DDevice9* real = Screen.device;
    DeviceProxy proxy(real);
    proxy.pretendNotReset = true;
    Screen.device = &proxy.object.com;
    EXPECT_EQ(PresentFrame(), 1);
    Screen.device = real;
    EXPECT_EQ(Screen.active, 1);
    EXPECT_EQ(proxy.presents, 1);
    ASSERT_NE(Screen.backBuffer, nullptr);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(IDirect3DSurface9_GetDesc(Screen.backBuffer, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 640u);
}

TEST_F(WindowedScreen, BaseWindowActivationLeavesAWindowedScreenPresenting) {
    ASSERT_EQ(OpenScreenInWindow(parent, 0, 0, 640, 480, 0, 0, 0), 1);
    SendMessageA(BaseWindow, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(Screen.active, 1);
}

} // namespace
