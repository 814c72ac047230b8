// The event queue: the event codes the runtime produces, the events waiting to be polled, and
// the current event the last dequeue handed out.
#pragma once

#include "qv/events.h" // the event codes
#include "runtime/core/element_pool.h"
#include "runtime/core/layout.h"

// Called on an event's data once the event stops being current.
typedef void (*EventDataRelease)(void* data);

struct QueuedEvent {
    QueuedEvent* next;
    int code;
    int object;
    int window;
    int type;
    void* data;
    EventDataRelease release;
};
QV_ASSERT_SIZE(QueuedEvent, 28);

struct EventQueue {
    ElementPool* pool; // of QueuedEvent nodes
    QueuedEvent* head; // oldest
    QueuedEvent* tail; // newest
    int reserved;
    // The current event: the one last dequeued, or the one whose bound callbacks are running.
    int code; // 0 when the last dequeue found nothing
    int window;
    int object;
    int type; // -1 when the last dequeue found nothing
    void* data;
    EventDataRelease release;
};
QV_ASSERT_SIZE(EventQueue, 40);

// Made by the posted-event layer's start-up routine.
extern EventQueue* EventQueueBlock;
EventQueue* CreateEventQueue();

// Appends an event, or merges it into an identical newest one, and runs its bound callbacks.
// An event that takes no node of its own (merged, or no node to be had) has its data released
// once the callbacks have run, unless the newest event holds the same data. While the callbacks
// run, the current fields show this event, its data only lent to them. A callback may poll: the
// poll ends the event that was current before the callbacks (its data is released once they
// have run) and hands out the oldest queued event, which may be the very one being queued and
// then stays current after the callbacks.
void QueueEvent(int code, int object, int window, int type, void* data, EventDataRelease release);
// Releases the current event's data, makes the oldest queued event current and returns its
// code, or 0 when nothing is queued (or there is no queue).
int DequeueEvent();
// Drops every queued event of a window number, releasing each one's data once; the current
// event stays.
void PurgeWindowEvents(int window);
// Drops every queued event, releasing each one's data once, and ends the current event, for the
// end of the runtime, when nobody will poll again. No bound callback runs.
void DropQueuedEvents();
