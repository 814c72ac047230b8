#include "runtime/window/window.h"

#include "runtime/core/heap.h"
#include "runtime/window/event_bindings.h"
#include "runtime/window/event_polling.h"
#include "runtime/window/gadget_base.h"
#include "runtime/window/window_procedure.h"

#include <ole2.h>
#include <stdio.h>

ObjectRegistry* WindowRegistry;

namespace {

HICON classIcon;
HCURSOR classCursor;

const char WindowIdProperty[] = "QV_WindowID";
const char DropAcceptProperty[] = "QV_DropAccept";

struct ClassName {
    char text[32];
    explicit ClassName(int number) { sprintf(text, "WindowClass_%d", number); }
};

HINSTANCE ModuleInstance() {
    return GetModuleHandleA(nullptr);
}

int ShowCommandFor(DWORD style, bool noActivate) {
    if (style & WS_MAXIMIZE)
        return noActivate ? SW_SHOWNA : SW_SHOWMAXIMIZED;
    if (style & WS_MINIMIZE)
        return noActivate ? SW_SHOWMINNOACTIVE : SW_SHOWMINIMIZED;
    return noActivate ? SW_SHOWNOACTIVATE : SW_SHOWNORMAL;
}

void CreateAccelerators(WindowObject* object) {
    object->acceleratorCount = 2;
    object->acceleratorEntries = static_cast<ACCEL*>(RuntimeAlloc(2 * sizeof(ACCEL)));
    if (!object->acceleratorEntries)
        return;
    object->acceleratorEntries[0] = {FVIRTKEY | FNOINVERT, VK_TAB, CMD_TAB_NEXT};
    object->acceleratorEntries[1] = {FVIRTKEY | FNOINVERT | FSHIFT, VK_TAB, CMD_TAB_PREVIOUS};
    object->acceleratorTable = CreateAcceleratorTableA(object->acceleratorEntries, 2);
}

} // namespace

void StartWindowLibrary() {
    WindowRegistry = Registry_Create(sizeof(WindowObject), 16, CloseAppWindow);
    RuntimeHeap_OnDestroy([] { WindowRegistry = nullptr; });
    CreateWindowThreadState();
    classIcon = LoadIconA(ModuleInstance(), MAKEINTRESOURCEA(1));
    classCursor = LoadCursorA(nullptr, IDC_ARROW);
}

void EndWindowLibrary() {
    Registry_FreeAll(WindowRegistry);
}

intptr_t OpenAppWindow(int number, int x, int y, int width, int height, const char* title,
                       DWORD flags, HWND parent) {
    auto* object = static_cast<WindowObject*>(Registry_Allocate(WindowRegistry, number));
    if (!object)
        return 0;
    bool automatic = number == AutoNumber;
    if (automatic)
        number = Registry_NumberOf(object);

    ClassName className(number);
    if (!title)
        title = "";
    HINSTANCE instance = ModuleInstance();
    WNDCLASSA windowClass = {};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = AppWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = classIcon;
    windowClass.hCursor = classCursor;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = className.text;
    RegisterClassA(&windowClass);

    DWORD style = flags;
    bool attachGadgetList = !(style & WINDOW_NO_GADGET_LIST);
    style &= ~WINDOW_NO_GADGET_LIST;
    if ((style & 0xEFFFFFFC) == 0)
        style |= WS_CAPTION; // a window asked for with no style still gets a title bar
    bool show = !(style & WINDOW_INVISIBLE);
    style &= ~WINDOW_INVISIBLE;
    bool noActivate = style & WINDOW_NO_ACTIVATE;
    DWORD exStyle = 0;
    if (style & WINDOW_TOOL) {
        exStyle = WS_EX_TOOLWINDOW;
        style = (style & ~0x21030000u) | WS_CAPTION;
    }

    DWORD createStyle = style & ~(WINDOW_CENTRE_SCREEN | WINDOW_CENTRE_PARENT | WINDOW_TOOL);
    RECT outer = {0, 0, width, height};
    AdjustWindowRectEx(&outer, createStyle, FALSE, exStyle);

    bool centring = flags & (WINDOW_CENTRE_SCREEN | WINDOW_CENTRE_PARENT);
    if (x == DEFAULT_POSITION || (y == DEFAULT_POSITION && !centring))
        x = y = CW_USEDEFAULT;

    object->handle = CreateWindowExA(
        exStyle, className.text, title, createStyle & ~WINDOW_NO_ACTIVATE, x, y,
        outer.right - outer.left, outer.bottom - outer.top, parent, nullptr, instance, nullptr);
    if (!object->handle) {
        UnregisterClassA(className.text, instance);
        Registry_Release(WindowRegistry, number);
        return 0;
    }
    HWND handle = object->handle;
    if (centring)
        CentreWindow(handle, flags, parent);
    if (show)
        ShowWindow(handle, ShowCommandFor(style, noActivate));
    object->sizingState = (style & (WS_MAXIMIZE | WS_MINIMIZE)) ? 1 : 0;
    CreateAccelerators(object);
    object->reserved1 = -1;
    object->mdiClient = nullptr;
    if (attachGadgetList)
        SelectGadgetList(handle);
    SetPropA(handle, WindowIdProperty, reinterpret_cast<HANDLE>(static_cast<intptr_t>(number) + 1));
    return automatic ? number : reinterpret_cast<intptr_t>(handle);
}

void CentreWindow(HWND window, DWORD flags, HWND parent) {
    RECT rect;
    GetWindowRect(window, &rect);
    int w = rect.right - rect.left, h = rect.bottom - rect.top;
    int x, y;
    if (flags & WINDOW_CENTRE_SCREEN) {
        int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
        x = (sw - (w < sw ? w : sw)) / 2;
        y = (sh - (h < sh ? h : sh)) / 2;
    } else {
        HWND reference = parent ? parent : GetActiveWindow();
        if (!reference)
            return;
        RECT around;
        GetWindowRect(reference, &around);
        x = (around.right - around.left - w) / 2 + around.left;
        y = (around.bottom - around.top - h) / 2 + around.top;
        if (x < 0)
            x = 0;
        if (y < 0)
            y = 0;
    }
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND WindowHandleOf(int number) {
    auto* object = static_cast<WindowObject*>(Registry_Get(WindowRegistry, number));
    return object ? object->handle : nullptr;
}

void CloseAppWindow(int number) {
    if (number == AutoNumber) {
        Registry_FreeAll(WindowRegistry);
        return;
    }
    auto* object = static_cast<WindowObject*>(Registry_Get(WindowRegistry, number));
    if (!object)
        return;
    HWND handle = object->handle;
    HWND owner = GetWindow(handle, GW_OWNER);
    if (owner && !object->mdiClient)
        SetActiveWindow(owner);
    RemovePropA(handle, WindowIdProperty);
    if (RemovePropA(handle, DropAcceptProperty))
        RevokeDragDrop(handle);
    if (object->mdiClient) {
        SendMessageA(object->mdiClient, WM_MDIDESTROY, reinterpret_cast<WPARAM>(handle), 0);
    } else {
        DestroyWindow(handle);
        UnregisterClassA(ClassName(number).text, ModuleInstance());
    }
    if (object->acceleratorEntries) {
        RuntimeFree(object->acceleratorEntries);
        DestroyAcceleratorTable(object->acceleratorTable);
    }
    if (object->backgroundBrush)
        DeleteObject(object->backgroundBrush);
    PurgeWindowEvents(number);
    RemoveWindowBindings(number);
    Registry_Release(WindowRegistry, number);
}

int WindowNumberOf(HWND window) {
    return static_cast<int>(reinterpret_cast<intptr_t>(GetPropA(window, WindowIdProperty))) - 1;
}
