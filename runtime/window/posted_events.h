// Posted events: any thread hands an event to the application through the registered message
// "QV_PostEventMessage" sent to a hidden window; the start-up of the event layer.
#pragma once

#include "qv/events.h" // PostEvent
#include "runtime/core/layout.h"

#include <windows.h>

// Allocated from the runtime heap by the poster, freed by the receiver.
struct PostedEventRecord {
    int posterWord; // the poster's own; never read by the receiver
    int code;
    int object;
    int window;
    int type;
    void* data; // queued without a release function
};
QV_ASSERT_SIZE(PostedEventRecord, 24);

extern HWND PostEventWindow;
extern UINT PostEventMessage;

// Start-up routine: the event queue, the hidden window, the registered message, the bindings.
void StartPostedEvents();
// Shutdown routine: destroys the hidden window once the posts already made are received.
void EndPostedEvents();

LRESULT CALLBACK PostEventWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
