// The runtime's start-up and shutdown orders, for any program built on it: make the runtime
// heap and start every library, run the program, shut every library down, end the heaps.
#pragma once

#include <windows.h>

// Makes the RuntimeHeap and calls every library's start-up routine in the fixed order; returns
// the heap.
HANDLE StartRuntimeLibraries();
// Every library's shutdown routine, in the fixed order.
void ShutdownRuntime();
// The string area and the RuntimeHeap go last, after ShutdownRuntime.
void EndRuntimeHeaps();
