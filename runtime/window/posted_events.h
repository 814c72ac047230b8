// Posted events: any thread hands an event to the application through the registered message
// "QV_PostEventMessage" sent to a hidden window; the start-up of the event layer.
#pragma once

#include "qv/events.h" // PostEvent
#include "runtime/core/layout.h"

#include <windows.h>

// Allocated from the runtime heap by PostEvent, freed by the receiver. The receiver takes only
// records PostEvent made whose message has not been received yet; any other lParam of the
// message, a record made by hand among them, is ignored: nothing is read, queued or freed.
struct PostedEventRecord {
    int posterWord; // PostEvent's tag of the record, also the message's wParam
    int code;
    int object;
    int window;
    int type;
    void* data; // queued without a release function
};
QV_ASSERT_SIZE(PostedEventRecord, 24);

extern HWND PostEventWindow;
extern UINT PostEventMessage;

// How PostEvent hands its message to the window manager: PostMessageA, unless a test stands in
// a poster that stalls there.
typedef BOOL(WINAPI* PostMessageFunction)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
extern PostMessageFunction PostEventPostMessage;

// Start-up routine: the event queue, the hidden window, the registered message, the bindings.
void StartPostedEvents();
// Shutdown routine: no post is taken from now on; the records of posts not yet received are
// freed, the hidden window is destroyed, and the events still queued are dropped with their
// data released, no bound callback run for them (nobody will poll them). Does nothing more when
// called again.
void EndPostedEvents();

// Queues the event of a record PostEvent made, once. Ignores WM_CLOSE and the close system
// command, from any process: the window lives until EndPostedEvents.
LRESULT CALLBACK PostEventWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
