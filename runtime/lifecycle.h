// The runtime's start-up and shutdown orders, at the top of the runtime since they reach every
// library: make the runtime heap and start every library, run the program, shut every library
// down, end the heaps. A program calls them as StartAppRuntime and EndAppRuntime (qv/runtime.h);
// Ulvo calls them step by step, the screen library's start in its own place.
#pragma once

#include "qv/runtime.h"

#include <windows.h>

// Makes the RuntimeHeap and calls every library's start-up routine in the fixed order; returns
// the heap (null when it cannot be made, and the libraries then stay unusable).
HANDLE StartRuntimeLibraries();
// Every library's shutdown routine, in the fixed order.
void ShutdownRuntime();
// The string area and the RuntimeHeap go last, after ShutdownRuntime.
void EndRuntimeHeaps();
