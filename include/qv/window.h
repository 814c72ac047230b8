// Numbered windows, each with a window class of its own ("WindowClass_<number>"). What a window
// reports comes back through the event calls of qv/events.h.
#pragma once

#include <windows.h>

#include <stdint.h>

// Option bits of OpenAppWindow's flag word; every other bit is a Win32 window style (WS_*).
constexpr DWORD WINDOW_CENTRE_SCREEN = 0x00000001; // centred on the screen once made
// Centred on the parent, or on the active window without one; ignored with WINDOW_CENTRE_SCREEN.
constexpr DWORD WINDOW_CENTRE_PARENT = 0x00000002;
constexpr DWORD WINDOW_TOOL = 0x00000004;            // a tool window: caption, no min/max boxes
constexpr DWORD WINDOW_NO_GADGET_LIST = 0x00000008;  // new gadgets do not go into this window
constexpr DWORD WINDOW_START_MAXIMIZED = 0x01000000; // shown maximised
constexpr DWORD WINDOW_NO_ACTIVATE = 0x02000000;     // shown without being activated
constexpr DWORD WINDOW_INVISIBLE = 0x10000000;       // not shown
constexpr DWORD WINDOW_START_MINIMIZED = 0x20000000; // shown minimised

// As x (or as y, unless the window is centred): let the system choose the position.
constexpr int DEFAULT_POSITION = -65535;

// Opens a window whose client area is width x height pixels, its outer frame at (x, y) on the
// screen (or where the flags centre it), titled title (null: no title), owned by parent (null:
// none). Flags with no style bits give a captioned window. Unless WINDOW_NO_GADGET_LIST is set
// the window becomes the gadget list, into which new gadgets go. A static number that names an
// open window closes that window first. Returns the window's handle for a static number and the
// new window's number for AutoNumber. 0 when the number cannot be had (negative but not
// AutoNumber, above the library's largest static number, or no memory for its record), when
// CreateWindowExA refuses the window (a parent that is no window, say), or when the runtime is
// not running.
intptr_t OpenAppWindow(int number, int x, int y, int width, int height, const char* title,
                       DWORD flags, HWND parent = nullptr);
// The handle of an open window; null when the number names no open window.
HWND WindowHandleOf(int number);
// Closes a window and drops its queued events (their data released) and its event bindings;
// AutoNumber closes every window. A number that names no open window is ignored, also after the
// runtime has ended. A dynamic number is valid until its window is closed; after that it may name
// a new window.
void CloseAppWindow(int number);
// The number of the runtime window behind a handle; -1 for a window the runtime did not open.
int WindowNumberOf(HWND window);
