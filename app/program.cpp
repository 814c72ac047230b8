#include "app/program.h"

#include "app/frame.h"
#include "runtime/screen/frame_presentation.h"
#include "runtime/screen/screen_library.h"
#include "runtime/screen/windowed_screen.h"
#include "runtime/window/event_polling.h"
#include "runtime/window/window.h"

#include <string.h>

ProgramState Program;

void StartRuntime() {
    memset(&Program, 0, sizeof Program);
    Program.instance = GetModuleHandleA(nullptr);
    Program.processHeap = StartRuntimeLibraries();
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

void EndRuntime() {
    EndRuntimeHeaps();
    Program.processHeap = nullptr;
}

void RunProgram() {
    StartRuntime();
    OpenAndRun();
    ShutdownRuntime();
    EndRuntime();
    ExitProcess(0);
}
