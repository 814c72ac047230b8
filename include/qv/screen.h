// The screen: one Direct3D 9 device whose back buffer the program draws on and presents, frame
// after frame, into a child window of one of its windows. There is at most one screen at a time.
// The screen library must have been started (StartAppRuntime with RUNTIME_WITH_SCREEN).
#pragma once

#include <windows.h>

struct DrawingContext;

// Opens the screen in window (a handle, as WindowHandleOf gives): a back buffer of width x
// height pixels shown in a child window at (x, y) of its client area, black at first. With
// fitToWindow non-zero the child window follows the client area's size less rightMargin and
// bottomMargin, and the back buffer is stretched over it; otherwise it keeps width x height. A
// screen already open is closed first. The screen repaints itself when the window is uncovered
// or resized. 1 when open. 0, with no screen open, when window is null, when the screen library
// is not started, when the child window cannot be made, or when Direct3D cannot read the display
// mode or the adapter's capabilities or refuses the device (no 3D acceleration, no video memory).
int OpenScreenInWindow(HWND window, int x, int y, int width, int height, int fitToWindow,
                       int rightMargin, int bottomMargin);
// Closes the screen if one is open: the device is released and the child window destroyed, and
// the window repaints the area it covered. Otherwise does nothing.
void ReleaseScreen();

// Presents the back buffer into the child window, on Windows waiting for the display's vertical
// retrace, and recovers a device that was lost (another program took the display, the machine
// locked). 1 when presented, when the present failed (later calls try again), and when there is
// nothing to present: no screen open, or the screen gave up. 0 when the device was found
// unusable during this call: nothing is presented then, and while the loss may pass later calls
// try again, each waiting about one frame. The screen gives up, presenting nothing until it is
// opened again, after nine presents in a row refused without a lost device, and at the driver's
// internal error. A back buffer the device did not give back after a recovery is asked for again
// on every later call.
int PresentFrame();

// A drawing output on the open screen's back buffer, for BeginDrawing (qv/drawing.h); ending the
// span gives the back buffer back for PresentFrame. Null when no screen is open, when the
// device's back buffer refuses its DC (a lost device), or when no memory can be had.
DrawingContext* BackBufferOutput();
