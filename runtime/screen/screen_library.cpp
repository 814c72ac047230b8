#include "runtime/screen/screen_library.h"

#include "runtime/core/heap.h"
#include "runtime/screen/windowed_screen.h"

IDirect3D9* Direct3D;
int ScreenLibraryStarted;
ObjectRegistry* ScreenObjects;
HWND BaseWindow;
int BaseWindowCreated;

namespace {

typedef IDirect3D9*(WINAPI* Direct3DCreate9Function)(UINT sdkVersion);

// The SDK version the library is built for.
constexpr UINT SCREEN_SDK_VERSION = 32;

void CreateBaseWindow() {
    if (BaseWindowCreated || Screen.parentWindow)
        return;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = BaseWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = "MultimediaBase Class";
    if (!RegisterClassExA(&windowClass))
        return;
    HWND window = CreateWindowExA(0, "MultimediaBase Class", "", WS_POPUP, 0, 0, 1, 1, nullptr,
                                  nullptr, instance, nullptr);
    if (window) {
        BaseWindow = window;
        BaseWindowCreated = 1;
    }
}

} // namespace

ObjectRegistry* StartScreenLibrary() {
    if (ScreenObjects)
        return ScreenObjects;
    CreateBaseWindow();
    if (!BaseWindowCreated)
        return nullptr;
    // Loaded at run time so that the program still starts (and ends quietly) without it; the
    // module stays loaded until the process ends.
    HMODULE module = LoadLibraryA("d3d9.dll");
    if (!module)
        return nullptr;
    auto create = reinterpret_cast<Direct3DCreate9Function>(
        reinterpret_cast<void*>(GetProcAddress(module, "Direct3DCreate9")));
    if (!create)
        return nullptr;
    Direct3D = create(SCREEN_SDK_VERSION);
    if (!Direct3D)
        return nullptr;
    // Counted one format after the other, in this order.
    UINT modes = Direct3D->GetAdapterModeCount(0, D3DFMT_X1R5G5B5);
    modes += Direct3D->GetAdapterModeCount(0, D3DFMT_R5G6B5);
    modes += Direct3D->GetAdapterModeCount(0, D3DFMT_X8R8G8B8);
    if (modes > 0)
        ScreenObjects = Registry_Create(sizeof(ScreenObject), 64, FreeScreenObject);
    // A failed start keeps no Direct3D object: the next start makes its own.
    if (!ScreenObjects) {
        Direct3D->Release();
        Direct3D = nullptr;
        return nullptr;
    }
    // The registry lives in the runtime heap: should the heap go before EndScreenLibrary, the
    // library ends with it, so that the next start makes everything anew.
    RuntimeHeap_OnDestroy(EndScreenLibrary);
    ScreenLibraryStarted = 1;
    return ScreenObjects;
}

void EndScreenLibrary() {
    if (!ScreenLibraryStarted)
        return;
    ReleaseScreen();
    Direct3D->Release();
    Direct3D = nullptr;
    // The registry's memory goes with the runtime heap; forgetting it lets a later start in the
    // same process make a fresh one instead of handing out freed memory.
    ScreenObjects = nullptr;
    ScreenLibraryStarted = 0;
}

void FreeScreenObject(int number) {
    if (number == -1) {
        Registry_FreeAll(ScreenObjects);
        return;
    }
    // A screen object holds nothing of its own in this system.
    if (Registry_Get(ScreenObjects, number))
        Registry_Release(ScreenObjects, number);
}

LRESULT CALLBACK BaseWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ACTIVATE:
        // A windowed screen presents whether or not its application is in front.
        if (!Screen.windowed)
            Screen.active = LOWORD(wParam) != 0;
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 1;
    }
    case WM_CLOSE: // the base window lives as long as the process
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        return 0;
    case WM_ERASEBKGND:
        return 1;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
