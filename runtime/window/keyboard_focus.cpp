#include "runtime/window/keyboard_focus.h"

#include "runtime/window/window.h"

#include <richedit.h>
#include <string.h>

namespace {

const char HotkeyProperty[] = "QV_Hotkey";

// A key that is down has its state's high bits set, 0x80 among them.
bool KeyDown(int key) {
    return GetKeyState(key) & 0x80;
}

bool ModifierDown() {
    return KeyDown(VK_CONTROL) || KeyDown(VK_SHIFT) || KeyDown(VK_MENU);
}

// An editable rich-edit control takes plain Tab itself.
bool RichEditTakesTab(HWND focus) {
    char prefix[5] = {};
    GetClassNameA(focus, prefix, sizeof prefix);
    if (strncmp(prefix, "Rich", 4) != 0)
        return false;
    return !(SendMessageA(focus, EM_GETOPTIONS, 0, 0) & ECO_READONLY);
}

struct Navigation {
    HWND reference; // the control that counts as focused
    HWND previous;  // the last tab stop seen
    bool takeNext;
    bool done;
    bool composite; // the reference is a control whose parts count as one with it
};

bool IsTabStop(HWND window) {
    return IsWindowEnabled(window) && IsWindowVisible(window) &&
           (GetWindowLongA(window, GWL_STYLE) & WS_TABSTOP);
}

BOOL CALLBACK NextTabStop(HWND window, LPARAM lParam) {
    auto* nav = reinterpret_cast<Navigation*>(lParam);
    if (!IsTabStop(window))
        return TRUE;
    // The parts of a control that counts as one come after it but are not the next stop:
    // common controls give their parts the tab-stop style of the whole. Any other window's
    // tab-stop children are stops of their own.
    if (nav->takeNext && nav->composite && IsChild(nav->reference, window))
        return TRUE;
    if (nav->takeNext || !nav->reference) {
        SetFocus(window);
        nav->takeNext = false;
        return FALSE;
    }
    if (window == nav->reference)
        nav->takeNext = true;
    return TRUE;
}

BOOL CALLBACK PreviousTabStop(HWND window, LPARAM lParam) {
    auto* nav = reinterpret_cast<Navigation*>(lParam);
    if (!IsTabStop(window))
        return TRUE;
    if (window == nav->reference && nav->previous) {
        SetFocus(nav->previous);
        nav->done = true;
        nav->previous = window;
        return FALSE;
    }
    nav->previous = window;
    return TRUE;
}

} // namespace

HACCEL AcceleratorsFor(HWND active) {
    // The focus is the active window or inside it, so without an active window there is nothing
    // to look at. Every read of the focus or the keyboard is a trip to the window manager.
    if (!active)
        return nullptr;
    HWND focus = GetFocus();
    bool tab = focus && KeyDown(VK_TAB);
    bool modifier = ModifierDown();
    if (tab && !modifier && RichEditTakesTab(focus))
        return nullptr;
    if (modifier)
        SetKeyboardCues(active, 1);
    if (focus && GetPropA(focus, HotkeyProperty))
        return nullptr;
    int number = WindowNumberOf(active);
    if (number == -1)
        return nullptr;
    // Only this process's windows have objects behind their numbers.
    DWORD process = 0;
    if (!GetWindowThreadProcessId(active, &process) || process != GetCurrentProcessId())
        return nullptr;
    auto* object = static_cast<WindowObject*>(Registry_Get(WindowRegistry, number));
    return object ? object->acceleratorTable : nullptr;
}

void SetKeyboardCues(HWND window, int show) {
    LRESULT state = SendMessageA(window, WM_QUERYUISTATE, 0, 0);
    const LRESULT hidden = UISF_HIDEFOCUS | UISF_HIDEACCEL;
    if (show) {
        if (state & hidden)
            SendMessageA(window, WM_UPDATEUISTATE, MAKEWPARAM(UIS_CLEAR, hidden), 0);
    } else if ((state & hidden) != hidden) {
        SendMessageA(window, WM_UPDATEUISTATE, MAKEWPARAM(UIS_SET, hidden), 0);
    }
}

void MoveFocus(int backward) {
    HWND root = GetActiveWindow();
    HWND focus = GetFocus();
    Navigation nav = {};
    if (focus && IsChild(root, focus)) {
        nav.reference = focus;
        // Composite controls count as one; navigation stays inside an MDI child. The outermost
        // match wins.
        for (HWND h = focus; h; h = GetParent(h)) {
            char name[50] = {};
            GetClassNameA(h, name, sizeof name);
            if (strcmp(name, "MDI_ChildClass") == 0) {
                root = h;
                if (h == focus)
                    nav.reference = nullptr;
            } else if (strcmp(name, "ComboBoxEx32") == 0) {
                if (GetWindowLongA(h, GWL_STYLE) & 0x1) {
                    nav.reference = h;
                    nav.composite = true;
                }
            } else if (strcmp(name, "SysIPAddress32") == 0) {
                nav.reference = h;
                nav.composite = true;
            }
        }
    }
    auto param = reinterpret_cast<LPARAM>(&nav);
    if (!backward) {
        EnumChildWindows(root, NextTabStop, param);
        // The reference was the last tab stop: the first one follows it.
        if (nav.takeNext)
            EnumChildWindows(root, NextTabStop, param);
    } else {
        EnumChildWindows(root, PreviousTabStop, param);
        if (!nav.done && nav.previous)
            SetFocus(nav.previous);
    }
}
