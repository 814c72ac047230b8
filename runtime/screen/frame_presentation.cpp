#include "runtime/screen/frame_presentation.h"

#include "runtime/screen/windowed_screen.h"

TickCountFunction PresentTickCount = GetTickCount;
SleepFunction PresentSleep = Sleep;

namespace {

// How long a lost device is waited for before the screen goes inactive, in milliseconds.
constexpr DWORD LOST_DEVICE_WAIT = 32;
// While the device stays away each call waits about one frame, so a frame loop that no longer
// waits in Present does not spin.
constexpr DWORD AWAY_FRAME = 16;
// Presents that fail while the device is not lost are tried this many times in a row; a device
// that refuses them so long will not take one, and each retry costs a frame's wait.
constexpr int PRESENT_RETRIES = 8;

// The driver failed: the screen gives up for good.
int GiveUp() {
    Screen.active = 0;
    Screen.deviceAway = 0;
    Screen.failedPresents = 0;
    return 0;
}

// The device cannot be used now; later calls try again.
int DeviceAway(bool retrying) {
    Screen.active = 0;
    Screen.deviceAway = 1;
    if (retrying)
        PresentSleep(AWAY_FRAME);
    return 0;
}

} // namespace

int PresentFrame() {
    // Nothing to present without a device (no screen open), nor while the screen is inactive
    // for any reason but its device.
    if (!Screen.device || (!Screen.active && !Screen.deviceAway))
        return 1;
    // A retry runs the same steps, but a device still lost is not waited for again.
    bool retrying = !Screen.active;
    IDirect3DDevice9* device = Screen.device;
    HRESULT result = device->TestCooperativeLevel();
    if (result == D3DERR_DRIVERINTERNALERROR)
        return GiveUp();

    if (result == D3DERR_DEVICELOST) {
        if (retrying)
            return DeviceAway(retrying);
        DWORD start = PresentTickCount();
        for (;;) {
            PresentSleep(1);
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
            return DeviceAway(retrying);
    }

    if (result == D3DERR_DEVICENOTRESET) {
        // A reset is refused while the back buffer is still referenced, so it is let go first
        // and fetched anew afterwards.
        if (Screen.backBuffer)
            Screen.backBuffer->Release();
        Screen.backBuffer = nullptr;
        // A failed reset leaves the device lost, to be reset again later.
        if (FAILED(device->Reset(&Screen.presentParams)))
            return DeviceAway(retrying);
    }
    // After a reset, and on every later call until the device gives one: without it nothing
    // could be drawn again.
    if (!Screen.backBuffer &&
        FAILED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &Screen.backBuffer)))
        Screen.backBuffer = nullptr;

    RECT source = {0, 0, Screen.width, Screen.height};
    RECT destination;
    GetClientRect(Screen.childWindow, &destination);
    result = device->Present(&source, &destination, nullptr, nullptr);
    if (result != D3D_OK) {
        // A lost device is waited for through the cooperative level; any other refusal only a
        // few times.
        if (result == D3DERR_DRIVERINTERNALERROR ||
            (result != D3DERR_DEVICELOST && ++Screen.failedPresents > PRESENT_RETRIES))
            GiveUp();
        else
            DeviceAway(retrying);
        return 1;
    }
    Screen.active = 1;
    Screen.deviceAway = 0;
    Screen.failedPresents = 0;
    return 1;
}
