#include "runtime/screen/frame_presentation.h"

#include "runtime/screen/windowed_screen.h"

TickCountFunction PresentTickCount = GetTickCount;

namespace {

// How long a lost device is waited for before the screen gives up, in milliseconds.
constexpr DWORD LOST_DEVICE_WAIT = 32;

int GiveUp() {
    Screen.active = 0;
    return 0;
}

} // namespace

int PresentFrame() {
    // Without a device (no screen open) there is nothing to present.
    if (!Screen.active || !Screen.device)
        return 1;
    IDirect3DDevice9* device = Screen.device;
    HRESULT result = device->TestCooperativeLevel();
    if (result == D3DERR_DRIVERINTERNALERROR)
        return GiveUp();

    if (result == D3DERR_DEVICELOST) {
        DWORD start = PresentTickCount();
        for (;;) {
            Sleep(1);
            result = device->TestCooperativeLevel();
            if (result == D3DERR_DRIVERINTERNALERROR)
                return GiveUp();
            if (result == D3DERR_DEVICENOTRESET || result == D3D_OK)
                break;
            // Unsigned, so a tick count that wraps during the wait still ends it.
            if (PresentTickCount() - start >= LOST_DEVICE_WAIT)
                break;
        }
        if (result == D3DERR_DEVICELOST)
            return GiveUp();
    }

    if (result == D3DERR_DEVICENOTRESET) {
        // A reset is refused while the back buffer is still referenced, so it is let go first
        // and fetched anew afterwards.
        if (Screen.backBuffer)
            Screen.backBuffer->Release();
        Screen.backBuffer = nullptr;
        if (FAILED(device->Reset(&Screen.presentParams)))
            return GiveUp();
        if (FAILED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &Screen.backBuffer)))
            Screen.backBuffer = nullptr;
    }

    RECT source = {0, 0, Screen.width, Screen.height};
    RECT destination;
    GetClientRect(Screen.childWindow, &destination);
    result = device->Present(&source, &destination, nullptr, nullptr);
    Screen.active = result == D3D_OK;
    return 1;
}
