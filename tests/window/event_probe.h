// Reading events out of the real pump, as a program does, for the window and event tests.
#pragma once

#include "runtime/window/event_polling.h"
#include "runtime/window/event_queue.h"

#include <windows.h>

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

// Polls until neither an event nor a message is left (or the limit is reached), and returns the
// events in the order the polls handed them out; pumped messages are left out.
inline std::vector<PolledEvent> PollEvents(int limit = 10000) {
    std::vector<PolledEvent> events;
    MSG msg;
    for (int i = 0; i < limit; ++i) {
        bool queued = EventQueueBlock->head != nullptr;
        if (!queued && !PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE))
            break;
        int code = PollWindowEvent();
        if (queued)
            events.push_back(
                {code, EventQueueBlock->object, EventQueueBlock->window, EventQueueBlock->type});
    }
    return events;
}

// The events of one code among those polled.
inline std::vector<PolledEvent> OfCode(const std::vector<PolledEvent>& events, int code) {
    std::vector<PolledEvent> found;
    for (const PolledEvent& event : events)
        if (event.code == code)
            found.push_back(event);
    return found;
}

// Polls until an event with this code comes, or the time runs out.
inline bool PollUntil(int code, DWORD milliseconds = 5000) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        bool queued = EventQueueBlock->head != nullptr;
        if (NextWindowEvent(20) == code && queued)
            return true;
    }
    return false;
}
