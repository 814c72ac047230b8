// Keyboard focus and shortcuts: dialog-style Tab navigation in plain runtime windows, the
// accelerator table a pumped message is translated with, and the keyboard cues.
#pragma once

#include <windows.h>

// The accelerator table for the message being pumped, or none. Never allocates.
HACCEL AcceleratorsFor(HWND active);
// Shows (non-zero) or hides (zero) the focus rectangles and accelerator underlines.
void SetKeyboardCues(HWND window, int show);
// Moves the focus to the next tab stop of the active window, or the previous one when backward
// is non-zero, wrapping around at either end.
void MoveFocus(int backward);
