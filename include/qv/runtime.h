// Starting and ending the runtime: one call before a program's first use of it, one after its
// last. Between them the runtime is single-threaded: every call is made on the thread that
// started it, except PostEvent.
#pragma once

// StartAppRuntime's option: also start the screen library (Direct3D 9, loaded at run time from
// "d3d9.dll"), without which OpenScreenInWindow cannot open a screen.
constexpr int RUNTIME_WITH_SCREEN = 1;

// Makes the runtime heap and starts every library in the runtime's fixed order, then, with
// RUNTIME_WITH_SCREEN in options, the screen library. 1 when everything asked for is usable.
// 0 when:
// - the runtime heap cannot be made: no library is usable;
// - RUNTIME_WITH_SCREEN was asked for and the screen library cannot start: "d3d9.dll" is
//   missing or lacks "Direct3DCreate9", Direct3D 9 cannot be created, the display offers no mode
//   of 16 or 32 bits, or the library's hidden base window cannot be made. Every other library is
//   started and usable, so a program may go on without a screen.
// A call while the runtime runs starts nothing twice; it only tries the screen library again
// when asked for and not yet started. Call EndAppRuntime once the program is done, whatever this
// returned.
int StartAppRuntime(int options);

// Ends what StartAppRuntime started, in the runtime's fixed order: the screen and its library,
// every window (with its gadgets and its events), the posted-event window, every image,
// "msimg32.dll", and last the heaps; a window the runtime did not open but made a gadget list
// gets its own window procedure back. Afterwards every call into the runtime is harmless (it
// returns 0 or does nothing, and reaches no freed memory) until StartAppRuntime starts it again,
// the screen library included. Does nothing when the runtime is not running.
void EndAppRuntime();
