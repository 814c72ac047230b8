#include "runtime/window/event_queue.h"

#include "runtime/core/heap.h"
#include "runtime/window/event_bindings.h"

EventQueue* EventQueueBlock;

namespace {

// While bound callbacks run, the current fields show their event without owning its data: the
// queued node (or QueueEvent itself) still does.
bool currentBorrowed;
// Counts the dequeues, so that QueueEvent sees whether a callback polled.
unsigned dequeueCount;

void InitEventQueue(void* block) {
    auto* queue = static_cast<EventQueue*>(block);
    queue->pool = ElementPool_Create(sizeof(QueuedEvent), 16, 256, 2);
    // One node taken for good keeps the first chunk, so a queue that empties frees nothing.
    if (queue->pool)
        ElementPool_Alloc(queue->pool);
}

void FreeEventQueue(void* block) {
    ElementPool_Destroy(static_cast<EventQueue*>(block)->pool);
}

EventQueue* Queue() {
    return static_cast<EventQueue*>(ThreadBlock_Get(EventQueueBlock));
}

bool SameEvent(const QueuedEvent* event, int code, int object, int window, int type) {
    return event->code == code && event->object == object && event->window == window &&
           event->type == type;
}

void ReleaseData(void* data, EventDataRelease release) {
    if (data && release)
        release(data);
}

// Ends the current event: its data is released unless it is only borrowed. Both are cleared
// first, so a release that polls again does not release the same data twice.
void EndCurrentEvent(EventQueue* queue) {
    if (!queue->data || !queue->release)
        return;
    void* data = queue->data;
    EventDataRelease release = queue->release;
    queue->data = nullptr;
    queue->release = nullptr;
    if (!currentBorrowed)
        release(data);
}

// Nodes already unlinked from the queue, linked through next: each goes back to the pool and
// its data is released, once, after the queue is whole again (a release may queue or poll).
void DropNodes(EventQueue* queue, QueuedEvent* nodes) {
    while (nodes) {
        QueuedEvent* next = nodes->next;
        void* data = nodes->data;
        EventDataRelease release = nodes->release;
        ElementPool_Free(queue->pool, nodes);
        ReleaseData(data, release);
        nodes = next;
    }
}

void ForgetEventQueue() {
    EventQueueBlock = nullptr;
    currentBorrowed = false;
}

} // namespace

EventQueue* CreateEventQueue() {
    EventQueueBlock = static_cast<EventQueue*>(
        ThreadBlock_Create(sizeof(EventQueue), InitEventQueue, FreeEventQueue));
    currentBorrowed = false;
    RuntimeHeap_OnDestroy(ForgetEventQueue);
    return EventQueueBlock;
}

void QueueEvent(int code, int object, int window, int type, void* data, EventDataRelease release) {
    EventQueue* queue = Queue();
    bool stored = false;
    bool heldByTail = false;
    if (queue) {
        QueuedEvent* tail = queue->tail;
        if (tail && code < FIRST_UNMERGED_EVENT && SameEvent(tail, code, object, window, type)) {
            heldByTail = tail->data == data;
        } else if (auto* node = queue->pool
                                    ? static_cast<QueuedEvent*>(ElementPool_Alloc(queue->pool))
                                    : nullptr) {
            *node = {nullptr, code, object, window, type, data, release};
            if (tail)
                tail->next = node;
            else
                queue->head = node;
            queue->tail = node;
            stored = true;
        }

        // Bound callbacks see this event as the current one, and the current one after them.
        EventQueue saved = *queue;
        bool savedBorrowed = currentBorrowed;
        unsigned dequeues = dequeueCount;
        queue->code = code;
        queue->window = window;
        queue->object = object;
        queue->type = type;
        queue->data = data;
        queue->release = release;
        currentBorrowed = true;
        RunBoundCallbacks(code, window, object, type);
        if (dequeueCount == dequeues) {
            queue->code = saved.code;
            queue->window = saved.window;
            queue->object = saved.object;
            queue->type = saved.type;
            queue->data = saved.data;
            queue->release = saved.release;
            currentBorrowed = savedBorrowed;
        } else if (!savedBorrowed) {
            // A callback polled: what it was handed stays current, and the event that was
            // current before ended with that poll.
            ReleaseData(saved.data, saved.release);
        }
    }
    // Data that no queued event owns would never be released by a poll.
    if (!stored && !heldByTail)
        ReleaseData(data, release);
}

int DequeueEvent() {
    EventQueue* queue = Queue();
    if (!queue)
        return 0;
    ++dequeueCount;
    queue->code = 0;
    EndCurrentEvent(queue);
    currentBorrowed = false;
    queue->type = -1;
    QueuedEvent* node = queue->head;
    if (node) {
        queue->code = node->code;
        queue->object = node->object;
        queue->window = node->window;
        queue->type = node->type;
        queue->data = node->data;
        queue->release = node->release;
        queue->head = node->next;
        if (queue->tail == node)
            queue->tail = nullptr;
        ElementPool_Free(queue->pool, node);
    }
    return queue->code;
}

void PurgeWindowEvents(int window) {
    EventQueue* queue = Queue();
    if (!queue)
        return;
    QueuedEvent* kept = nullptr;
    QueuedEvent* dropped = nullptr;
    QueuedEvent** droppedEnd = &dropped;
    QueuedEvent* node = queue->head;
    while (node) {
        QueuedEvent* next = node->next;
        if (node->window == window) {
            if (kept)
                kept->next = next;
            else
                queue->head = next;
            node->next = nullptr;
            *droppedEnd = node;
            droppedEnd = &node->next;
        } else {
            kept = node;
        }
        node = next;
    }
    queue->tail = kept;
    DropNodes(queue, dropped);
}

void DropQueuedEvents() {
    EventQueue* queue = Queue();
    if (!queue)
        return;
    QueuedEvent* dropped = queue->head;
    queue->head = nullptr;
    queue->tail = nullptr;
    DropNodes(queue, dropped);
    EndCurrentEvent(queue);
}
