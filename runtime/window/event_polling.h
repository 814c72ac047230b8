// Polling: the application's one call per frame that hands out a queued event or pumps one
// Win32 message.
#pragma once

#include "qv/events.h"
#include "runtime/core/layout.h"
#include "runtime/window/event_queue.h"
#include "runtime/window/window.h"

#include <windows.h>

struct WindowThreadState {
    WPARAM wParam; // of the message pumped by the last poll; 0 after a queued event
    LPARAM lParam;
    WPARAM wParamCopy;
    LPARAM lParamCopy;
    WindowMessageCallback globalMessageCallback; // for windows without their own
};
QV_ASSERT_SIZE(WindowThreadState, 20);

// Made by the window library's start-up routine.
extern WindowThreadState* WindowThreadBlock;
WindowThreadState* CreateWindowThreadState();
