// Numbered windows: one WindowObject and one private window class per open window.
#pragma once

#include "qv/window.h"
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

// Commands of the Tab and Shift+Tab accelerators.
constexpr WORD CMD_TAB_NEXT = 64001;
constexpr WORD CMD_TAB_PREVIOUS = 64002;

extern ObjectRegistry* WindowRegistry;

void StartWindowLibrary();
void EndWindowLibrary();

// Moves a window as OpenAppWindow's centring flags ask.
void CentreWindow(HWND window, DWORD flags, HWND parent);
