#include "runtime/window/window_procedure.h"

#include "runtime/core/heap.h"
#include "runtime/window/event_polling.h"
#include "runtime/window/event_queue.h"
#include "runtime/window/gadget_base.h"
#include "runtime/window/keyboard_focus.h"
#include "runtime/window/window.h"

namespace {

const char FocusProperty[] = "QV_Focus";
const char MdiGadgetProperty[] = "QV_MDI_Gadget";

// The runtime window a message belongs to: the window itself or its nearest ancestor with a
// window number. Without one the number is -1.
struct Owner {
    HWND handle;
    int number;
    WindowObject* object;

    // Queues an event of this window with no data.
    void Queue(int code, int objectField = 0, int type = 0) const {
        QueueEvent(code, objectField, number, type, nullptr, nullptr);
    }
};

Owner FindOwner(HWND window) {
    for (HWND h = window; h; h = GetParent(h)) {
        int number = WindowNumberOf(h);
        if (number != -1)
            return {h, number, static_cast<WindowObject*>(Registry_Get(WindowRegistry, number))};
    }
    return {nullptr, -1, nullptr};
}

WindowMessageCallback CallbackFor(const WindowObject* object) {
    if (object && object->messageCallback)
        return object->messageCallback;
    auto* state = static_cast<WindowThreadState*>(ThreadBlock_Get(WindowThreadBlock));
    return state ? state->globalMessageCallback : nullptr;
}

void SizeChanged(const Owner& owner, WPARAM kind) {
    WindowObject* object = owner.object;
    switch (kind) {
    case SIZE_RESTORED:
        if (object && object->sizingState == 1) {
            object->sizingState = 0;
            owner.Queue(RestoreWindowEvent);
        }
        owner.Queue(SizeWindowEvent);
        break;
    case SIZE_MINIMIZED:
        if (object)
            object->sizingState = 1;
        owner.Queue(MinimizeWindowEvent);
        break;
    case SIZE_MAXIMIZED:
        if (object)
            object->sizingState = 1;
        owner.Queue(MaximizeWindowEvent);
        owner.Queue(SizeWindowEvent);
        break;
    default:
        owner.Queue(SizeWindowEvent);
        break;
    }
}

void Activated(HWND window, const Owner& owner, bool active) {
    if (active) {
        // The control that had the focus when the window was left gets it back.
        if (HWND focus = static_cast<HWND>(RemovePropA(window, FocusProperty)))
            SetFocus(focus);
        owner.Queue(ActivateWindowEvent);
    } else {
        SetPropA(window, FocusProperty, GetFocus());
        SetKeyboardCues(window, 0);
        owner.Queue(DeactivateWindowEvent);
    }
}

LRESULT EraseBackground(HWND window, const Owner& owner, HDC dc) {
    LRESULT result = ResultUseDefault;
    if (WindowObject* object = owner.object) {
        if (object->backgroundBrush) {
            RECT client;
            GetClientRect(window, &client);
            FillRect(dc, &client, object->backgroundBrush);
            result = 1;
        } else if (owner.handle == window && object->paintHandler) {
            result = object->paintHandler(dc, window);
        }
    }
    owner.Queue(RepaintEvent);
    return result;
}

BOOL CALLBACK SendSysColorChange(HWND child, LPARAM) {
    SendMessageA(child, WM_SYSCOLORCHANGE, 0, 0);
    return TRUE;
}

LRESULT LimitTrackingSize(HWND window, const WindowObject* object, MINMAXINFO* info) {
    if (object->minimumWidth)
        info->ptMinTrackSize.x = object->minimumWidth;
    if (object->minimumHeight)
        info->ptMinTrackSize.y = object->minimumHeight;
    if (object->maximumWidth)
        info->ptMaxTrackSize.x = object->maximumWidth;
    if (object->maximumHeight)
        info->ptMaxTrackSize.y = object->maximumHeight;
    if (!object->minimumWidth && (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW))
        info->ptMinTrackSize.x = 1;
    return 0;
}

void Command(HWND window, const Owner& owner, WPARAM wParam, LPARAM lParam) {
    auto control = reinterpret_cast<HWND>(lParam);
    if (ForwardToGadget(control, window, WM_COMMAND, wParam, lParam) != ResultUseDefault)
        return;
    WORD command = LOWORD(wParam), notification = HIWORD(wParam);
    if (control) {
        int id = GetWindowLongA(control, GWL_ID);
        if (id == MENU_COMMAND_CONTROL_ID)
            owner.Queue(MenuEvent, command);
        else
            owner.Queue(GadgetEvent, id, notification);
    } else if (notification == 0) {
        owner.Queue(MenuEvent, static_cast<int>(wParam));
    } else if (command == CMD_TAB_NEXT) {
        MoveFocus(0);
    } else if (command == CMD_TAB_PREVIOUS) {
        MoveFocus(1);
    } else {
        owner.Queue(MenuEvent, command);
    }
}

void TrayCallback(HWND window, const Owner& owner, WPARAM icon, LPARAM action) {
    int type = -1;
    switch (action) {
    case WM_LBUTTONDOWN:
        type = 0;
        break;
    case WM_RBUTTONDOWN:
        type = 1;
        break;
    case WM_LBUTTONDBLCLK:
        type = 2;
        break;
    case WM_RBUTTONDBLCLK:
        type = 3;
        break;
    }
    if (type != -1)
        owner.Queue(TrayIconEvent, static_cast<int>(icon), type);
    // Lets a menu opened from the icon close when the user clicks elsewhere.
    PostMessageA(window, WM_NULL, 0, 0);
}

} // namespace

LRESULT TranslateWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Owner owner = FindOwner(window);
    if (WindowMessageCallback callback = CallbackFor(owner.object)) {
        LRESULT result = callback(window, message, wParam, lParam);
        if (result != ResultContinue)
            return result;
    }
    bool ownWindow = owner.object && owner.handle == window;
    switch (message) {
    case WM_MOVE:
        if (ownWindow)
            owner.Queue(MoveWindowEvent, owner.number);
        return 0;
    case WM_SIZE:
        if (owner.handle != window)
            return 1;
        SizeChanged(owner, wParam);
        return 0;
    case WM_ACTIVATE:
        Activated(window, owner, LOWORD(wParam) != 0);
        return 1;
    case WM_CLOSE:
        // The close button asks; the program decides. The window stays.
        if (ownWindow)
            owner.Queue(CloseWindowEvent, owner.number);
        return 0;
    case WM_ERASEBKGND:
        return EraseBackground(window, owner, reinterpret_cast<HDC>(wParam));
    case WM_SYSCOLORCHANGE:
        if (owner.object && !owner.object->mdiClient)
            EnumChildWindows(window, SendSysColorChange, 0);
        return ResultUseDefault;
    case WM_GETMINMAXINFO:
        if (!owner.object)
            return ResultUseDefault;
        return LimitTrackingSize(window, owner.object, reinterpret_cast<MINMAXINFO*>(lParam));
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (!header)
            return ResultUseDefault;
        return ForwardToGadget(header->hwndFrom, window, message, wParam, lParam);
    }
    case WM_NCDESTROY:
        RemovePropA(window, FocusProperty);
        return 1;
    case WM_COMMAND:
        Command(window, owner, wParam, lParam);
        return 0;
    case WM_TIMER:
        if (!owner.object)
            return ResultUseDefault;
        owner.Queue(TimerEvent, static_cast<int>(wParam));
        return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case GADGET_FORWARD_MESSAGE:
        return ForwardToGadget(reinterpret_cast<HWND>(lParam), window, message, wParam, lParam);
    case WM_LBUTTONUP:
        owner.Queue(LeftClickEvent);
        return 0;
    case WM_LBUTTONDBLCLK:
        owner.Queue(LeftDoubleClickEvent);
        return 0;
    case WM_RBUTTONUP:
        owner.Queue(RightClickEvent);
        return 0;
    case TRAY_CALLBACK_MESSAGE:
        TrayCallback(window, owner, wParam, lParam);
        return 0;
    }
    return ResultUseDefault;
}

LRESULT CALLBACK AppWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = TranslateWindowMessage(window, message, wParam, lParam);
    if (message != WM_SIZE) {
        if (auto mdiClient = static_cast<HWND>(GetPropA(window, MdiGadgetProperty))) {
            // The frame procedure serves the MDI window menu and focus; it never sees WM_SIZE,
            // so it does not resize the MDI client.
            if (result == ResultUseDefault || message == WM_SETFOCUS || message == WM_MENUCHAR ||
                (message == WM_COMMAND && lParam == 0))
                return DefFrameProcA(window, mdiClient, message, wParam, lParam);
            return result;
        }
    }
    SetLastError(0);
    return result == ResultUseDefault ? DefWindowProcA(window, message, wParam, lParam) : result;
}

LRESULT ForwardToGadget(HWND control, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!control)
        return ResultUseDefault;
    // Only a control whose "QV_ID" agrees with its identifier is a gadget of this runtime.
    int id = static_cast<int>(reinterpret_cast<intptr_t>(GetPropA(control, GADGET_ID_PROPERTY)));
    if (id != GetWindowLongA(control, GWL_ID))
        return ResultUseDefault;
    auto* gadget = static_cast<GadgetObject*>(Registry_Get(GadgetRegistry, id));
    if (!gadget || !gadget->kind || !gadget->kind->handler)
        return ResultUseDefault;
    return gadget->kind->handler(gadget, window, message, wParam, lParam);
}
