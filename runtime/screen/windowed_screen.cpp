#include "runtime/screen/windowed_screen.h"

#include "runtime/drawing/drawing_context.h"
#include "runtime/screen/frame_presentation.h"
#include "runtime/screen/screen_library.h"

#include <string.h>

ScreenState Screen;

namespace {

// Marks a window whose procedure the screen has replaced; set once per window.
const char* const REPLACED_PROPERTY = "qv_dxsize";
// That window's own procedure from before. Kept per window, so a window never calls the
// procedure of another window that held a screen after it.
const char* const OLD_PROC_PROPERTY = "qv_dxproc";

HRESULT FillPresentParams() {
    memset(&Screen.presentParams, 0, sizeof Screen.presentParams);
    D3DDISPLAYMODE mode;
    if (!Direct3D || FAILED(Direct3D->GetAdapterDisplayMode(0, &mode)))
        return E_FAIL;
    D3DPRESENT_PARAMETERS& params = Screen.presentParams;
    params.BackBufferWidth = Screen.width;
    params.BackBufferHeight = Screen.height;
    params.BackBufferFormat = mode.Format;
    params.BackBufferCount = 1;
    params.SwapEffect = D3DSWAPEFFECT_COPY; // the back buffer keeps its picture after a present
    params.hDeviceWindow = Screen.childWindow;
    params.Windowed = TRUE;
    params.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER; // the drawing layer locks its memory
    params.PresentationInterval = D3DPRESENT_INTERVAL_ONE;
    return D3D_OK;
}

void SetDefaultDeviceStates() {
    IDirect3DDevice9* device = Screen.device;
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetSoftwareVertexProcessing(FALSE);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    device->SetRenderState(D3DRS_MULTISAMPLEANTIALIAS, FALSE);
}

void ReleaseDeviceReferences() {
    if (Screen.backBuffer)
        Screen.backBuffer->Release();
    Screen.backBuffer = nullptr;
    if (Screen.device)
        Screen.device->Release();
    Screen.device = nullptr;
}

// A failed open leaves nothing behind: no device, no child window over the parent.
int FailOpen() {
    ReleaseDeviceReferences();
    Screen.width = Screen.height = Screen.depth = 0;
    Screen.windowed = 0;
    if (Screen.childWindow)
        DestroyWindow(Screen.childWindow);
    Screen.childWindow = nullptr;
    FreeScreenObject(-1);
    return 0;
}

void ReplaceParentProc(HWND window) {
    if (GetPropA(window, REPLACED_PROPERTY)) {
        Screen.parentOldProc = reinterpret_cast<WNDPROC>(GetPropA(window, OLD_PROC_PROPERTY));
        return;
    }
    Screen.parentOldProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ScreenParentProc)));
    SetPropA(window, OLD_PROC_PROPERTY, reinterpret_cast<HANDLE>(Screen.parentOldProc));
    SetPropA(window, REPLACED_PROPERTY, reinterpret_cast<HANDLE>(1));
}

} // namespace

int OpenScreenInWindow(HWND window, int x, int y, int width, int height, int fitToWindow,
                       int rightMargin, int bottomMargin) {
    ReleaseScreen();
    if (!window)
        return FailOpen();
    Screen.x = x;
    Screen.y = y;
    Screen.rightMargin = rightMargin;
    Screen.bottomMargin = bottomMargin;
    Screen.fitToWindow = fitToWindow;
    Screen.width = width;
    Screen.height = height;
    Screen.parentWindow = window;
    Screen.depth = 0;
    Screen.windowed = 1;

    Screen.childWindow =
        CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, x, y, width, height, window,
                        nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!Screen.childWindow)
        return FailOpen();
    FitScreenToWindow();
    Screen.childOldProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        Screen.childWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ScreenChildProc)));

    if (FAILED(FillPresentParams()))
        return FailOpen();
    D3DCAPS9 caps;
    if (FAILED(Direct3D->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps)))
        return FailOpen();
    // The floating-point unit keeps its precision either way.
    DWORD flags = (caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT)
                      ? D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_FPU_PRESERVE
                      : D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_FPU_PRESERVE;
    if (FAILED(Direct3D->CreateDevice(0, D3DDEVTYPE_HAL, Screen.childWindow, flags,
                                      &Screen.presentParams, &Screen.device))) {
        Screen.device = nullptr;
        return FailOpen();
    }

    switch (Screen.presentParams.BackBufferFormat) {
    case D3DFMT_X8R8G8B8:
        Screen.pixelFormat = FORMAT_XRGB8888;
        break;
    case D3DFMT_R5G6B5:
        Screen.pixelFormat = FORMAT_RGB565;
        break;
    case D3DFMT_X1R5G5B5:
        Screen.pixelFormat = FORMAT_RGB555;
        break;
    default:
        break; // the drawing layer keeps the code it had
    }
    Screen.depth = BitsPerPixelOfFormat(Screen.presentParams.BackBufferFormat);

    if (FAILED(Screen.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &Screen.backBuffer)))
        Screen.backBuffer = nullptr;
    Screen.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000, 0.0f, 0);

    ReplaceParentProc(window);
    SetDefaultDeviceStates();
    Screen.open = 1;
    Screen.active = 1;
    return 1;
}

void ReleaseScreen() {
    if (!Screen.open)
        return;
    FreeScreenObject(-1);
    ReleaseDeviceReferences();
    Screen.width = Screen.height = Screen.depth = 0;
    Screen.windowed = 0;
    Screen.deviceAway = 0;
    Screen.failedPresents = 0;
    DestroyWindow(Screen.childWindow);
    Screen.childWindow = nullptr;
    // The parent repaints the area the screen covered.
    InvalidateRect(Screen.parentWindow, nullptr, TRUE);
    Screen.open = 0;
}

void FitScreenToWindow() {
    if (!Screen.fitToWindow || !Screen.childWindow)
        return;
    RECT client;
    GetClientRect(Screen.parentWindow, &client);
    SetWindowPos(Screen.childWindow, nullptr, 0, 0, client.right - Screen.rightMargin - Screen.x,
                 client.bottom - Screen.bottomMargin - Screen.y,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOOWNERZORDER);
}

int BitsPerPixelOfFormat(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_R8G8B8:
        return 24;
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A2B10G10R10:
    case D3DFMT_G16R16:
    case D3DFMT_A2R10G10B10:
        return 32;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_A8R3G3B2:
    case D3DFMT_X4R4G4B4:
        return 16;
    case D3DFMT_R3G3B2:
    case D3DFMT_A8:
        return 8;
    case D3DFMT_A16B16G16R16:
        return 64;
    default:
        return 0; // the byte-order-swapped 32-bit formats among them
    }
}

LRESULT CALLBACK ScreenChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (Screen.open) {
        switch (message) {
        case WM_PAINT: {
            // The picture comes from the device, not from GDI.
            PAINTSTRUCT paint;
            BeginPaint(window, &paint);
            EndPaint(window, &paint);
            if (Screen.width != 0)
                PresentFrame();
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        default:
            break;
        }
    }
    return CallWindowProcA(Screen.childOldProc, window, message, wParam, lParam);
}

LRESULT CALLBACK ScreenParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (Screen.open && message == WM_SIZE && window == Screen.parentWindow) {
        FitScreenToWindow();
        if (Screen.width != 0)
            PresentFrame();
    }
    auto oldProc = reinterpret_cast<WNDPROC>(GetPropA(window, OLD_PROC_PROPERTY));
    if (message == WM_NCDESTROY) {
        RemovePropA(window, OLD_PROC_PROPERTY);
        RemovePropA(window, REPLACED_PROPERTY);
    }
    if (!oldProc)
        return DefWindowProcA(window, message, wParam, lParam);
    return CallWindowProcA(oldProc, window, message, wParam, lParam);
}
