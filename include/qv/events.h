// Events: what windows, their gadgets and other threads report, handed out one per poll.
//
// A poll returns either a runtime event, whose code is one of those below (or a code a program
// posted), or, when no event is queued, the number of the one Win32 message it took from the
// thread's message queue and dispatched (WM_KEYDOWN, WM_MOUSEMOVE, ...), or 0 when there was
// none. Events queued while that message was dispatched come with the following polls. The
// fields of the event a poll handed out stay readable until the next poll.
#pragma once

#include <windows.h>

// Event codes; each event also names its window (EventWindow) and has an object and a type.
constexpr int GadgetEvent = 13100;         // a control's notification: object = the gadget's
                                           // number, type = the notification code (BN_CLICKED)
constexpr int MenuEvent = 13101;           // a menu or accelerator command: object = its id
constexpr int TrayIconEvent = 13102;       // object = the icon's id, type = 0 left click,
                                           // 1 right click, 2 left double, 3 right double
constexpr int ActivateWindowEvent = 13104; // the window became the active one
constexpr int MinimizeWindowEvent = 13107;
constexpr int MaximizeWindowEvent = 13108;
constexpr int RestoreWindowEvent = 13109; // back from minimised or maximised
constexpr int TimerEvent = 13110;         // WM_TIMER: object = the timer's id
constexpr int RightClickEvent = 13111;    // right button released over the client area
constexpr int LeftClickEvent = 13112;     // left button released over the client area
constexpr int LeftDoubleClickEvent = 13113;
constexpr int DeactivateWindowEvent = 13114;
constexpr int RepaintEvent = 13115;     // the window's background was erased
constexpr int CloseWindowEvent = 13116; // the close button (WM_CLOSE): object = the window's
                                        // number; the window stays open until closed
constexpr int MoveWindowEvent = 13117;  // object = the window's number
constexpr int SizeWindowEvent = 13118;  // resized (not minimised)

// An event is merged into an identical one queued just before it (same code, object, window
// and type) unless its code is this or above.
constexpr int FIRST_UNMERGED_EVENT = 65536;

// NextWindowEvent's timeouts besides a number of milliseconds.
constexpr int POLL_NO_WAIT = 0;
constexpr int POLL_WAIT_FOREVER = -1;

// Hands out the oldest queued event, or else takes one Win32 message of the thread (waiting at
// most timeout milliseconds for one), dispatches it and returns its number. Returns the event's
// code, the message's number, or 0 when nothing came within the timeout or the runtime is not
// running. Never more than one event or one message per call.
int NextWindowEvent(int timeout);
// NextWindowEvent(POLL_NO_WAIT): the frame loop's poll, which never waits.
int PollWindowEvent();

// The fields of the event the last poll handed out (or, inside a bound callback, of the event it
// runs for). EventType is -1 when the last poll returned a message or nothing; every field is 0
// while the runtime is not running.
int EventWindow();
int EventObject();
int EventType();
// The data a posted event carries; valid until the next poll.
void* EventData();
// The words of the message the last poll returned: for WM_KEYDOWN and WM_KEYUP, EventWParam()
// is the virtual-key code (VK_ESCAPE, 'A'); for WM_CHAR the character; for mouse messages
// EventLParam() holds the client coordinates (GET_X_LPARAM, GET_Y_LPARAM). Both 0 after a poll
// that handed out an event; a poll that found nothing leaves them as they were. 0 while the
// runtime is not running.
WPARAM EventWParam();
LPARAM EventLParam();

// Hands an event to the runtime's thread from any thread; a later poll returns it, exactly once,
// with data as its EventData (the data stays the poster's). 1 when posted; 0 when the runtime is
// not running or its end has begun (such a call touches no runtime memory), when no memory for
// the event's record can be had, when the system refuses the message (a full message queue), and
// for good once the runtime's hidden post window was destroyed by anything but the runtime's end
// (it ignores a close; posting works again once the runtime starts anew). Nothing stays behind
// when it returns 0.
int PostEvent(int code, int object, int window, int type, void* data);

// Called the moment a bound event is queued, before any poll hands it out; it reads the event
// through EventWindow, EventObject, EventType and EventData. It may poll: the poll ends the event
// that was current before the callback and hands out the oldest queued event, which may be the
// very one the callback runs for.
typedef void (*BoundCallback)();
// In BindEvent: matches every value of that field.
constexpr int ANY_EVENT_FIELD = -1;
// Binds callback to the events of code whose window, object and type match (ANY_EVENT_FIELD
// matches any); several callbacks of one binding run in the order bound. The binding ends when
// that window closes. 1 when bound; 0 for a null callback, when no memory can be had, or when
// the runtime is not running.
int BindEvent(int code, int window, int object, int type, BoundCallback callback);
