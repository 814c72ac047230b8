// The program's own state and the skeleton of its run: start-up, the frame loop, shutdown.
#pragma once

#include "runtime/core/layout.h"

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

// Entry steps 1-5: zero the state, make the runtime heap, start every library in order.
void StartRuntime();
// Entry steps 6-9: open the screen library, window 0 and its screen, and run the frame loop.
void OpenAndRun();
// Every library's shutdown routine, in order.
void ShutdownRuntime();
// Entry steps 11-12: the string area and the runtime heap go last.
void EndRuntime();
// The whole run; ends the process with exit code 0.
[[noreturn]] void RunProgram();
