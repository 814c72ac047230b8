// Gadgets: the Win32 controls (buttons, labels, edits, any window class) placed in runtime
// windows. A gadget's number is also its control's identifier (GetDlgCtrlID), and its control's
// notifications come back as GadgetEvent with the gadget's number as object. Tab and Shift+Tab
// move the focus among the gadgets of the active window that have WS_TABSTOP. A gadget goes with
// its control: when its window closes, or when anything destroys the control.
#pragma once

#include <windows.h>

#include <stdint.h>

// Makes window the gadget list, into which new gadgets go (OpenAppWindow does this for each new
// window), and returns the window that was the gadget list before (null: none, or the runtime is
// not running). A null window only returns the current one. The runtime puts a window procedure
// of its own in front of window's, and gives a window it did not open its own procedure back
// when the runtime ends.
HWND SelectGadgetList(HWND window);

// A control of any window class as a gadget: a visible child (WS_CHILD | WS_VISIBLE | style) of
// the gadget list's window at (x, y) in its client area, width x height pixels, showing text, in
// the gadget list's font (the default GUI font). A static number that names a gadget frees it
// first. Returns the control for a static number and the new gadget's number for AutoNumber.
// 0 when there is no gadget list (no window open, or its window was destroyed), when the number
// cannot be had (negative but not AutoNumber, above 65486, no memory), when CreateWindowExA
// refuses the control (an unknown class, say) or the runtime cannot watch it for its end, or when
// the runtime is not running; the number then names no gadget.
intptr_t OpenGadget(int number, const char* className, const char* text, int x, int y, int width,
                    int height, DWORD style, DWORD extendedStyle = 0);
// OpenGadget of the commonest controls, with the same results. A push button (a tab stop; a
// click comes as GadgetEvent of type BN_CLICKED), a label (static text, left-aligned, no tab
// stop) and a one-line edit (a tab stop, sunken, scrolling sideways; its text is the control's
// window text, read with GetWindowTextA).
intptr_t OpenButton(int number, const char* text, int x, int y, int width, int height);
intptr_t OpenLabel(int number, const char* text, int x, int y, int width, int height);
intptr_t OpenEdit(int number, const char* text, int x, int y, int width, int height);
// Destroys a gadget's control and frees the gadget; AutoNumber frees every gadget. A number that
// names no gadget is ignored, also after the runtime has ended. A dynamic number is valid until
// its gadget is freed (or its control destroyed); after that it may name a new gadget.
void FreeGadget(int number);
