#include "runtime/window/event_polling.h"

#include "runtime/core/heap.h"
#include "runtime/window/keyboard_focus.h"

WindowThreadState* WindowThreadBlock;

namespace {

void RecordPoll(WPARAM wParam, LPARAM lParam) {
    auto* state = static_cast<WindowThreadState*>(ThreadBlock_Get(WindowThreadBlock));
    if (!state)
        return;
    state->wParam = state->wParamCopy = wParam;
    state->lParam = state->lParamCopy = lParam;
}

// One message into msg, waiting as the timeout says; false when none came.
bool TakeMessage(MSG* msg, int timeout) {
    if (timeout == POLL_WAIT_FOREVER) {
        GetMessageA(msg, nullptr, 0, 0);
        return true;
    }
    if (PeekMessageA(msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD))
        return true;
    if (timeout == POLL_NO_WAIT)
        return false;
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(timeout),
                                  QS_ALLINPUT | QS_ALLPOSTMESSAGE) == WAIT_TIMEOUT)
        return false;
    return PeekMessageA(msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD);
}

const WindowThreadState* LastPoll() {
    return static_cast<const WindowThreadState*>(ThreadBlock_Get(WindowThreadBlock));
}

const EventQueue* CurrentEvent() {
    return static_cast<const EventQueue*>(ThreadBlock_Get(EventQueueBlock));
}

} // namespace

WindowThreadState* CreateWindowThreadState() {
    WindowThreadBlock = static_cast<WindowThreadState*>(
        ThreadBlock_Create(sizeof(WindowThreadState), nullptr, nullptr));
    RuntimeHeap_OnDestroy([] { WindowThreadBlock = nullptr; });
    return WindowThreadBlock;
}

int NextWindowEvent(int timeout) {
    if (int code = DequeueEvent()) {
        RecordPoll(0, 0);
        return code;
    }
    MSG msg = {};
    if (!TakeMessage(&msg, timeout))
        return 0;
    // The active window's Tab accelerators apply whichever window the message is for.
    HWND active = GetActiveWindow();
    HACCEL table = AcceleratorsFor(active);
    if (table && TranslateAcceleratorA(active, table, &msg)) {
        if (active)
            SetKeyboardCues(active, 1);
    } else {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    RecordPoll(msg.wParam, msg.lParam);
    return static_cast<int>(msg.message);
}

int PollWindowEvent() {
    return NextWindowEvent(POLL_NO_WAIT);
}

int EventWindow() {
    const EventQueue* queue = CurrentEvent();
    return queue ? queue->window : 0;
}

int EventObject() {
    const EventQueue* queue = CurrentEvent();
    return queue ? queue->object : 0;
}

int EventType() {
    const EventQueue* queue = CurrentEvent();
    return queue ? queue->type : 0;
}

void* EventData() {
    const EventQueue* queue = CurrentEvent();
    return queue ? queue->data : nullptr;
}

WPARAM EventWParam() {
    const WindowThreadState* state = LastPoll();
    return state ? state->wParam : 0;
}

LPARAM EventLParam() {
    const WindowThreadState* state = LastPoll();
    return state ? state->lParam : 0;
}
