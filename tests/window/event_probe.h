// Driving the real pump as a program does, with real keyboard and mouse input, and reading the
// events it hands out. Tests with input run inside a virtual desktop of their own (see
// cmake/VirtualDesktop.cmake), where nothing else takes the activation.
#pragma once

#include "runtime/window/event_polling.h"
#include "runtime/window/event_queue.h"

#include <windows.h>

#include <initializer_list>
#include <ostream>
#include <vector>

struct PolledEvent {
    int code, object, window, type;
    bool operator==(const PolledEvent& other) const {
        return code == other.code && object == other.object && window == other.window &&
               type == other.type;
    }
};

inline std::ostream& operator<<(std::ostream& out, const PolledEvent& event) {
    return out << "{" << event.code << ", object " << event.object << ", window " << event.window
               << ", type " << event.type << "}";
}

// Every event any poll of a test handed out, oldest first, until TakeEvents.
inline std::vector<PolledEvent> polledEvents;

// One poll; returns its result.
inline int Poll(int timeout = 0) {
    bool queued = EventQueueBlock->head != nullptr; // a poll hands out queued events first
    int code = NextWindowEvent(timeout);
    if (queued)
        polledEvents.push_back({code, EventObject(), EventWindow(), EventType()});
    return code;
}

// Polls until neither an event nor a message is left, or the limit is reached.
inline void PollPending(int limit = 10000) {
    MSG msg;
    for (int i = 0; i < limit; ++i) {
        if (!EventQueueBlock->head && !PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE))
            return;
        Poll();
    }
}

// Polls what is pending and returns the events handed out since the last call, those of one
// code only when a code is given.
inline std::vector<PolledEvent> TakeEvents(int code = 0) {
    PollPending();
    std::vector<PolledEvent> events;
    for (const PolledEvent& event : polledEvents)
        if (!code || event.code == code)
            events.push_back(event);
    polledEvents.clear();
    return events;
}

// Polls for the given time, as a program's frame loop would.
inline void PumpFor(DWORD milliseconds) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds)
        Poll(5);
}

// Polls until an event with this code comes, or the time runs out.
inline bool PollUntil(int code, DWORD milliseconds = 5000) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        size_t seen = polledEvents.size();
        Poll(20);
        if (polledEvents.size() > seen && polledEvents.back().code == code)
            return true;
    }
    return false;
}

// Polls until the input sent is taken from the queue, then a little longer for what it caused.
inline void PumpInput() {
    for (int i = 0; i < 400 && HIWORD(GetQueueStatus(QS_INPUT)); ++i)
        Poll(5);
    PumpFor(60);
}

inline INPUT KeyInput(WORD key, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

// Presses the keys together (the first held longest) and lets the program take them.
inline void PressKeys(std::initializer_list<WORD> keys) {
    INPUT inputs[8];
    UINT count = 0;
    for (WORD key : keys)
        inputs[count++] = KeyInput(key, false);
    for (auto key = keys.end(); key != keys.begin();)
        inputs[count++] = KeyInput(*--key, true);
    SendInput(count, inputs, sizeof(INPUT));
    PumpInput();
}

inline void HoldKey(WORD key, bool down) {
    INPUT input = KeyInput(key, !down);
    SendInput(1, &input, sizeof input);
    PumpInput();
}

// Brings a window to the front and polls until it is the active one.
inline bool Activate(HWND window) {
    for (int attempt = 0; attempt < 50 && GetActiveWindow() != window; ++attempt) {
        SetForegroundWindow(window);
        PumpFor(20);
    }
    return GetActiveWindow() == window;
}

// An MDI client in a frame, whose child windows are of the class "MDI_ChildClass" and have the
// identifiers from 50000 on.
inline HWND CreateMdiClient(HWND frame, int x, int y, int width, int height) {
    WNDCLASSA childClass = {};
    childClass.lpfnWndProc = DefMDIChildProcA;
    childClass.hInstance = GetModuleHandleA(nullptr);
    childClass.lpszClassName = "MDI_ChildClass";
    RegisterClassA(&childClass); // once per process; later calls find it there
    CLIENTCREATESTRUCT create = {nullptr, 50000};
    return CreateWindowExA(0, "MDICLIENT", nullptr, WS_CHILD | WS_VISIBLE, x, y, width, height,
                           frame, nullptr, GetModuleHandleA(nullptr), &create);
}
