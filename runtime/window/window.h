// Numbered windows: one WindowObject and one private window class per open window.
#pragma once

#include "runtime/core/layout.h"
#include "runtime/core/registry.h"

#include <windows.h>

// Both have the shape of a window procedure, and users hand in functions declared as one.
typedef LRESULT(CALLBACK* WindowMessageCallback)(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam);
typedef LRESULT(CALLBACK* WindowPaintHandler)(HDC dc, HWND window);

struct WindowObject {
    HWND handle; // non-zero exactly while the window is open
    ACCEL* acceleratorEntries;
    HACCEL acceleratorTable;
    WindowMessageCallback messageCallback;
    int acceleratorCount;
    int reserved1; // set to -1 by opening
    HBRUSH backgroundBrush;
    HWND mdiClient;
    WindowPaintHandler paintHandler;
    unsigned short minimumWidth, minimumHeight, maximumWidth, maximumHeight;
    int sizingState; // 1 while minimised or maximised
    int reserved2;
};
QV_ASSERT_SIZE(WindowObject, 52);

// Option bits of the flag word; every other bit is a Win32 window style.
constexpr DWORD WINDOW_CENTRE_SCREEN = 0x00000001;
constexpr DWORD WINDOW_CENTRE_PARENT = 0x00000002;
constexpr DWORD WINDOW_TOOL = 0x00000004;
constexpr DWORD WINDOW_NO_GADGET_LIST = 0x00000008;
constexpr DWORD WINDOW_START_MAXIMIZED = 0x01000000;
constexpr DWORD WINDOW_NO_ACTIVATE = 0x02000000;
constexpr DWORD WINDOW_INVISIBLE = 0x10000000;
constexpr DWORD WINDOW_START_MINIMIZED = 0x20000000;

constexpr int DEFAULT_POSITION = -65535;

// Commands of the Tab and Shift+Tab accelerators.
constexpr WORD CMD_TAB_NEXT = 64001;
constexpr WORD CMD_TAB_PREVIOUS = 64002;

extern ObjectRegistry* WindowRegistry;

void StartWindowLibrary();
void EndWindowLibrary();

// Returns the window handle for a number, the new number for AutoNumber, 0 on failure.
intptr_t OpenAppWindow(int number, int x, int y, int width, int height, const char* title,
                       DWORD flags, HWND parent = nullptr);
// The open window's handle, or 0 when the number names no open window.
HWND WindowHandleOf(int number);
// Closes a window: destroys it, drops its queued events (releasing their data) and its
// bindings; AutoNumber closes every window. Does nothing for a number naming no open window,
// also after the runtime has ended. A dynamic number is valid until its window is closed;
// after that it may name a new window.
void CloseAppWindow(int number);
void CentreWindow(HWND window, DWORD flags, HWND parent);

// The runtime window number of a handle from its "QV_WindowID" property, or -1.
int WindowNumberOf(HWND window);
