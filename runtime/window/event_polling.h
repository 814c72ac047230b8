// Polling: the application's one call per frame that hands out a queued event or pumps one
// Win32 message.
#pragma once

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

// Timeouts of NextWindowEvent besides a number of milliseconds.
constexpr int POLL_NO_WAIT = 0;
constexpr int POLL_WAIT_FOREVER = -1;

// One queued event or one pumped message per call: an event code, the message's number, or 0
// when nothing came within the timeout.
int NextWindowEvent(int timeout);
// NextWindowEvent without waiting.
int PollWindowEvent();

// The fields of the current event: the one the last poll handed out, or, while bound callbacks
// run, the event they run for. -1 for the type when the last poll found no queued event; 0 for
// every field before the event queue exists.
int EventWindow();
int EventObject();
int EventType();
// Valid until the next poll.
void* EventData();
