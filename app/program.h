// The program's own state and the skeleton of its run: start-up, the frame loop, shutdown.
#pragma once

#include "runtime/core/layout.h"
#include "runtime/lifecycle.h" // entry step 10 is its ShutdownRuntime

#include <windows.h>

struct ProgramState {
    HANDLE processHeap;
    HINSTANCE instance;
    float phase;
    int pointIndex;
    float radius;
    int x, y;
    int previousX, previousY;
};
QV_ASSERT_SIZE(ProgramState, 36);

extern ProgramState Program;

// Entry steps 1-5: zero the state, make the runtime heap and start every library in order
// (StartRuntimeLibraries).
void StartRuntime();
// Entry steps 6-9: open the screen library, window 0 and its screen, and run the frame loop.
void OpenAndRun();
// Entry steps 11-12: the string area and the runtime heap go last (EndRuntimeHeaps).
void EndRuntime();
// The whole run; ends the process with exit code 0.
[[noreturn]] void RunProgram();
