#include "event_probe.h"
#include "runtime/window/event_bindings.h"
#include "runtime/window/window.h"
#include "runtime_fixture.h"

#include <vector>

namespace {

std::vector<void*> released;
void Release(void* data) {
    released.push_back(data);
}

class EventQueueTest : public RuntimeTest {
  protected:
    static void Queue(int code, int object = 0, int window = 0, void* data = nullptr,
                      EventDataRelease release = nullptr) {
        QueueEvent(code, object, window, 0, data, release);
    }
    static std::vector<int> Codes() {
        std::vector<int> codes;
        while (int code = DequeueEvent())
            codes.push_back(code);
        return codes;
    }
};

TEST_F(EventQueueTest, IdenticalEventsInARowMergeBelowTheUnmergedCodes) {
    Queue(RepaintEvent);
    Queue(RepaintEvent);
    EXPECT_EQ(Codes(), std::vector<int>{RepaintEvent});

    Queue(RepaintEvent);
    Queue(MoveWindowEvent);
    Queue(RepaintEvent);
    EXPECT_EQ(Codes(), (std::vector<int>{RepaintEvent, MoveWindowEvent, RepaintEvent}));

    // Another object, window or type is another event.
    Queue(TimerEvent, 1);
    Queue(TimerEvent, 2);
    Queue(TimerEvent, 2, 1);
    QueueEvent(TimerEvent, 2, 1, 5, nullptr, nullptr);
    EXPECT_EQ(Codes().size(), 4u);

    Queue(70000);
    Queue(70000);
    Queue(FIRST_UNMERGED_EVENT);
    Queue(FIRST_UNMERGED_EVENT);
    EXPECT_EQ(Codes(), (std::vector<int>{70000, 70000, 65536, 65536}));
    EXPECT_EQ(EventType(), -1);
}

TEST_F(EventQueueTest, PurgeDropsOnlyThatWindowsEventsAndKeepsTheQueueUsable) {
    Queue(70001, 0, 1);
    Queue(70002, 0, 2);
    Queue(70003, 0, 1);
    Queue(70004, 0, -1);
    Queue(70005, 0, 1);
    PurgeWindowEvents(1);
    Queue(70006, 0, 2); // appended after the last kept event
    EXPECT_EQ(Codes(), (std::vector<int>{70002, 70004, 70006}));

    Queue(70007, 0, 1);
    PurgeWindowEvents(1);
    Queue(70008, 0, 3);
    EXPECT_EQ(Codes(), std::vector<int>{70008});

    // Closing a window purges what it left in the queue, and the data of what it drops is
    // released then, once.
    released.clear();
    int dropped = 1, kept = 2;
    HWND window = reinterpret_cast<HWND>(OpenAppWindow(4, 0, 0, 100, 50, "t", WINDOW_INVISIBLE));
    SendMessageA(window, WM_CLOSE, 0, 0);
    Queue(70009, 0, -1, &kept, Release);
    Queue(70010, 0, 4, &dropped, Release);
    CloseAppWindow(4);
    EXPECT_EQ(released, std::vector<void*>{&dropped});
    EXPECT_EQ(Codes(), std::vector<int>{70009});
    EXPECT_EQ(released, (std::vector<void*>{&dropped, &kept}));
}

TEST_F(EventQueueTest, DataIsReleasedByTheFollowingPollAndNeverLeaks) {
    released.clear();
    int first = 1, second = 2, merged = 3, shared = 4;
    Queue(70000, 0, 0, &first, Release);
    Queue(RepaintEvent, 0, 0, &second, Release);
    Queue(RepaintEvent, 0, 0, &merged, Release); // merged: nothing will own its data
    EXPECT_EQ(released, std::vector<void*>{&merged});
    Queue(MoveWindowEvent, 0, 0, &shared, Release);
    Queue(MoveWindowEvent, 0, 0, &shared, Release); // merged, but the queued event keeps it
    EXPECT_EQ(released.size(), 1u);

    EXPECT_EQ(PollWindowEvent(), 70000);
    EXPECT_EQ(EventData(), &first);
    EXPECT_EQ(released.size(), 1u); // still current
    EXPECT_EQ(PollWindowEvent(), RepaintEvent);
    EXPECT_EQ(released, (std::vector<void*>{&merged, &first}));
    EXPECT_EQ(PollWindowEvent(), MoveWindowEvent);
    PollWindowEvent(); // finds nothing queued, still releases
    EXPECT_EQ(released, (std::vector<void*>{&merged, &first, &second, &shared}));
    PollWindowEvent();
    EXPECT_EQ(released.size(), 4u);

    // Data without a release function stays with the caller.
    Queue(70000, 0, 0, &first);
    DequeueEvent();
    DequeueEvent();
    EXPECT_EQ(released.size(), 4u);
}

TEST_F(EventQueueTest, AnEventThePoolCannotHoldIsDroppedAndItsDataReleased) {
    released.clear();
    // The queue's first chunk holds fifteen events; the sixteenth needs a chunk from a heap
    // that has nothing left.
    for (int i = 0; i < 15; ++i)
        Queue(70000 + i);
    HANDLE runtimeHeap = RuntimeHeap;
    HANDLE full = HeapCreate(0, 0, 64 * 1024);
    ASSERT_NE(full, nullptr);
    for (SIZE_T size = 4096; size; size /= 2)
        while (HeapAlloc(full, 0, size)) {
        }
    RuntimeHeap = full;
    int data = 7;
    Queue(80000, 0, 0, &data, Release);
    RuntimeHeap = runtimeHeap;
    HeapDestroy(full);
    EXPECT_EQ(released, std::vector<void*>{&data});

    std::vector<int> codes = Codes();
    ASSERT_EQ(codes.size(), 15u);
    EXPECT_EQ(codes.back(), 70014);
    Queue(80001); // the queue goes on once memory is back
    EXPECT_EQ(Codes(), std::vector<int>{80001});
}

struct Seen {
    int code, window, object, type;
    void* data;
};
std::vector<Seen> seen;
void Record() {
    const EventQueue* queue = EventQueueBlock;
    seen.push_back({queue->code, queue->window, queue->object, queue->type, queue->data});
}

TEST_F(EventQueueTest, BoundCallbacksSeeTheEventAndTheCurrentOneComesBack) {
    seen.clear();
    released.clear();
    int current = 1, other = 2;
    Queue(70000, 5, 6, &current, Release);
    ASSERT_EQ(DequeueEvent(), 70000);
    ASSERT_TRUE(BindEvent(70001, 3, ANY_EVENT_FIELD, ANY_EVENT_FIELD, Record));

    QueueEvent(70001, 4, 3, 9, &other, nullptr);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].code, 70001);
    EXPECT_EQ(seen[0].window, 3);
    EXPECT_EQ(seen[0].object, 4);
    EXPECT_EQ(seen[0].type, 9);
    EXPECT_EQ(seen[0].data, &other);

    const EventQueue* queue = EventQueueBlock;
    EXPECT_EQ(queue->code, 70000);
    EXPECT_EQ(queue->window, 6);
    EXPECT_EQ(queue->object, 5);
    EXPECT_EQ(queue->data, &current);
    EXPECT_TRUE(released.empty());
    EXPECT_EQ(DequeueEvent(), 70001);
    EXPECT_EQ(released, std::vector<void*>{&current});
}

// A callback that polls, as a program's handler may: it is handed the oldest queued event,
// which stays current after the callbacks; the event current before them ends with that poll.
// Every event's data is released exactly once, none is lost.
std::vector<int> polledInside;
void PollInside() {
    polledInside.push_back(PollWindowEvent());
    seen.push_back({EventQueueBlock->code, 0, 0, 0, EventData()});
}

TEST_F(EventQueueTest, ACallbackThatPollsLosesNoEventAndReleasesNothingTwice) {
    released.clear();
    seen.clear();
    int current = 1, waiting = 2, bound = 3, alone = 4;
    ASSERT_TRUE(BindEvent(70002, -1, -1, -1, PollInside));
    Queue(70000, 0, 0, &current, Release);
    ASSERT_EQ(DequeueEvent(), 70000);
    Queue(70001, 0, 0, &waiting, Release);
    Queue(70002, 0, 0, &bound, Release);
    EXPECT_EQ(polledInside, std::vector<int>{70001});
    EXPECT_EQ(seen[0].data, &waiting);
    EXPECT_EQ(released, std::vector<void*>{&current});
    EXPECT_EQ(EventData(), &waiting);
    EXPECT_EQ(DequeueEvent(), 70002);
    EXPECT_EQ(EventData(), &bound);
    EXPECT_EQ(released, (std::vector<void*>{&current, &waiting}));

    // With nothing else queued, the poll inside hands out the very event being queued.
    polledInside.clear();
    Queue(70002, 1, 0, &alone, Release);
    EXPECT_EQ(polledInside, std::vector<int>{70002});
    EXPECT_EQ(EventData(), &alone);
    EXPECT_EQ(released, (std::vector<void*>{&current, &waiting, &bound}));
    EXPECT_EQ(DequeueEvent(), 0);
    EXPECT_EQ(released, (std::vector<void*>{&current, &waiting, &bound, &alone}));
}

} // namespace
