#include "app/program.h"

#include "app/frame.h"
#include "runtime/core/array.h"
#include "runtime/core/heap.h"
#include "runtime/drawing/drawing_context.h"
#include "runtime/screen/frame_presentation.h"
#include "runtime/screen/screen_library.h"
#include "runtime/screen/windowed_screen.h"
#include "runtime/window/events.h"
#include "runtime/window/keyed_map.h"
#include "runtime/window/window.h"

#include <string.h>

ProgramState Program;

namespace {

typedef void (*LibraryRoutine)();

// Start-up routines in their fixed order; none of their results is tested. Libraries not
// linked into this build keep their place as a comment.
const LibraryRoutine StartupOrder[] = {
    StartStringArea, //  1 string heap and work buffer
    StartMemoryHeap, //  2 memory-block heap
    //                   3 StartImageDecoders
    //                   4 StartAlphaBlending
    //                   5 StartImageRegistry
    StartDrawingSlot, //  6 drawing slot
    //                   7 StartGadgetLayer
    StartMapHooks, //    8 map operations for the structure walkers
    //                   9 StartPostedEvents
    StartWindowLibrary, // 10 window registry, class icon and cursor
    StartArrays, //     11 array operations for the structure walkers
    //                  12 StartBitmapDecoder
};

// Shutdown routines in their fixed order; each does nothing for a library that only started.
const LibraryRoutine ShutdownOrder[] = {
    ReleaseScreen,    // 1 the windowed screen, if open
    EndScreenLibrary, // 2 the Direct3D object
    EndWindowLibrary, // 3 closes every window still open
    //                   4 EndPostedEvents
    //                   5 EndGadgetLayer
    //                   6 EndImageRegistry
    //                   7 EndAlphaBlending
    EndMemoryHeap, //    8 memory-block heap
};

} // namespace

void StartRuntime() {
    memset(&Program, 0, sizeof Program);
    Program.instance = GetModuleHandleA(nullptr);
    Program.processHeap = CreateRuntimeHeap();
    for (LibraryRoutine start : StartupOrder)
        start();
    Program.phase = 0.0f;
}

void OpenAndRun() {
    if (!StartScreenLibrary())
        return;
    if (!OpenAppWindow(0, 0, 0, 640, 480, "Ulvo", 0xCA0001))
        return;
    if (!OpenScreenInWindow(WindowHandleOf(0), 0, 0, 640, 480, 0, 0, 0))
        return;
    // Escape is tested before the poll, so a pass that sees it down polls no event.
    for (;;) {
        DrawFrame();
        PresentFrame();
        if (GetAsyncKeyState(VK_ESCAPE) & 0x8000)
            break;
        if (PollWindowEvent() == CloseWindowEvent)
            break;
    }
}

void ShutdownRuntime() {
    for (LibraryRoutine end : ShutdownOrder)
        end();
}

void EndRuntime() {
    EndStringArea();
    DestroyRuntimeHeap();
    Program.processHeap = nullptr;
}

void RunProgram() {
    StartRuntime();
    OpenAndRun();
    ShutdownRuntime();
    EndRuntime();
    ExitProcess(0);
}
