#include "runtime/window/events.h"

#include "runtime/core/heap.h"
#include "runtime/window/window.h"

// Until the event queue, its bindings and the full message translation exist, this file holds
// the least that keeps programs correct: one pumped message per poll, and the close button
// reported as CloseWindowEvent without destroying the window. The queue replaces it.

WindowThreadState* WindowThreadBlock;

namespace {

// Temporary: the one event the stand-in can report, the window number of a requested close.
bool closePending;
int closeWindow;

} // namespace

WindowThreadState* CreateWindowThreadState() {
    WindowThreadBlock = static_cast<WindowThreadState*>(
        ThreadBlock_Create(sizeof(WindowThreadState), nullptr, nullptr));
    closePending = false;
    return WindowThreadBlock;
}

int PollWindowEvent() {
    WindowThreadState* state = static_cast<WindowThreadState*>(ThreadBlock_Get(WindowThreadBlock));
    if (closePending) {
        closePending = false;
        if (state) {
            state->wParam = state->wParamCopy = 0;
            state->lParam = state->lParamCopy = 0;
        }
        return CloseWindowEvent;
    }
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD))
        return 0;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    if (state) {
        state->wParam = state->wParamCopy = msg.wParam;
        state->lParam = state->lParamCopy = msg.lParam;
    }
    return msg.message;
}

void PurgeWindowEvents(int window) {
    if (closePending && closeWindow == window)
        closePending = false;
}

void RemoveWindowBindings(int) {}

LRESULT CALLBACK AppWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        // The close button asks; the program decides. The window stays.
        closePending = true;
        closeWindow = WindowNumberOf(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
